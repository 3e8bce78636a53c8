#include "enrol/ClassPage.h"

#include <QtTest>

using namespace tk;

// The link a class page gets: where it goes in the list, in what markup and
// bytes, and why a page is left as it is.
class TestClassPage : public QObject
{
    Q_OBJECT

private slots:
    void linksAStudent_data();
    void linksAStudent();
};

namespace {

const QByteArray head = "<html>\r\n<head><meta charset=\"utf-8\"><title>7A</title></head>\r\n"
                        "<body>\r\n<h1>Class 7A</h1>\r\n<ul>\r\n";
const QByteArray abara = "  <li><a href=\"abara_chinedu/index.htm\">Chinedu Abara</a></li>\r\n";
const QByteArray nguyen = "  <li><a href=\"nguyen_thihoa/index.htm\">Thi Hoa Nguyen</a></li>\r\n";
const QByteArray oneil =
    "  <li><a href=\"o'neil-smith_liam/index.htm\">Liam O'Neil-Smith</a></li>\r\n";
const QByteArray vdb =
    "  <li><a href=\"vanderberg_annamaria/index.htm\">Anna Maria Van der Berg</a></li>\r\n";
const QByteArray tail = "</ul>\r\n</body>\r\n</html>\r\n";
const QByteArray sample = head + abara + nguyen + oneil + vdb + tail;

} // namespace

void TestClassPage::linksAStudent_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QString>("student"); // surname|given|folder
    QTest::addColumn<QByteArray>("linked"); // empty: the page stays as it was
    QTest::addColumn<int>("problem");
    QTest::addColumn<QString>("byHand");
    const int none = int(LinkProblem::None);
    QTest::newRow("first") << sample << "Aaron|Zoe|aaron_zoe"
                           << head + "  <li><a href=\"aaron_zoe/index.htm\">Zoe Aaron</a></li>\r\n"
            + abara + nguyen + oneil + vdb + tail
                           << none << "";
    QTest::newRow("middle, by surname then given name") << sample << "Nguyen|Thi|nguyen_thi"
                                                        << head + abara
            + "  <li><a href=\"nguyen_thi/index.htm\">Thi Nguyen</a></li>\r\n" + nguyen + oneil
            + vdb + tail << none << "";
    QTest::newRow("last") << sample << "Zhou|Li|zhou_li"
                          << head + abara + nguyen + oneil + vdb
            + "  <li><a href=\"zhou_li/index.htm\">Li Zhou</a></li>\r\n" + tail
                          << none << "";
    QTest::newRow("& and '") << sample << "O'Hara|Tom & Jo|o'hara_tom&jo"
                             << head + abara + nguyen
            + "  <li><a href=\"o'hara_tom&amp;jo/index.htm\">Tom &amp; Jo O'Hara</a></li>\r\n"
            + oneil + vdb + tail
                             << none << "";
    const QByteArray mixed =
        "<ul>\r\n\t<li><b>Students</b></li>\r\n"
        "\t<li><a href=\"../../staff/moss.htm\">Ms Moss (teacher)</a></li>\r\n"
        "\t<li class=\"s\"><a href='petrov_dmitri/INDEX.HTM'><b>Dmitri Petrov</b></a></li>\r\n"
        "\t<li><a href=\"../../office.htm\">The office</a></li>\r\n</ul>\r\n";
    QTest::newRow("heading and teacher, new last")
        << mixed << "Zhou|Li|zhou_li"
        << QByteArray(mixed).insert(mixed.indexOf("\t<li><a href=\"../../office"),
                                    "\t<li class=\"s\"><a href='zhou_li/INDEX.HTM'><b>Li "
                                    "Zhou</b></a></li>\r\n")
        << none << "";
    QTest::newRow("heading and teacher, new first")
        << mixed << "Ng|Al|ng_al"
        << QByteArray(mixed).insert(mixed.indexOf("\t<li class"),
                                    "\t<li class=\"s\"><a href='ng_al/INDEX.HTM'><b>Al "
                                    "Ng</b></a></li>\r\n")
        << none << "";
    QTest::newRow("one line") << QByteArray("<ul><li><a href=\"b_b/index.htm\">B B</a></li></ul>")
                              << "A|A|a_a"
                              << QByteArray("<ul><li><a href=\"a_a/index.htm\">A A</a></li>"
                                            "<li><a href=\"b_b/index.htm\">B B</a></li></ul>")
                              << none << "";
    QTest::newRow("Windows-1252")
        << QByteArray("<meta charset=windows-1252>\n<ul>\n<li><a href=\"b_b/index.htm\">B "
                      "B</a></li>\n</ul>\n")
        << QString::fromUtf8("Ødegaard|Zoë ☃|ødegaard_zoë☃")
        << QByteArray(
               "<meta charset=windows-1252>\n<ul>\n<li><a href=\"b_b/index.htm\">B "
               "B</a></li>\n<li><a href=\"\xF8\x64\x65gaard_zo\xEB&#9731;/index.htm\">Zo\xEB "
               "&#9731; \xD8\x64\x65gaard</a></li>\n</ul>\n")
        << none << "";
    // By character code, as the register sorts: Ø after V.
    QTest::newRow("UTF-8") << sample << QString::fromUtf8("Ødegaard|Zoë|ødegaard_zoë")
                           << head + abara + nguyen + oneil + vdb
            + "  <li><a href=\"\xC3\xB8\x64\x65gaard_zo\xC3\xAB/index.htm\">Zo\xC3\xAB "
              "\xC3\x98\x64\x65gaard</a></li>\r\n"
            + tail << none << "";
    QTest::newRow("a link before the list")
        << QByteArray("<a href=\"x_y/index.htm\">Y X</a>\r\n<ul>\r\n"
                      "<li><a href=\"b_b/index.htm\">B B</a></li>\r\n</ul>\r\n")
        << "Zhou|Li|zhou_li" << QByteArray() << int(LinkProblem::OtherForm)
        << "<li><a href=\"zhou_li/index.htm\">Li Zhou</a></li>";
    QTest::newRow("linked already, in any letter case")
        << sample << "Nguyen|Thi Hoa|NGUYEN_thihoa" << QByteArray()
        << int(LinkProblem::AlreadyLinked) << "";
    QTest::newRow("no list") << QByteArray("<html><body><p>Class 7A</p></body></html>\r\n")
                             << "Zhou|Li|zhou_li" << QByteArray() << int(LinkProblem::NoList)
                             << "<li><a href=\"zhou_li/index.htm\">Li Zhou</a></li>";
    QTest::newRow("folders, not home pages")
        << QByteArray("<p><a href=\"abara_chinedu/\">Chinedu Abara</a><br>\r\n")
        << "O'Hara|Tom & Jo|o'hara_tom&jo" << QByteArray() << int(LinkProblem::OtherForm)
        << "<li><a href=\"o'hara_tom&amp;jo/index.htm\">Tom &amp; Jo O'Hara</a></li>";
    QTest::newRow("home pages, not in a list")
        << QByteArray("<p><a href=\"abara_chinedu/index.htm\">Chinedu Abara</a><br>\r\n")
        << "Zhou|Li|zhou_li" << QByteArray() << int(LinkProblem::OtherForm)
        << "<li><a href=\"zhou_li/index.htm\">Li Zhou</a></li>";
}

void TestClassPage::linksAStudent()
{
    QFETCH(QByteArray, page);
    QFETCH(QString, student);
    QFETCH(QByteArray, linked);
    QFETCH(int, problem);
    QFETCH(QString, byHand);
    const QStringList f = student.split('|');
    const LinkedPage result = withStudentLinks(page, {{f[0], f[1], f[2]}});
    QCOMPARE(result.bytes, linked.isEmpty() ? page : linked);
    QCOMPARE(result.changed, !linked.isEmpty());
    QCOMPARE(int(result.outcomes.at(0).problem), problem);
    QCOMPARE(result.outcomes.at(0).byHand, byHand);
}

QTEST_GUILESS_MAIN(TestClassPage)
#include "TestClassPage.moc"
