#include "TestSupport.h"

#include "FaultInjection.h"
#include "enrol/HomePage.h"
#include "platform/FileServices.h"
#include "platform/NumberedFailure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <cerrno>
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace tk;

class TestHomePage : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { faults::clear(); }
    void replacesTheFirstPlaceholderOfEachLine_data();
    void replacesTheFirstPlaceholderOfEachLine();
    void keepsLongLinesWhole();
    void rewritesThePageInPlace_data();
    void rewritesThePageInPlace();
    void aFailedRenameLeavesTheTemplatePage();
    void neverWritesThroughATempPageLink();
    void aPageThatIsNotAPlainFileIsAFailure();
};

void TestHomePage::replacesTheFirstPlaceholderOfEachLine_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("result");
    const QByteArray anna = "Anna Maria Van der Berg";
    QTest::newRow("worked line")
        << QByteArray("Welcome to the home page of New Student. Enjoy!\r\n") << anna
        << QByteArray("Welcome to the home page of Anna Maria Van der Berg. Enjoy!\r\n");
    QTest::newRow("three lines") << QByteArray(
        "<title>New Student</title>\r\n<p>x</p>\r\n<h1>New Student</h1>\r\nNew Student\r\n")
                                 << anna
                                 << "<title>" + anna + "</title>\r\n<p>x</p>\r\n<h1>" + anna
            + "</h1>\r\n" + anna + "\r\n";
    QTest::newRow("second on a line stays")
        << QByteArray("New Student and New Student\r\n") << QByteArray("Jo")
        << QByteArray("Jo and New Student\r\n");
    QTest::newRow("case and spacing must match")
        << QByteArray("new student, New  Student, NEW STUDENT\r\n") << QByteArray("Jo")
        << QByteArray("new student, New  Student, NEW STUDENT\r\n");
    QTest::newRow("at start and at end") << QByteArray("New Student!\r\n-New Student")
                                         << QByteArray("Jo") << QByteArray("Jo!\r\n-Jo\r\n");
    QTest::newRow("name holding the placeholder is written once")
        << QByteArray("[New Student]\r\n") << QByteArray("New Student Jones")
        << QByteArray("[New Student Jones]\r\n");
    QTest::newRow("lone CR becomes CR LF")
        << QByteArray("a\rNew Student\rb\r") << QByteArray("Jo") << QByteArray("a\r\nJo\r\nb\r\n");
    QTest::newRow("mixed line ends") << QByteArray("a\r\r\nNew Student\n\rb") << QByteArray("Jo")
                                     << QByteArray("a\r\n\r\nJo\r\n\r\nb\r\n");
    QTest::newRow("lone LF is a line end too") << QByteArray("New Student\nNew Student\n")
                                               << QByteArray("Jo") << QByteArray("Jo\r\nJo\r\n");
    QTest::newRow("empty lines kept")
        << QByteArray("\r\n\r\nx\r\n\r\n") << QByteArray("Jo") << QByteArray("\r\n\r\nx\r\n\r\n");
    QTest::newRow("empty page stays empty") << QByteArray() << QByteArray("Jo") << QByteArray();
    QTest::newRow("8-bit bytes untouched")
        << QByteArray("caf\xE9 New Student \xFF\x80\r\n") << QByteArray("Zo\xC3\xAB")
        << QByteArray("caf\xE9 Zo\xC3\xAB \xFF\x80\r\n");
}

void TestHomePage::replacesTheFirstPlaceholderOfEachLine()
{
    QFETCH(QByteArray, page);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, result);
    QCOMPARE(personalisedPage(page, name), result);
}

void TestHomePage::keepsLongLinesWhole()
{
    // A minified page: one line, the placeholder far beyond any 16-bit
    // position, and a tail much longer than a few hundred characters.
    const QByteArray head(40000, 'h');
    const QByteArray tail(600, 't');
    const QByteArray page = head + "New Student" + tail + "New Student" + tail;
    QCOMPARE(personalisedPage(page, "Jo"), head + "Jo" + tail + "New Student" + tail + "\r\n");
}

void TestHomePage::rewritesThePageInPlace_data()
{
    QTest::addColumn<QString>("fullName");
    QTest::addColumn<QString>("shown"); // as the page's HTML holds it
    QTest::addColumn<QByteArray>("head");
    QTest::newRow("accents") << QString::fromUtf8("Zoë Müller") << QString::fromUtf8("Zoë Müller")
                             << QByteArray();
    // The page must stay valid HTML: the name is text, never markup.
    QTest::newRow("ampersand") << "Ann Smith & Jones"
                               << "Ann Smith &amp; Jones" << QByteArray();
    QTest::newRow("angle brackets") << "Bo <i>Lee</i>"
                                    << "Bo &lt;i&gt;Lee&lt;/i&gt;" << QByteArray();
    // A browser reads the page as the page says, whatever the system's code page.
    QTest::newRow("a page that says it is UTF-8")
        << QString::fromUtf8("Zoë Müller") << QString::fromUtf8("Zoë Müller")
        << QByteArray("<meta http-equiv=\"Content-Type\" content=\"text/html; "
                      "Charset=UTF-8\">\r\n");
    // Any name fits any page: a browser reads a character reference in every charset.
    QTest::newRow("a letter the page's charset lacks")
        << QString::fromUtf8("Ana Nguyễn") << "Ana Nguy&#7877;n"
        << QByteArray("<meta charset=\"windows-1252\">\r\n");
}

void TestHomePage::rewritesThePageInPlace()
{
    QFETCH(QString, fullName);
    QFETCH(QString, shown);
    QFETCH(QByteArray, head);
    QTemporaryDir dir;
    const QString folder = dir.path();
    tktest::writeFile(dir.filePath("index.htm"), head + "<h1>New Student</h1>\r\n");
    tktest::writeFile(dir.filePath("temp.htm"), "stale page from the template");

    personaliseHomePage(folder, fullName);

    const QString page = "<h1>" + shown + "</h1>\r\n";
    QCOMPARE(tktest::readFile(dir.filePath("index.htm")),
             head + (head.isEmpty() ? page.toLocal8Bit() : page.toUtf8()));
    QVERIFY(!QFile::exists(dir.filePath("temp.htm")));
}

void TestHomePage::aFailedRenameLeavesTheTemplatePage()
{
    QTemporaryDir dir;
    const QByteArray original = "<h1>New Student</h1>\r\n";
    tktest::writeFile(dir.filePath("index.htm"), original);
    faults::failOn(faults::SystemCall::Rename, EACCES);
    try {
        personaliseHomePage(dir.path(), "Jo Lee");
        QFAIL("the rename did not fail");
    } catch (const NumberedFailure& failure) {
        QCOMPARE(failure.number(), FailureNumber::PathFileAccess);
    }
    QCOMPARE(tktest::readFile(dir.filePath("index.htm")), original);
}

// A template may hold anything, links included: nothing outside the student's
// folder may be written through one, and index.htm must end a plain file.
void TestHomePage::neverWritesThroughATempPageLink()
{
    QTemporaryDir dir;
    tktest::writeFile(dir.filePath("index.htm"), "<h1>New Student</h1>\r\n");
    tktest::writeFile(dir.filePath("outside.htm"), "not the student's");
    QVERIFY(QFile::link(dir.filePath("outside.htm"), dir.filePath("temp.htm")));

    personaliseHomePage(dir.path(), "Jo Lee");

    QCOMPARE(tktest::readFile(dir.filePath("outside.htm")), QByteArray("not the student's"));
    QVERIFY(!QFileInfo(dir.filePath("index.htm")).isSymLink());
    QCOMPARE(tktest::readFile(dir.filePath("index.htm")), QByteArray("<h1>Jo Lee</h1>\r\n"));
}

void TestHomePage::aPageThatIsNotAPlainFileIsAFailure()
{
#ifdef Q_OS_UNIX
    QTemporaryDir dir;
    QVERIFY(::mkfifo(QFile::encodeName(dir.filePath("index.htm")).constData(), 0644) == 0);
    try {
        personaliseHomePage(dir.path(), "Jo Lee"); // would wait for a writer for ever
        QFAIL("a pipe was read as a page");
    } catch (const NumberedFailure& failure) {
        QCOMPARE(failure.number(), FailureNumber::DeviceIoError);
    }
#else
    QSKIP("pipes have no names in a folder on Windows");
#endif
}

QTEST_GUILESS_MAIN(TestHomePage)
#include "TestHomePage.moc"
