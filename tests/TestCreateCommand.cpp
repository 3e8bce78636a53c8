#include "TestSupport.h"

#include "app/MessageBox.h"
#include "create/CreateCommand.h"
#include "create/StudentValues.h"
#include "platform/FaultInjection.h"
#include "platform/FileServices.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <cerrno>

using namespace tk;
using tktest::Intranet;
using Outcome = CreateCommand::Outcome;

class TestCreateCommand : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void derivesNamesAndPaths_data();
    void derivesNamesAndPaths();
    void asksWithFiveLines_data();
    void asksWithFiveLines();
    void createsTheStudentEndToEnd();
    void messagesReadWordForWord_data();
    void messagesReadWordForWord();
    void shortPagesWarnAndReturn_data();
    void shortPagesWarnAndReturn();
    void missingMasterEndsTheProgram_data();
    void missingMasterEndsTheProgram();
    void masterCheckFailuresEndTheProgram_data();
    void masterCheckFailuresEndTheProgram();
    void invalidYearAndClassReturnsForAnotherTry();
    void existingStudentFolderIsNeverReused();
    void otherFailuresShowTheirNumber();
    void templateWithoutSubfolderLeavesTheEmptyFolder();
    void anUncopiableTemplateIsNeverASuccess();
    void theFolderIsOnDiskBeforeTheRegisterNamesIt();
    void aFailedSyncAfterTheRegisterIsReplacedIsStillASuccess();
    void refusesUnsafeOrUnstorableInput_data();
    void refusesUnsafeOrUnstorableInput();
    void refusesWhatTheRegisterCouldNotReadBack_data();
    void refusesWhatTheRegisterCouldNotReadBack();
    void anotherCopyHoldingTheRegisterIsWaitedForThenRefused();
    void rowsAddedSinceStartUpAreKept();
    void theRegisterIsCheckedAgainUnderTheLock_data();
    void theRegisterIsCheckedAgainUnderTheLock();

private:
    Outcome create(const QList<Answer>& answers = {Answer::Yes, Answer::Ok});
    QString studentFolder() const;
    QList<MessageBox::Shown> boxes() const { return MessageBox::shown(); }
    void expectOneBox(const QString& title, MessageStyle style) const;

    std::unique_ptr<Intranet> m_intranet;
    SiteData m_site;
    StudentInputs m_inputs;
};

namespace {

StudentInputs annaMaria()
{
    return {" Van der Berg", "Anna Maria ", "", "Year 7", "7A"};
}

} // namespace

void TestCreateCommand::init()
{
    MessageBox::clearShown();
    m_intranet = std::make_unique<Intranet>();
    m_site = m_intranet->load();
    m_inputs = annaMaria();
}

void TestCreateCommand::cleanup()
{
    faults::clear();
    MessageBox::clearShown();
}

Outcome TestCreateCommand::create(const QList<Answer>& answers)
{
    for (const Answer answer : answers)
        MessageBox::setNextAnswer(answer);
    MessageBoxDialogs dialogs(nullptr);
    CreateCommand command(
        m_site, [this] { return m_inputs; }, dialogs);
    return command.run();
}

QString TestCreateCommand::studentFolder() const
{
    return m_intranet->path("2026/Year 7/7A/vanderberg_annamaria");
}

void TestCreateCommand::expectOneBox(const QString& title, MessageStyle style) const
{
    const auto shown = boxes();
    QCOMPARE(shown.size(), 2); // the question, then this one
    QCOMPARE(shown.at(1).title, title);
    QCOMPARE(shown.at(1).style, style);
}

void TestCreateCommand::derivesNamesAndPaths_data()
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
    QTest::newRow("tab stays") << "Smith\t"
                               << "Jo"
                               << ""
                               << "smith\t_jo"
                               << "Jo Smith\t"
                               << "Smith\t Jo";
}

void TestCreateCommand::derivesNamesAndPaths()
{
    QFETCH(QString, surname);
    QFETCH(QString, given);
    QFETCH(QString, login);
    QFETCH(QString, folderName);
    QFETCH(QString, fullName);
    QFETCH(QString, accountName);
    const StudentInputs inputs{surname, given, login, " Year 7 ", " 7A "};
    QCOMPARE(folderNameFor(inputs), folderName);
    QCOMPARE(fullNameFor(inputs), fullName);
    QCOMPARE(accountNameFor(inputs), accountName);
    const QString classPath = m_intranet->path("2026/Year 7/7A");
    QCOMPARE(classFolderPathFor(m_site, inputs), classPath);
    QCOMPARE(studentFolderPathFor(m_site, inputs), classPath + "/" + folderName);
    QCOMPARE(masterFolderPathFor(m_site), m_intranet->masterFolder());
}

void TestCreateCommand::asksWithFiveLines_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("loginLine");
    QTest::newRow("no login") << " "
                              << "This student does not have an individual login account "
                                 "for the Ilvantis server.";
    QTest::newRow("login") << " jsmith "
                           << "The tkshrtct.dat file will include the login "
                              "account name of jsmith.";
}

void TestCreateCommand::asksWithFiveLines()
{
    QFETCH(QString, login);
    QFETCH(QString, loginLine);
    m_inputs.loginAccount = login;
    const auto before = tktest::snapshot(m_intranet->root());
    QCOMPARE(create({Answer::No}), Outcome::ReturnToWindow);
    QCOMPARE(create({Answer::No}), Outcome::ReturnToWindow);
    QCOMPARE(boxes().size(), 2); // asked again, nothing else shown
    QCOMPARE(tktest::snapshot(m_intranet->root()), before);
    const MessageBox::Shown question = boxes().first();
    QCOMPARE(question.title, QStringLiteral("Please Verify"));
    QCOMPARE(question.style, MessageStyle::Question);
    QCOMPARE(question.text.count("\r\n"), 4);
    QCOMPARE(question.text.split("\r\n"),
             (QStringList{"This utility will create a new Ilvantis folder structure for Anna "
                          "Maria Van der Berg located in the path: ",
                          QDir::toNativeSeparators(studentFolder()), loginLine, "",
                          "Are you sure you want to do this?"}));
}

void TestCreateCommand::createsTheStudentEndToEnd()
{
    const QByteArray oldRegister = tktest::readFile(m_intranet->path("tkshrtct.dat"));
    QCOMPARE(create(), Outcome::EndProgram);

    expectOneBox("Success", MessageStyle::Information);
    QCOMPARE(boxes().at(1).text,
             QStringLiteral("An Ilvantis folder structure for Anna Maria Van der Berg has been "
                            "created successfully and their name added to the TKSHRTCT.DAT file. "
                            " You must now edit the Class Page for class 7A to add a link to "
                            "their new webpage.  The link on the class page cannot be created by "
                            "this utility and must be done manually.  Click OK to exit."));
    auto student = tktest::snapshot(studentFolder());
    auto master = tktest::snapshot(m_intranet->masterFolder());
    QCOMPARE(student.take("index.htm"),
             QByteArray("<html>\r\n<head><title>Anna Maria Van der Berg</title></head>\r\n"
                        "<body><h1>Welcome to the home page of Anna Maria Van der "
                        "Berg.</h1></body>\r\n</html>\r\n"));
    master.remove("index.htm");
    QCOMPARE(student, master);
    QCOMPARE(tktest::readFile(m_intranet->path("tkshrtct.dat")),
             QByteArray("Adams Ben,adams_ben,7A,Year 7\r\n"
                        "Lee Kim,lee_kim,7B,Year 7\r\n"
                        "Van der Berg Anna Maria,vanderberg_annamaria,7A,Year 7\r\n"
                        "zz9,zed_zoe,7A,Year 7\r\n"));
    QCOMPARE(tktest::readFile(m_intranet->path("tkshrtct.old")), oldRegister);
    QVERIFY(!QFile::exists(m_intranet->path("tkshrtct.new")));
    QVERIFY(!QFile::exists(m_intranet->path("tkshrtct.lck")));
    QCOMPARE(files::openFileCount(), 0);
}

// Every text once, letter for letter; the other tests compare titles only.
void TestCreateCommand::messagesReadWordForWord_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text"); // %1: the master folder as the operator reads it
    QTest::newRow("master page short")
        << "master 99"
        << "Possible concern"
        << "The index.htm file which is the master student page located in %1 - appears to be "
           "corrupt.  You may want to verify this and restore from backup if necessary";
    QTest::newRow("class page short")
        << "class 99"
        << "Possible concern"
        << "The index.htm file which is the class page for your selected class appears to be "
           "corrupt.  You may want to verify this.";
    QTest::newRow("master missing")
        << "no master"
        << "Master Student folder does not exist!"
        << "The path %1 does not appear to exist, or is empty.  This utility cannot continue.  "
           "Did you create your Ilvantis structure using v4.0 or later?  If yes, you will need "
           "to restore this folder from your backup.  This utility will now close.";
    QTest::newRow("problem")
        << "folder exists"
        << "Problem!"
        << "Either there is already a student folder for this student, or you do not have "
           "sufficient rights to create the folder structure.  This utility will now close.";
    QTest::newRow("invalid path")
        << "no class"
        << "Invalid path"
        << "The combination of your selected year and class appears to be invalid.  Please "
           "choose the correct year and class and try again.";
    QTest::newRow("serious error")
        << "I/O error"
        << "Something's wrong!"
        << "A serious error (code=57) has occurred.  Check the Ilvantis website for further help "
           "or e-mail support@ilvantis.example with details of this error";
}

void TestCreateCommand::messagesReadWordForWord()
{
    QFETCH(QString, scenario);
    QFETCH(QString, title);
    QFETCH(QString, text);
    if (scenario == "master 99")
        tktest::writeFile(m_intranet->path("2026/masterstudent/index.htm"), tktest::pageOfSize(99));
    if (scenario == "class 99")
        tktest::writeFile(m_intranet->path("2026/Year 7/7A/index.htm"), tktest::pageOfSize(99));
    if (scenario == "no master")
        QVERIFY(QDir(m_intranet->masterFolder()).removeRecursively());
    if (scenario == "folder exists")
        QDir().mkpath(studentFolder());
    if (scenario == "no class")
        m_inputs.className = "7Z";
    if (scenario == "I/O error")
        faults::failOn(FileOp::Length, EIO);
    create();
    expectOneBox(title, MessageStyle::Error);
    QCOMPARE(boxes().at(1).text,
             text.replace("%1", QDir::toNativeSeparators(m_intranet->masterFolder())));
}

void TestCreateCommand::shortPagesWarnAndReturn_data()
{
    QTest::addColumn<int>("masterSize");
    QTest::addColumn<int>("classSize");
    QTest::addColumn<QString>("concern"); // empty: the command goes through
    const QString master = "master student page";
    const QString classPage = "class page";
    QTest::newRow("master 99") << 99 << 300 << master;
    QTest::newRow("master 0") << 0 << 300 << master;
    QTest::newRow("master 100 passes") << 100 << 300 << QString();
    QTest::newRow("class 99") << 300 << 99 << classPage;
    QTest::newRow("class 0") << 300 << 0 << classPage;
    QTest::newRow("class 100 passes") << 300 << 100 << QString();
    QTest::newRow("both short: master first") << 10 << 10 << master;
}

void TestCreateCommand::shortPagesWarnAndReturn()
{
    QFETCH(int, masterSize);
    QFETCH(int, classSize);
    QFETCH(QString, concern);
    tktest::writeFile(m_intranet->path("2026/masterstudent/index.htm"),
                      tktest::pageOfSize(masterSize));
    tktest::writeFile(m_intranet->path("2026/Year 7/7A/index.htm"), tktest::pageOfSize(classSize));
    const auto before = tktest::snapshot(m_intranet->root());

    const Outcome outcome = create();

    if (concern.isEmpty()) {
        QCOMPARE(outcome, Outcome::EndProgram);
        expectOneBox("Success", MessageStyle::Information);
        return;
    }
    QCOMPARE(outcome, Outcome::ReturnToWindow);
    expectOneBox("Possible concern", MessageStyle::Error);
    QVERIFY(boxes().at(1).text.contains(concern));
    QCOMPARE(tktest::snapshot(m_intranet->root()), before);
}

void TestCreateCommand::missingMasterEndsTheProgram_data()
{
    QTest::addColumn<QString>("removed");
    QTest::addColumn<QString>("className");
    QTest::newRow("master folder") << "2026/masterstudent"
                                   << "7A";
    QTest::newRow("master page") << "2026/masterstudent/index.htm"
                                 << "7A";
    QTest::newRow("master folder and class") << "2026/masterstudent"
                                             << "9Z";
}

void TestCreateCommand::missingMasterEndsTheProgram()
{
    QFETCH(QString, removed);
    QFETCH(QString, className);
    const QString path = m_intranet->path(removed);
    QVERIFY(QFileInfo(path).isDir() ? QDir(path).removeRecursively() : QFile::remove(path));
    m_inputs.className = className;

    QCOMPARE(create(), Outcome::EndProgram);
    expectOneBox("Master Student folder does not exist!", MessageStyle::Error);
    QVERIFY(boxes().at(1).text.contains(QDir::toNativeSeparators(m_intranet->masterFolder())));
}

void TestCreateCommand::masterCheckFailuresEndTheProgram_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("title");
    QTest::newRow("refused") << EACCES << "Problem!";
    QTest::newRow("other") << EIO << "Something's wrong!";
}

void TestCreateCommand::masterCheckFailuresEndTheProgram()
{
    QFETCH(int, error);
    QFETCH(QString, title);
    faults::failOn(FileOp::Length, error);
    QCOMPARE(create(), Outcome::EndProgram);
    expectOneBox(title, MessageStyle::Error);
}

void TestCreateCommand::invalidYearAndClassReturnsForAnotherTry()
{
    m_inputs.className = "7C";
    QCOMPARE(create(), Outcome::ReturnToWindow);
    expectOneBox("Invalid path", MessageStyle::Error);

    MessageBox::clearShown();
    m_inputs.className = "7A";
    QCOMPARE(create(), Outcome::EndProgram);
    expectOneBox("Success", MessageStyle::Information);
}

void TestCreateCommand::existingStudentFolderIsNeverReused()
{
    tktest::writeFile(studentFolder() + "/index.htm", "someone's own page");
    const auto before = tktest::snapshot(m_intranet->root());
    QCOMPARE(create(), Outcome::EndProgram);
    expectOneBox("Problem!", MessageStyle::Error);
    QCOMPARE(tktest::snapshot(m_intranet->root()), before);
}

void TestCreateCommand::otherFailuresShowTheirNumber()
{
    const QByteArray oldRegister = tktest::readFile(m_intranet->path("tkshrtct.dat"));
    // The register's own sync. Where the file system is not synced whole,
    // the five template files and the home page are synced one by one first.
    faults::failOn(FileOp::Sync, ENOSPC, files::syncsWholeFileSystem ? 0 : 6);
    QCOMPARE(create(), Outcome::EndProgram);
    expectOneBox("Something's wrong!", MessageStyle::Error);
    QVERIFY(boxes().at(1).text.startsWith("A serious error (code=61) has occurred.  "));
    QCOMPARE(tktest::readFile(m_intranet->path("tkshrtct.dat")), oldRegister);
    QCOMPARE(files::openFileCount(), 0);
    QVERIFY(!QFile::exists(m_intranet->path("tkshrtct.lck")));
}

void TestCreateCommand::templateWithoutSubfolderLeavesTheEmptyFolder()
{
    QVERIFY(QDir(m_intranet->path("2026/masterstudent/images")).removeRecursively());
    QVERIFY(QDir(m_intranet->path("2026/masterstudent/writing")).removeRecursively());
    QCOMPARE(create(), Outcome::ReturnToWindow);
    expectOneBox("Invalid path", MessageStyle::Error);
    QVERIFY(QFileInfo(studentFolder()).isDir());
    QVERIFY(tktest::snapshot(studentFolder()).isEmpty());
}

// Injected, since as root nothing is refused: a template subfolder that the
// operator may not list once gave "Success" with an empty copy of it.
void TestCreateCommand::anUncopiableTemplateIsNeverASuccess()
{
    const QByteArray oldRegister = tktest::readFile(m_intranet->path("tkshrtct.dat"));
    faults::failOn(FileOp::ListFolder, EACCES, 1);
    QCOMPARE(create(), Outcome::EndProgram);
    expectOneBox("Problem!", MessageStyle::Error);
    QCOMPARE(tktest::readFile(m_intranet->path("tkshrtct.dat")), oldRegister);
}

void TestCreateCommand::theFolderIsOnDiskBeforeTheRegisterNamesIt()
{
    const QByteArray oldRegister = tktest::readFile(m_intranet->path("tkshrtct.dat"));
    // The last sync before the register: of the whole file system, or else of
    // the home page, after the five template files.
    if (files::syncsWholeFileSystem)
        faults::failOn(FileOp::SyncFileSystem, EIO);
    else
        faults::failOn(FileOp::Sync, EIO, 5);
    QCOMPARE(create(), Outcome::EndProgram);
    expectOneBox("Something's wrong!", MessageStyle::Error);
    QCOMPARE(tktest::readFile(m_intranet->path("tkshrtct.dat")), oldRegister);
    QVERIFY(!QFile::exists(m_intranet->path("tkshrtct.new")));
}

void TestCreateCommand::aFailedSyncAfterTheRegisterIsReplacedIsStillASuccess()
{
    // The register's folder is synced once, after its rename.
    faults::failOn(FileOp::SyncFolder, EIO, files::syncsWholeFileSystem ? 0 : 1);
    QCOMPARE(create(), Outcome::EndProgram);
    expectOneBox("Success", MessageStyle::Information);
    QCOMPARE(m_intranet->load().shortcuts.rowCount(), 4);
}

void TestCreateCommand::refusesUnsafeOrUnstorableInput_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("mentioned");
    enum { Surname, Given, Login, Year, Class };
    QTest::newRow("slash in year")
        << int(Year) << "Year 7/../.."
        << "The Scholastic Year holds the character \"/\", which would put the student's folder "
           "outside the Ilvantis structure.  Please remove it and try again.";
    QTest::newRow("backslash in class") << int(Class) << "7A\\x"
                                        << "Class holds the character \"\\\"";
    QTest::newRow("slash in surname") << int(Surname) << "a/b"
                                      << "Surname holds the character \"/\"";
    QTest::newRow("class is ..")
        << int(Class) << " .. "
        << "The Class may not be \"..\": that would put the student's folder outside the Ilvantis "
           "structure.  Please change it and try again.";
    QTest::newRow("year is .") << int(Year) << "."
                               << "Scholastic Year may not be \".\"";
    QTest::newRow("blank year")
        << int(Year) << "   "
        << "The Scholastic Year is blank.  Please choose or type one and try again.";
    QTest::newRow("blank class") << int(Class) << " "
                                 << "Class is blank";
    QTest::newRow("blank surname") << int(Surname) << "   "
                                   << "New Student's Surname is blank";
    QTest::newRow("blank given name") << int(Given) << " "
                                      << "Given or Preferred Name is blank";
    QTest::newRow("comma in given name")
        << int(Given) << "Jo, Ann"
        << "The Given or Preferred Name holds the comma \",\", which the register file "
           "tkshrtct.dat cannot store.  Please remove it and try again.";
    QTest::newRow("quote in surname") << int(Surname) << "O\"Neil"
                                      << "Surname holds the double quote";
    QTest::newRow("comma in login") << int(Login) << "j,smith"
                                    << "Individual Login Account holds the comma";
    QTest::newRow("line break in class") << int(Class) << "7\nA"
                                         << "Class holds a line break";
    QTest::newRow("CR in year") << int(Year) << "Year\r7"
                                << "Scholastic Year holds a line break";
    QTest::newRow("NUL in surname")
        << int(Surname) << QString::fromLatin1("Lee\0x", 5)
        << "The New Student's Surname holds a control character (code 0), which no folder name or "
           "register line may hold.  Please remove it and try again.";
    QTest::newRow("tab in login") << int(Login) << "j\tsmith"
                                  << "Individual Login Account holds a control character (code 9)";
    QTest::newRow("DEL in class") << int(Class) << "7\x7f"
                                  << "Class holds a control character (code 127)";
    QTest::newRow("< in class") << int(Class) << "<7A>"
                                << "The Class holds the character \"<\", which Windows does not "
                                   "allow in a folder name.  Please remove it and try again.";
    QTest::newRow("? in year") << int(Year) << "Year 7?"
                               << "Scholastic Year holds the character \"?\"";
    QTest::newRow("* in year") << int(Year) << "Year*"
                               << "Scholastic Year holds the character \"*\"";
    QTest::newRow("| in class") << int(Class) << "7|A"
                                << "Class holds the character \"|\"";
    QTest::newRow(": in surname, so in the folder")
        << int(Surname) << "Lee:Kim"
        << "student's folder name \"lee:kim_annamaria\" holds the character \":\"";
    QTest::newRow("trailing dot in class") << int(Class) << "7A. "
                                           << "The Class ends with a dot, which Windows drops from "
                                              "a folder name.  Please remove it and try again.";
    QTest::newRow("trailing dot in the folder")
        << int(Given) << "Jo."
        << "student's folder name \"vanderberg_jo.\" ends with a dot";
}

void TestCreateCommand::refusesUnsafeOrUnstorableInput()
{
    QFETCH(int, field);
    QFETCH(QString, value);
    QFETCH(QString, mentioned);
    QString* fields[] = {&m_inputs.surname, &m_inputs.givenName, &m_inputs.loginAccount,
                         &m_inputs.year, &m_inputs.className};
    *fields[field] = value;
    const auto before = tktest::snapshot(m_intranet->root());

    QCOMPARE(create({Answer::Ok}), Outcome::ReturnToWindow);

    QCOMPARE(boxes().size(), 1);
    QCOMPARE(boxes().first().title, QStringLiteral("Cannot create"));
    QCOMPARE(boxes().first().style, MessageStyle::Error);
    QVERIFY2(boxes().first().text.contains(mentioned), qPrintable(boxes().first().text));
    QCOMPARE(tktest::snapshot(m_intranet->root()), before);
}

namespace {

QByteArray registerOf(int rows, int years, int classes,
                      const QByteArray& accountPrefix = "Student ")
{
    QByteArray dat;
    for (int i = 0; i < rows; ++i)
        dat += accountPrefix + QByteArray::number(i) + ",f,C" + QByteArray::number(i % classes)
            + ",Y" + QByteArray::number(i % years) + "\r\n";
    return dat;
}

} // namespace

void TestCreateCommand::refusesWhatTheRegisterCouldNotReadBack_data()
{
    QTest::addColumn<QByteArray>("dat");
    QTest::addColumn<QString>("year");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("surname");
    QTest::addColumn<QString>("mentioned"); // empty: accepted
    const QByteArray hundredYears = registerOf(100, 100, 1);
    const QByteArray hundredClasses = registerOf(100, 1, 100);
    QTest::newRow("1500 students")
        << registerOf(1500, 1, 1) << "Y0"
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
    // A register that is not UTF-8 is kept in Latin-1, which has no "Ł".
    QTest::newRow("beyond a Latin-1 register")
        << QByteArray("M\xFCller Jo,m\xFCller_jo,C0,Y0\r\n") << "Y0"
        << "C0" << QString::fromUtf8("Łukasz-Żak")
        << QString::fromUtf8("The New Student's Surname holds the characters \"ŁŻ\", which the "
                             "register file tkshrtct.dat cannot store in its character set.  "
                             "Please type the name without them and try again.");
    QTest::newRow("within a Latin-1 register")
        << QByteArray("M\xFCller Jo,m\xFCller_jo,C0,Y0\r\n") << "Y0"
        << "C0" << QString::fromUtf8("Müller") << "";
}

void TestCreateCommand::refusesWhatTheRegisterCouldNotReadBack()
{
    QFETCH(QByteArray, dat);
    QFETCH(QString, year);
    QFETCH(QString, className);
    QFETCH(QString, surname);
    QFETCH(QString, mentioned);
    m_intranet->writeRegister(dat);
    m_site = m_intranet->load();
    m_inputs.year = year;
    m_inputs.className = className;
    m_inputs.surname = surname;
    const auto before = tktest::snapshot(m_intranet->root());
    const Answer first = mentioned.isEmpty() ? Answer::Yes : Answer::Ok;
    create({first, Answer::Ok});

    if (mentioned.isEmpty()) {
        QCOMPARE(boxes().first().title, QStringLiteral("Please Verify"));
        return;
    }
    QCOMPARE(boxes().size(), 1);
    QCOMPARE(boxes().first().title, QStringLiteral("Cannot create"));
    QVERIFY2(boxes().first().text.contains(mentioned), qPrintable(boxes().first().text));
    QCOMPARE(tktest::snapshot(m_intranet->root()), before);
    // What was accepted must load at the next start.
    QCOMPARE(m_intranet->load().shortcuts.rowCount(), m_site.shortcuts.rowCount());
}

void TestCreateCommand::anotherCopyHoldingTheRegisterIsWaitedForThenRefused()
{
    tktest::writeFile(m_intranet->path("tkshrtct.lck"), "another copy");
    const auto before = tktest::snapshot(m_intranet->root());
    QCOMPARE(create(), Outcome::ReturnToWindow);
    expectOneBox("Cannot create", MessageStyle::Error);
    QCOMPARE(boxes().at(1).text,
             "Another copy of this utility is adding a student to the register file "
             "tkshrtct.dat right now.  Please wait a moment and press Create again.  If no other "
             "copy is running, delete the lock file "
                 + QDir::toNativeSeparators(m_intranet->path("tkshrtct.lck")) + " and try again.");
    QCOMPARE(tktest::snapshot(m_intranet->root()), before);

    QFile::remove(m_intranet->path("tkshrtct.lck"));
    MessageBox::clearShown();
    QCOMPARE(create(), Outcome::EndProgram);
    expectOneBox("Success", MessageStyle::Information);
}

void TestCreateCommand::rowsAddedSinceStartUpAreKept()
{
    // Another copy added a student after this one loaded the register.
    m_intranet->writeRegister("Adams Ben,adams_ben,7A,Year 7\r\n"
                              "Kovacs Eva,kovacs_eva,7B,Year 7\r\n"
                              "Lee Kim,lee_kim,7B,Year 7\r\n"
                              "zz9,zed_zoe,7A,Year 7\r\n");
    QCOMPARE(create(), Outcome::EndProgram);
    QCOMPARE(tktest::readFile(m_intranet->path("tkshrtct.dat")),
             QByteArray("Adams Ben,adams_ben,7A,Year 7\r\n"
                        "Kovacs Eva,kovacs_eva,7B,Year 7\r\n"
                        "Lee Kim,lee_kim,7B,Year 7\r\n"
                        "Van der Berg Anna Maria,vanderberg_annamaria,7A,Year 7\r\n"
                        "zz9,zed_zoe,7A,Year 7\r\n"));
}

void TestCreateCommand::theRegisterIsCheckedAgainUnderTheLock_data()
{
    QTest::addColumn<QByteArray>("onDisk");
    QTest::addColumn<QString>("mentioned");
    QTest::newRow("filled up meanwhile") << registerOf(1500, 1, 1) << "already holds 1500 students";
    QTest::newRow("years filled up meanwhile")
        << registerOf(100, 100, 1) << "names 100 different years";
    QTest::newRow("gone meanwhile") << QByteArray() << "The register file could not be found.";
    QTest::newRow("damaged meanwhile")
        << QByteArray("a,b\r\n")
        << "The register file tkshrtct.dat was changed by another program since this utility "
           "started, and it can no longer be read.  Nothing has been created.\r\n\r\nThe register "
           "ends in the middle of student 1";
}

void TestCreateCommand::theRegisterIsCheckedAgainUnderTheLock()
{
    QFETCH(QByteArray, onDisk);
    QFETCH(QString, mentioned);
    if (onDisk.isEmpty())
        QVERIFY(QFile::remove(m_intranet->path("tkshrtct.dat")));
    else
        m_intranet->writeRegister(onDisk);
    const auto before = tktest::snapshot(m_intranet->root());
    QCOMPARE(create(), Outcome::ReturnToWindow);
    expectOneBox("Cannot create", MessageStyle::Error);
    QVERIFY2(boxes().at(1).text.contains(mentioned), qPrintable(boxes().at(1).text));
    QCOMPARE(tktest::snapshot(m_intranet->root()), before);
}

QTEST_MAIN(TestCreateCommand)
#include "TestCreateCommand.moc"
