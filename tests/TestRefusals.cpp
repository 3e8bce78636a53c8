#include "TestSupport.h"

#include "enrol/Refusals.h"
#include "enrol/Student.h"
#include "register/RegisterReader.h"

#include <QDir>
#include <QtTest>

using namespace tk;

// A student as every way in makes it, and every reason one is refused
// before anything is asked: the texts are the same in the window and on
// the command line.
class TestRefusals : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void derivesNamesAndPaths_data();
    void derivesNamesAndPaths();
    void refusesUnsafeOrUnstorableInput_data();
    void refusesUnsafeOrUnstorableInput();
    void refusesWhatTheRegisterCouldNotReadBack_data();
    void refusesWhatTheRegisterCouldNotReadBack();
    void oneAccountNeverBelongsToTwoStudents_data();
    void oneAccountNeverBelongsToTwoStudents();
    void refusesPathsLongerThanWindowsTakes();
    void namesEveryRefusedField();

private:
    SiteData m_site;
};

namespace {

const StudentInputs annaMaria = tktest::annaMaria();

// The refusal, or "" when the student is made.
QString refusalOf(const StudentInputs& inputs, const SiteData& site)
{
    QString refusal;
    const std::optional<Student> student = Student::from(inputs, site, &refusal);
    return student ? QString() : refusal;
}

Student studentOf(const StudentInputs& inputs, const SiteData& site)
{
    QString refusal;
    const std::optional<Student> student = Student::from(inputs, site, &refusal);
    if (!student)
        qFatal("refused: %s", qPrintable(refusal));
    return *student;
}

} // namespace

void TestRefusals::initTestCase()
{
    m_site.appFolder = QStringLiteral("D:/Intranet");
    m_site.settings.structureYear = 2005;
}

void TestRefusals::derivesNamesAndPaths_data()
{
    QTest::addColumn<QString>("surname");
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("folderName");
    QTest::addColumn<QString>("fullName");
    QTest::addColumn<QString>("accountName");
    QTest::newRow("Van der Berg") << " Van der Berg"
                                  << "Anna Maria "
                                  << ""
                                  << "vanderberg_annamaria"
                                  << "Anna Maria Van der Berg"
                                  << "Van der Berg Anna Maria";
    QTest::newRow("McDONALD") << "McDONALD"
                              << "Ann"
                              << ""
                              << "mcdonald_ann"
                              << "Ann McDONALD"
                              << "McDONALD Ann";
    QTest::newRow("de la Cruz") << "de la Cruz"
                                << "Jo Ann"
                                << ""
                                << "delacruz_joann"
                                << "Jo Ann de la Cruz"
                                << "de la Cruz Jo Ann";
    QTest::newRow("O'Neil-Smith") << "O'Neil-Smith"
                                  << "Kate"
                                  << ""
                                  << "o'neil-smith_kate"
                                  << "Kate O'Neil-Smith"
                                  << "O'Neil-Smith Kate";
    QTest::newRow("login account") << "Smith"
                                   << "Jo"
                                   << "  jsmith "
                                   << "smith_jo"
                                   << "Jo Smith"
                                   << "jsmith";
    QTest::newRow("blank login") << "Smith"
                                 << "Jo"
                                 << "   "
                                 << "smith_jo"
                                 << "Jo Smith"
                                 << "Smith Jo";
    // Typed composed or decomposed, a name is one name.
    QTest::newRow("decomposed accents compose")
        << QString::fromUtf8("Mu\u0308ller") << QString::fromUtf8("Zoe\u0308") << ""
        << QString::fromUtf8("m\u00FCller_zo\u00EB") << QString::fromUtf8("Zo\u00EB M\u00FCller")
        << QString::fromUtf8("M\u00FCller Zo\u00EB");
}

void TestRefusals::derivesNamesAndPaths()
{
    QFETCH(QString, surname);
    QFETCH(QString, given);
    QFETCH(QString, login);
    QFETCH(QString, folderName);
    QFETCH(QString, fullName);
    QFETCH(QString, accountName);
    StudentInputs typed;
    typed.surname = surname;
    typed.givenName = given;
    typed.loginAccount = login;
    typed.year = " Year 3 ";
    typed.className = " 3B ";
    const Student student = studentOf(typed, m_site);
    QCOMPARE(student.folderName(), folderName);
    QCOMPARE(student.fullName(), fullName);
    QCOMPARE(student.accountName(), accountName);
    QCOMPARE(student.classFolder(), QStringLiteral("D:/Intranet/2005/Year 3/3B"));
    QCOMPARE(student.folder(), "D:/Intranet/2005/Year 3/3B/" + folderName);
    QCOMPARE(student.record().className, QStringLiteral("3B"));
    QCOMPARE(student.record().yearName, QStringLiteral("Year 3"));
}

void TestRefusals::refusesUnsafeOrUnstorableInput_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("mentioned");
    enum { Surname, Given, Login, Year, Class };
    const struct
    {
        const char* name;
        int field;
        QString value;
        QString mentioned;
    } rows[] = {
        {"slash in year", Year, "Year 7/../..",
         "The Scholastic Year holds the character \"/\", which would put the student's folder "
         "outside the Ilvantis structure.  Please remove it and try again."},
        {"backslash in class", Class, "7A\\x", "Class holds the character \"\\\""},
        {"slash in surname", Surname, "a/b", "Surname holds the character \"/\""},
        {"class is ..", Class, " .. ",
         "The Class may not be \"..\": that would put the student's folder outside the Ilvantis "
         "structure.  Please change it and try again."},
        {"year is .", Year, ".", "Scholastic Year may not be \".\""},
        {"blank year", Year, "   ",
         "The Scholastic Year is blank.  Please choose or type one and try again."},
        {"blank class", Class, " ", "Class is blank"},
        {"blank surname", Surname, "   ", "New Student's Surname is blank"},
        {"blank given name", Given, " ", "Given or Preferred Name is blank"},
        {"comma in given name", Given, "Jo, Ann",
         "The Given or Preferred Name holds the comma \",\", which the register file tkshrtct.dat "
         "cannot store.  Please remove it and try again."},
        {"quote in surname", Surname, "O\"Neil", "Surname holds the double quote"},
        {"comma in login", Login, "j,smith", "Individual Login Account holds the comma"},
        {"line break in class", Class, "7\nA", "Class holds a line break"},
        {"CR in year", Year, "Year\r7", "Scholastic Year holds a line break"},
        {"NUL in surname", Surname, QString::fromLatin1("Lee\0x", 5),
         "The New Student's Surname holds a control character (code 0), which no folder name or "
         "register line may hold.  Please remove it and try again."},
        {"tab in login", Login, "j\tsmith",
         "Individual Login Account holds a control character (code 9)"},
        {"DEL in class", Class, "7\x7f", "Class holds a control character (code 127)"},
        {"C1 control, as Latin-1 reads a euro sign", Surname, QString(QChar(0x80)) + "Lee",
         "Surname holds a control character (code 128)"},
        {"< in class", Class, "<7A>",
         "The Class holds the character \"<\", which Windows does not allow in a folder name.  "
         "Please remove it and try again."},
        {"? in year", Year, "Year 7?", "Scholastic Year holds the character \"?\""},
        {"* in year", Year, "Year*", "Scholastic Year holds the character \"*\""},
        {"| in class", Class, "7|A", "Class holds the character \"|\""},
        {": in surname, so in the folder", Surname, "Lee:Kim",
         "student's folder name \"lee:kim_annamaria\" holds the character \":\""},
        {"trailing dot in class", Class, "7A. ",
         "The Class ends with a dot, which Windows drops from a folder name.  Please remove it and "
         "try again."},
        {"trailing dot in the folder", Given, "Jo.",
         "student's folder name \"vanderberg_jo.\" ends with a dot"},
        // Characters that cannot be seen, or make a name look like another.
        {"right-to-left override", Surname, QString::fromUtf8("abc\u202Egpj.exe"),
         "The New Student's Surname holds the character U+202E, a direction control, which makes "
         "the text look other than it is.  Please remove it and try again."},
        {"byte-order mark", Given, QChar(0xFEFF) + QString("Anna"),
         "Given or Preferred Name holds the character U+FEFF, a byte-order mark."},
        {"noncharacter", Login, QString::fromUtf8("js\uFFFF"),
         "holds the character U+FFFF, a noncharacter."},
        {"noncharacter beyond the first plane", Surname, QString::fromUcs4(U"Lee\U0001FFFE"),
         "U+1FFFE, a noncharacter."},
        {"replacement character", Surname, QString::fromUtf8("Lef\uFFFDvre"),
         "U+FFFD, the replacement character, left where a character could not be read."},
        {"trailing no-break space", Surname, QString::fromUtf8("Lee\u00A0"),
         "U+00A0, a space other than the plain blank."},
        {"ideographic space in the year", Year, QString::fromUtf8("Year\u30007"),
         "U+3000, a space other than"},
        {"half a character", Surname, QString(QChar(0xD800)), "U+D800, half of a character"},
        {"joiners belong to some spellings", Surname, QString::fromUtf8("\u0645\u200C\u0647"), ""},
        // Names that Windows takes for devices, whatever follows the dot.
        {"CON", Surname, "con.x",
         "The student's folder name \"con.x_annamaria\" begins with \"con\", which Windows takes "
         "for a device, never for a folder.  Please change it and try again."},
        {"LPT1", Surname, "Lpt1.Ray", "begins with \"lpt1\", which Windows takes for a device"},
        {"NUL", Surname, "Nul.Smith", "\"nul.smith_annamaria\" begins with \"nul\""},
        {"superscript digit", Surname, QString::fromUtf8("Com\u00B9.a"),
         QString::fromUtf8("begins with \"com\u00B9\"")},
        {"a device name inside a name is no device", Surname, "Conway", ""},
        // Longer than a file system takes, before the question rather than after.
        {"300 characters", Surname, QString(300, 'a'), "names of at most 255"},
#ifdef Q_OS_WIN
        {"130 accented letters fit in 255 UTF-16 units", Surname, QString(130, QChar(0xE9)), ""},
#else
        {"130 accented letters are 260 bytes", Surname, QString(130, QChar(0xE9)),
         "is 270 bytes long, and the file system takes names of at most 255 bytes.  Please shorten "
         "the surname or the given name and try again."},
#endif
        {"a name of 255 bytes", Surname, QString(245, 'a'), ""},
    };
    for (const auto& row : rows)
        QTest::newRow(row.name) << row.field << row.value << row.mentioned;
}

void TestRefusals::refusesUnsafeOrUnstorableInput()
{
    QFETCH(int, field);
    QFETCH(QString, value);
    QFETCH(QString, mentioned);
    StudentInputs inputs = annaMaria;
    QString* fields[] = {&inputs.surname, &inputs.givenName, &inputs.loginAccount, &inputs.year,
                         &inputs.className};
    *fields[field] = value;
    const QString refusal = refusalOf(inputs, m_site);
    if (mentioned.isEmpty())
        QVERIFY2(refusal.isEmpty(), qPrintable(refusal));
    else
        QVERIFY2(refusal.contains(mentioned), qPrintable(refusal));
}

void TestRefusals::refusesWhatTheRegisterCouldNotReadBack_data()
{
    QTest::addColumn<QByteArray>("dat");
    QTest::addColumn<QString>("year");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("surname");
    QTest::addColumn<QString>("mentioned"); // empty: accepted
    const QByteArray hundredYears = tktest::registerOf(100, 100, 1);
    const QByteArray hundredClasses = tktest::registerOf(100, 1, 100);
    QTest::newRow("1500 students")
        << tktest::registerOf(1500, 1, 1) << "Y0"
        << "C0"
        << "Lee"
        << "The register file tkshrtct.dat already holds 1500 students, the most that this utility "
           "can read back.  No more students can be added to it.";
    QTest::newRow("101st year")
        << hundredYears << "Y100"
        << "C0"
        << "Lee"
        << "The register file tkshrtct.dat already names 100 different years, the most that this "
           "utility can read back.  Please choose one of them.";
    QTest::newRow("a year it names") << hundredYears << "Y99"
                                     << "C0"
                                     << "Lee"
                                     << "";
    QTest::newRow("101st class") << hundredClasses << "Y0"
                                 << "C100"
                                 << "Lee"
                                 << "already names 100 different classes";
    QTest::newRow("a class it names") << hundredClasses << "Y0"
                                      << "C42"
                                      << "Lee"
                                      << "";
    // A register that is not UTF-8 is in the Windows code page, which has no "Ł".
    QTest::newRow("beyond a code-page register")
        << QByteArray("M\xFCller Jo,m\xFCller_jo,C0,Y0\r\n") << "Y0"
        << "C0" << QString::fromUtf8("Łukasz-Żak")
        << QString::fromUtf8("The New Student's Surname holds the characters \"ŁŻ\", which the "
                             "register file tkshrtct.dat cannot store in its character set.  "
                             "Please type the name without them and try again.");
    QTest::newRow("within a code-page register")
        << QByteArray("M\xFCller Jo,m\xFCller_jo,C0,Y0\r\n") << "Y0"
        << "C0" << QString::fromUtf8("Müller") << "";
    QTest::newRow("beyond an ASCII register")
        << QByteArray("Lee Jo,lee_jo,C0,Y0\r\n") << "Y0"
        << "C0" << QString::fromUtf8("Nguyễn") << QString::fromUtf8("characters \"ễ\", which");
    QTest::newRow("within a UTF-8 register")
        << QByteArray("M\xC3\xBCller Jo,m\xC3\xBCller_jo,C0,Y0\r\n") << "Y0"
        << "C0" << QString::fromUtf8("Nguyễn") << "";
#ifndef Q_OS_WIN
    QTest::newRow("beyond a Latin-1 register")
        << QByteArray("A\x81,a_,C0,Y0\r\n") << "Y0"
        << "C0" << QString::fromUtf8("Šimek") << QString::fromUtf8("characters \"Š\", which");
#endif
}

void TestRefusals::refusesWhatTheRegisterCouldNotReadBack()
{
    QFETCH(QByteArray, dat);
    QFETCH(QString, year);
    QFETCH(QString, className);
    QFETCH(QString, surname);
    QFETCH(QString, mentioned);
    const ShortcutRegister shortcuts = parseRegister(dat, "tkshrtct.dat");
    StudentInputs inputs = annaMaria;
    inputs.year = year;
    inputs.className = className;
    inputs.surname = surname;
    RegisterCheck check(shortcuts);
    const QString refusal = check.refusalFor(studentOf(inputs, m_site)).value_or(QString());
    if (mentioned.isEmpty())
        QVERIFY2(refusal.isEmpty(), qPrintable(refusal));
    else
        QVERIFY2(refusal.contains(mentioned), qPrintable(refusal));
}

// The register takes an account to one student's folder: a second student
// with the same account, in any letter case or composition, could never be
// reached. A list's rows count against each other too.
void TestRefusals::oneAccountNeverBelongsToTwoStudents_data()
{
    QTest::addColumn<QStringList>("students"); // surname|given|login, in list order
    QTest::addColumn<QStringList>("refusals"); // one for each student, "" when accepted
    const QString held = "The register file tkshrtct.dat already holds this account name, in the "
                         "line \"%1\", and one account cannot belong to two students.  If this "
                         "is another student, type a different Individual Login Account and try "
                         "again.";
    QTest::newRow("a login the register holds, in other letter case")
        << QStringList{"Lee|Jo|DQUORREL"}
        << QStringList{held.arg("dquorrel,quorrel_dravin,7A,Year 7")};
    QTest::newRow("a student the register names already")
        << QStringList{"Quorrel|Dravin|dquorrel"}
        << QStringList{held.arg("dquorrel,quorrel_dravin,7A,Year 7")};
    QTest::newRow("a name typed decomposed that the register holds composed")
        << QStringList{QString::fromUtf8("Mu\u0308ller|Zoe\u0308|")}
        << QStringList{
               held.arg(QString::fromUtf8("M\u00FCller Zo\u00EB,m\u00FCller_zo\u00EB,7B,Year 7"))};
    QTest::newRow("two rows of a list")
        << QStringList{"Lee|Jo|jlee", "Lee|Joanne|JLee"}
        << QStringList{"",
                       "The student on line 2 has this account name too, and one account "
                       "cannot belong to two students.  Give one of them a different login "
                       "account."};
    QTest::newRow("two rows of a list with one folder")
        << QStringList{"Lee|Jo|jlee1", "Lee|Jo|jlee2"}
        << QStringList{"",
                       "The student's folder "
                           + QDir::toNativeSeparators("D:/Intranet/2005/Year 7/7A/lee_jo")
                           + " is the same as that of the student on line 2."};
    QTest::newRow("another account") << QStringList{"Lee|Jo|jlee"} << QStringList{""};
}

void TestRefusals::oneAccountNeverBelongsToTwoStudents()
{
    QFETCH(QStringList, students);
    QFETCH(QStringList, refusals);
    const ShortcutRegister shortcuts = parseRegister(
        QString::fromUtf8("dquorrel,quorrel_dravin,7A,Year 7\r\n"
                          "M\u00FCller Zo\u00EB,m\u00FCller_zo\u00EB,7B,Year 7\r\n")
            .toLocal8Bit(), // the register is in the system's code page
        "tkshrtct.dat");
    RegisterCheck check(shortcuts);
    QStringList got;
    int line = 2;
    for (const QString& row : students) {
        const QStringList f = row.split('|');
        StudentInputs typed = annaMaria;
        typed.surname = f[0];
        typed.givenName = f[1];
        typed.loginAccount = f[2];
        const Student student = studentOf(typed, m_site);
        got << check.refusalFor(student, line++).value_or(QString());
    }
    QCOMPARE(got, refusals);
}

void TestRefusals::refusesPathsLongerThanWindowsTakes()
{
    const Student student = studentOf(annaMaria,
                                      m_site); // D:\Intranet\2005\Year 7\7A\vanderberg_annamaria
    // Built first under its name and ".~" with six letters or digits.
    const qsizetype folder = student.folder().size() + 8;
    QCOMPARE(refusals::ofPathLength(student, 259 - folder - 1), std::nullopt);
    QCOMPARE(refusals::ofPathLength(student, 259 - folder),
             "The student's folder "
                 + QDir::toNativeSeparators("D:/Intranet/2005/Year 7/7A/vanderberg_annamaria")
                 + " would hold paths of 260 characters once the template is copied into it, "
                   "and Windows takes paths of at most 259 characters.  Please shorten the "
                   "surname or the given name and try again.");
}

// One look at a refused row shows all that needs changing in it.
void TestRefusals::namesEveryRefusedField()
{
    StudentInputs inputs = annaMaria;
    inputs.surname = QStringLiteral("a/b");
    inputs.year = QStringLiteral(" ");
    QCOMPARE(refusalOf(inputs, m_site),
             "The New Student's Surname holds the character \"/\", which would put the student's "
             "folder outside the Ilvantis structure.  Please remove it and try again.  The "
             "Scholastic Year is blank.  Please choose or type one and try again.");

    inputs = annaMaria;
    inputs.year = QStringLiteral("Y0");
    inputs.className = QStringLiteral("C0");
    inputs.givenName = QString::fromUtf8("Ayşe");
    inputs.surname = QString::fromUtf8("Dvořák");
    const ShortcutRegister codePage = parseRegister("M\xFCller Jo,m\xFCller_jo,C0,Y0\r\n",
                                                    "tkshrtct.dat");
    RegisterCheck check(codePage);
    QCOMPARE(check.refusalFor(studentOf(inputs, m_site)).value_or(QString()),
             QString::fromUtf8(
                 "The Given or Preferred Name holds the characters \"ş\", which the register file "
                 "tkshrtct.dat cannot store in its character set.  Please type the name without "
                 "them and try again.  The New Student's Surname holds the characters \"ř\", which "
                 "the register file tkshrtct.dat cannot store in its character set.  Please type "
                 "the name without them and try again."));
}

QTEST_GUILESS_MAIN(TestRefusals)
#include "TestRefusals.moc"
