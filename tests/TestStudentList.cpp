#include "TestSupport.h"

#include "enrol/Enrolment.h"
#include "lists/StudentListReader.h"

#include <QStringEncoder>
#include <QtTest>

using namespace tk;

// Lists as spreadsheets and people save them, and the students they become.
class TestStudentList : public QObject
{
    Q_OBJECT

private slots:
    void readsListsAsSpreadsheetsWriteThem_data();
    void readsListsAsSpreadsheetsWriteThem();
    void readsAYearAsTheFolderItCanOnlyMean_data();
    void readsAYearAsTheFolderItCanOnlyMean();
    void tellsWhatIsWrongWithAList_data();
    void tellsWhatIsWrongWithAList();
    void enrolsTheSampleListInEveryForm_data();
    void enrolsTheSampleListInEveryForm();
};

namespace {

const QString examples = QStringLiteral(TK_EXAMPLES_DIR);
const QStringList sampleLists{"excel-us-comma.csv", "excel-europe-semicolon.csv",
                              "excel-csv-utf8.csv", "excel-unicode-text.txt",
                              "libreoffice.csv",    "by-hand.csv"};
// line: surname|given|login|year|class; line 5 is an empty row.
const QStringList sampleStudents{"2: Lefèvre|Théo|tlefevre|Year 7|7B", "3: Van Dijk|Zoë||Year 8|8A",
                                 "4: Bjørnstad|Sigrid||Year 9|9B",
                                 "6: Ødegård|Henrik|hodegard|Year 10|10A",
                                 "7: Núñez|Inés||Year 10|10B"};

QByteArray utf16(const char* text, QStringConverter::Encoding encoding = QStringConverter::Utf16LE)
{
    return QStringEncoder(encoding).encode(QString::fromUtf8(text));
}

} // namespace

void TestStudentList::readsListsAsSpreadsheetsWriteThem_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<QStringList>("students"); // line: surname|given|login|year|class
    for (const QString& file : sampleLists)
        QTest::newRow(qPrintable(file))
            << tktest::readFile(examples + "/lists/" + file) << QString() << sampleStudents;
    QTest::newRow("quotes, doubled quotes and a line break")
        << QByteArray(
               "surname,given,year,class,login\n\"Lee, \"\"Jr\"\"\",\"Jo\nAnn\",Year 7,7A,jl\n"
               "Kim,Bo,Year 7,7B,\n")
        << QString() << QStringList{"2: Lee, \"Jr\"|Jo\nAnn|jl|Year 7|7A", "4: Kim|Bo||Year 7|7B"};
    QTest::newRow("headings as people write them, commas in quotes")
        << QByteArray("Family-Name;FORENAME;Scholastic_Year;class name;User.Name;\"Notes: medical, "
                      "diet, allergies, SEN, EAL, other\"\nLee;Jo;Year 7;7A;jlee;x, y\n")
        << QString() << QStringList{"2: Lee|Jo|jlee|Year 7|7A"};
    QTest::newRow("Windows-1252: a curly apostrophe and an undefined byte")
        << QByteArray("surname,given,year,class\r\nO\x92"
                      "Brien,Ren\xE9\x81,Year 7,7A\r\n")
        << QString() << QStringList{"2: O’Brien|René\uFFFD||Year 7|7A"};
    QTest::newRow("UTF-16BE by its mark") << QByteArray("\xFE\xFF")
            + utf16("surname\tgiven\tyear\tclass\nZoë\tJo\tYear 7\t7A\n", QStringConverter::Utf16BE)
                                          << QString() << QStringList{"2: Zoë|Jo||Year 7|7A"};
    QTest::newRow("half a character in UTF-16")
        << QByteArray("\xFF\xFE") + utf16("surname,given,year,class\nL") + QByteArray("\x00\xD8", 2)
            + utf16(",Jo,Year 7,7A\n")
        << QString() << QStringList{"2: L\uFFFD|Jo||Year 7|7A"};
    QTest::newRow("a school information system's export")
        << QByteArray("Legal Surname,Preferred Forename,Year,Reg Group\r\nOkafor,Chidi,Y7,7A\r\n")
        << QString() << QStringList{"2: Okafor|Chidi||Y7|7A"};
    QTest::newRow("UTF-16 without its mark, as Unicode Text")
        << utf16("surname\tgiven\tyear\tclass\nZoë\tJo\tYear 7\t7A\n") << QString()
        << QStringList{"2: Zoë|Jo||Year 7|7A"};
    QTest::newRow("Excel's separator line")
        << QByteArray("sep=,\r\nsurname,given,year,class,notes;a;b;c;d;e\r\nLee,Jo,Year 7,7A,\r\n")
        << QString() << QStringList{"3: Lee|Jo||Year 7|7A"};
    QTest::newRow("UTF-16 without its mark, plain letters")
        << utf16("surname,given,year,class\nLee,Jo,Year 7,7A\n") << QString()
        << QStringList{"2: Lee|Jo||Year 7|7A"};
    QTest::newRow("UTF-8 named, a byte that is not")
        << QByteArray("surname,given,year,class\nLef\xE8vre,Jo,Year 7,7A\n") << "UTF-8"
        << QStringList{"2: Lef\uFFFDvre|Jo||Year 7|7A"};
    QTest::newRow("CP1252 named, over what would read as UTF-8")
        << QByteArray("surname,given,year,class\nO\xE2\x80\x99"
                      "Brien,Jo,Year 7,7A\n")
        << "cp1252" << QStringList{"2: Oâ€™Brien|Jo||Year 7|7A"};
}

void TestStudentList::readsListsAsSpreadsheetsWriteThem()
{
    QFETCH(QByteArray, csv);
    QFETCH(QString, encoding);
    QFETCH(QStringList, students);
    QVERIFY(encoding.isEmpty() || isKnownListEncoding(encoding));
    const StudentList list = readStudentList(csv, encoding);
    QCOMPARE(list.problems.size(), 0);
    QStringList read;
    for (const ListRow& row : list.rows)
        read << QStringLiteral("%1: %2|%3|%4|%5|%6")
                    .arg(QString::number(row.line), row.inputs.surname, row.inputs.givenName,
                         row.inputs.loginAccount, row.inputs.year, row.inputs.className);
    QCOMPARE(read, students);
}

void TestStudentList::readsAYearAsTheFolderItCanOnlyMean_data()
{
    QTest::addColumn<QString>("written");
    QTest::addColumn<QStringList>("years");
    QTest::addColumn<QStringList>("meant");
    const QStringList years{"Year 7", "Year 10", "Reception"};
    QTest::newRow("as its folder") << " Year 10 " << years << QStringList{"Year 10"};
    QTest::newRow("a number") << "7" << years << QStringList{"Year 7"};
    QTest::newRow("Y and a number") << "y10" << years << QStringList{"Year 10"};
    QTest::newRow("lower case") << "year 7" << years << QStringList{"Year 7"};
    QTest::newRow("no such year") << "8" << years << QStringList{};
    QTest::newRow("a word") << "reception class" << years << QStringList{};
    QTest::newRow("two folders for one number")
        << "7" << QStringList{"Year 7", "Y7"} << QStringList{"Year 7", "Y7"};
}

void TestStudentList::readsAYearAsTheFolderItCanOnlyMean()
{
    QFETCH(QString, written);
    QFETCH(QStringList, years);
    QFETCH(QStringList, meant);
    QCOMPARE(yearFoldersMeant(written, years), meant);
}

void TestStudentList::tellsWhatIsWrongWithAList_data()
{
    const QString expected =
        "  The first row must name the columns surname (or last name, family name, legal surname, "
        "legal last name), given (or first name, given name, forename, preferred name, preferred "
        "forename, preferred first name), year (or year group, scholastic year, nc year, national "
        "curriculum year) and class (or form, class name, form group, reg group, registration "
        "group, tutor group), and may name login (or account, username, login account), in any "
        "order.";
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QStringList>("problems"); // line: text
    QTest::newRow("a workbook") << QByteArray("PK\x03\x04\x14\x00\x06\x00", 8)
                                << QStringList{
                                       "0: The list is a spreadsheet workbook (.xlsx or "
                                       ".ods), not a CSV file.  Save it as CSV from the "
                                       "spreadsheet (\"CSV UTF-8\" in Excel) and try again."};
    QTest::newRow("an old workbook")
        << QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")
        << QStringList{"0: The list is an Excel 97-2003 workbook (.xls), not a CSV file.  Save it "
                       "as CSV from the spreadsheet (\"CSV UTF-8\" in Excel) and try again."};
    QTest::newRow("UTF-8 with one stray byte")
        << QByteArray(
               "surname,given,year,class\nZo\xC3\xAB,Jo,Year 7,7A\nLef\xE8vre,Al,Year 7,7A\n")
        << QStringList{"0: Line 3 of the list holds a byte that is not UTF-8, although the rest "
                       "of the list is UTF-8.  Correct that line, or name the list's character "
                       "set with --encoding (for example --encoding Windows-1252)."};
    QTest::newRow("NUL bytes out of step")
        << QByteArray("surname,given,year,class\nLee\0\0,Jo,Year 7,7A\n", 37)
        << QStringList{"0: The list holds NUL bytes, which no CSV file does.  If it was saved as "
                       "\"Unicode Text\", name its character set with --encoding UTF-16LE; "
                       "otherwise save it as \"CSV UTF-8\"."};
    QTest::newRow("a letter Excel could not save")
        << QByteArray("surname,given,year,class\nYilmaz,Ay?e,Year 7,7A\n")
        << QStringList{"2: The row holds \"?\" in \"Ay?e\", where Excel writes a letter it could "
                       "not save in the list's character set.  Save the list as \"CSV UTF-8\" "
                       "and try again."};
    QTest::newRow("nothing but blank lines")
        << QByteArray("\r\n;;;\r\n") << QStringList{"0: The list is empty." + expected};
    QTest::newRow("no header")
        << QByteArray("Lee,Jo,Year 7,7A\nKim,Bo,Year 7,7B\n")
        << QStringList{"0: The first row of the list names none of the columns: it holds "
                       "\"Lee\", \"Jo\", \"Year 7\", \"7A\"."
                       + expected};
    QTest::newRow("columns missing")
        << QByteArray("Surname;Year;;Tutor\nLee;Year 7;;Mr Hill\n")
        << QStringList{"0: The header row names no column for the given name or the class: it "
                       "holds \"Surname\", \"Year\", \"Tutor\"."
                       + expected};
    QTest::newRow("a column twice")
        << QByteArray("Surname,First name,Year,Class,Preferred name\nLee,Jo,Year 7,7A,Jo\n")
        << QStringList{"0: The header row names the given name twice, as \"First name\" and "
                       "\"Preferred name\": keep one of them."};
    QTest::newRow("no students")
        << QByteArray("surname,given,year,class\r\n,,,\r\n")
        << QStringList{"0: The list holds no students: there is nothing under its header row."};
    QTest::newRow("fields missing and too many")
        << QByteArray("surname;given;year;class;;\nLee;Jo;Year 7\nLee; Jr;Jo;Year 7;7A\n"
                      "Kim;Bo;Year 7;7B;;;\nx\n")
        << QStringList{"2: The row holds 3 fields, and the header row names 4 columns.",
                       "3: The row holds 5 fields, and the header row names 4 columns: a value "
                       "that holds a semicolon must be in double quotes.",
                       "5: The row holds 1 field, and the header row names 4 columns."};
}

void TestStudentList::tellsWhatIsWrongWithAList()
{
    QFETCH(QByteArray, csv);
    QFETCH(QStringList, problems);
    QStringList told;
    for (const ListProblem& problem : readStudentList(csv).problems)
        told << QString::number(problem.line) + ": " + problem.text;
    QCOMPARE(told, problems);
}

void TestStudentList::enrolsTheSampleListInEveryForm_data()
{
    QTest::addColumn<QString>("file");
    for (const QString& file : sampleLists)
        QTest::newRow(qPrintable(file)) << file;
}

// Every byte that the list's names come to, on the sample intranet they are written for.
void TestStudentList::enrolsTheSampleListInEveryForm()
{
    QFETCH(QString, file);
    QTemporaryDir copy;
    const auto sample = tktest::snapshot(examples + "/intranet");
    for (auto entry = sample.begin(); entry != sample.end(); ++entry)
        if (entry.value() != "<folder>")
            tktest::writeFile(copy.filePath(entry.key()), entry.value());
    const SiteData site = loadSite(copy.path());
    QList<Enrolee> enrolees;
    for (const ListRow& row : readStudentList(tktest::readFile(examples + "/lists/" + file)).rows)
        enrolees.append({row.line, Student::from(row.inputs, site, nullptr).value()});
    QCOMPARE(Enrolment(site, enrolees, Enrolment::Repeats::Skip).run().stop,
             EnrolmentResult::Stop::None);
    // The sample register is ASCII, so Windows-1252, which spells these
    // letters as Latin-1 does.
    const QString written = QString::fromLatin1(tktest::readFile(copy.filePath("tkshrtct.dat")));
    for (const QStringList& student : QList<QStringList>{
             {"tlefevre,lefèvre_théo,7B,Year 7", "Year 7/7B/lefèvre_théo", "Théo Lefèvre"},
             {"Van Dijk Zoë,vandijk_zoë,8A,Year 8", "Year 8/8A/vandijk_zoë", "Zoë Van Dijk"},
             {"Bjørnstad Sigrid,bjørnstad_sigrid,9B,Year 9", "Year 9/9B/bjørnstad_sigrid",
              "Sigrid Bjørnstad"},
             {"hodegard,ødegård_henrik,10A,Year 10", "Year 10/10A/ødegård_henrik",
              "Henrik Ødegård"},
             {"Núñez Inés,núñez_inés,10B,Year 10", "Year 10/10B/núñez_inés", "Inés Núñez"}}) {
        QVERIFY2(written.contains("\r\n" + student[0] + "\r\n"), qPrintable(student[0]));
        const QByteArray page = tktest::readFile(
            copy.filePath("2026/" + student[1] + "/index.htm"));
        // The sample's home page says it is UTF-8, whatever the system's code page.
        QVERIFY2(QString::fromUtf8(page).contains("<h1>" + student[2] + "</h1>\r\n"),
                 qPrintable(student[1]));
    }
}

QTEST_GUILESS_MAIN(TestStudentList)
#include "TestStudentList.moc"
