#include "TestSupport.h"

#include "create/CreateCommand.h"
#include "create/Messages.h"
#include "create/StudentValues.h"
#include "platform/FaultInjection.h"
#include "platform/FileServices.h"
#include "platform/MessageBox.h"

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
    void shortPagesWarnAndReturn_data();
    void shortPagesWarnAndReturn();
    void missingMasterEndsTheProgram_data();
    void missingMasterEndsTheProgram();
    void masterCheckFailuresEndTheProgram_data();
    void masterCheckFailuresEndTheProgram();
    void invalidYearAndClassReturnsForAnotherTry();
    void existingStudentFolderIsNeverReused();
    void lateMissingFileReturnsWithTheFolderBuilt();
    void otherFailuresShowTheirNumber();
    void templateWithoutSubfolderLeavesTheEmptyFolder();
    void refusesUnsafeOrUnstorableInput_data();
    void refusesUnsafeOrUnstorableInput();
    void refusesAFullRegister();

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
    CreateCommand command(m_site, [this] { return m_inputs; }, dialogs);
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
    QTest::newRow("Van der Berg") << " Van der Berg" << "Anna Maria " << ""
                                  << "vanderberg_annamaria" << "Anna Maria Van der Berg"
                                  << "Van der Berg Anna Maria";
    QTest::newRow("McDONALD") << "McDONALD" << "Ann" << "" << "mcdonald_ann" << "Ann McDONALD"
                              << "McDONALD Ann";
    QTest::newRow("de la Cruz") << "de la Cruz" << "Jo Ann" << "" << "delacruz_joann"
                                << "Jo Ann de la Cruz" << "de la Cruz Jo Ann";
    QTest::newRow("O'Neil-Smith") << "O'Neil-Smith" << "Kate" << "" << "o'neil-smith_kate"
                                  << "Kate O'Neil-Smith" << "O'Neil-Smith Kate";
    QTest::newRow("login account") << "Smith" << "Jo" << "  jsmith " << "smith_jo" << "Jo Smith"
                                   << "jsmith";
    QTest::newRow("blank login") << "Smith" << "Jo" << "   " << "smith_jo" << "Jo Smith"
                                 << "Smith Jo";
    QTest::newRow("tab stays") << "Smith\t" << "Jo" << "" << "smith\t_jo" << "Jo Smith\t"
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
    QCOMPARE(studentFolderPathFor(m_site, inputs, folderName),
             classPath + QDir::separator() + folderName);
    QCOMPARE(masterFolderPathFor(m_site), m_intranet->masterFolder());
}

void TestCreateCommand::asksWithFiveLines_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("loginLine");
    QTest::newRow("no login") << " " << "This student does not have an individual login account "
                                        "for the Ilvantis server.";
    QTest::newRow("login") << " jsmith " << "The tkshrtct.dat file will include the login "
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
                          studentFolder(), loginLine, "", "Are you sure you want to do this?"}));
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
    QCOMPARE(files::openFileCount(), 0);
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
    tktest::writeFile(m_intranet->path("2026/masterstudent/index.htm"), tktest::pageOfSize(masterSize));
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
    if (concern.startsWith("master"))
        QCOMPARE(boxes().at(1).text, messages::masterPageConcern(m_intranet->masterFolder()));
    QCOMPARE(tktest::snapshot(m_intranet->root()), before);
}

void TestCreateCommand::missingMasterEndsTheProgram_data()
{
    QTest::addColumn<QString>("removed");
    QTest::addColumn<QString>("className");
    QTest::newRow("master folder") << "2026/masterstudent" << "7A";
    QTest::newRow("master page") << "2026/masterstudent/index.htm" << "7A";
    QTest::newRow("master folder and class") << "2026/masterstudent" << "9Z";
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
    QCOMPARE(boxes().at(1).text, messages::masterMissing(m_intranet->masterFolder()));
    QVERIFY(boxes().at(1).text.contains(m_intranet->masterFolder()));
}

void TestCreateCommand::masterCheckFailuresEndTheProgram_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::newRow("refused") << EACCES << "Problem!" << messages::problem();
    QTest::newRow("other") << EIO << "Something's wrong!" << messages::seriousError(57);
}

void TestCreateCommand::masterCheckFailuresEndTheProgram()
{
    QFETCH(int, error);
    QFETCH(QString, title);
    QFETCH(QString, text);
    faults::failOn(FileOp::Length, error);
    QCOMPARE(create(), Outcome::EndProgram);
    expectOneBox(title, MessageStyle::Error);
    QCOMPARE(boxes().at(1).text, text);
}

void TestCreateCommand::invalidYearAndClassReturnsForAnotherTry()
{
    m_inputs.className = "7C";
    QCOMPARE(create(), Outcome::ReturnToWindow);
    expectOneBox("Invalid path", MessageStyle::Error);
    QCOMPARE(boxes().at(1).text, messages::invalidPath());

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
    QCOMPARE(boxes().at(1).text, messages::problem());
    QCOMPARE(tktest::snapshot(m_intranet->root()), before);
}

void TestCreateCommand::lateMissingFileReturnsWithTheFolderBuilt()
{
    QVERIFY(QFile::remove(m_intranet->path("tkshrtct.dat")));
    QCOMPARE(create(), Outcome::ReturnToWindow);
    expectOneBox("Invalid path", MessageStyle::Error);
    QVERIFY(QFile::exists(studentFolder() + "/images/logo.gif"));
    QCOMPARE(files::openFileCount(), 0);

    MessageBox::clearShown();
    QCOMPARE(create(), Outcome::EndProgram);
    expectOneBox("Problem!", MessageStyle::Error);
}

void TestCreateCommand::otherFailuresShowTheirNumber()
{
    const QByteArray oldRegister = tktest::readFile(m_intranet->path("tkshrtct.dat"));
    faults::failOn(FileOp::Write, ENOSPC, 1); // the home page gets written, the register does not
    QCOMPARE(create(), Outcome::EndProgram);
    expectOneBox("Something's wrong!", MessageStyle::Error);
    QVERIFY(boxes().at(1).text.startsWith("A serious error (code=61) has occurred.  "));
    QCOMPARE(boxes().at(1).text, messages::seriousError(61));
    QVERIFY(boxes().at(1).text.contains(supportEmailAddress));
    QCOMPARE(tktest::readFile(m_intranet->path("tkshrtct.dat")), oldRegister);
    QCOMPARE(files::openFileCount(), 0);
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

void TestCreateCommand::refusesUnsafeOrUnstorableInput_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("mentioned");
    enum { Surname, Given, Login, Year, Class };
    QTest::newRow("slash in year") << int(Year) << "Year 7/../.." << "Scholastic Year holds the character \"/\"";
    QTest::newRow("backslash in class") << int(Class) << "7A\\x" << "Class holds the character \"\\\"";
    QTest::newRow("slash in surname") << int(Surname) << "a/b" << "Surname holds the character \"/\"";
    QTest::newRow("class is ..") << int(Class) << " .. " << "Class may not be \"..\"";
    QTest::newRow("year is .") << int(Year) << "." << "Scholastic Year may not be \".\"";
    QTest::newRow("blank year") << int(Year) << "   " << "Scholastic Year is blank";
    QTest::newRow("blank class") << int(Class) << " " << "Class is blank";
    QTest::newRow("comma in given name") << int(Given) << "Jo, Ann" << "Given or Preferred Name holds the comma";
    QTest::newRow("quote in surname") << int(Surname) << "O\"Neil" << "Surname holds the double quote";
    QTest::newRow("comma in login") << int(Login) << "j,smith" << "Individual Login Account holds the comma";
    QTest::newRow("line break in class") << int(Class) << "7\nA" << "Class holds a line break";
    QTest::newRow("CR in year") << int(Year) << "Year\r7" << "Scholastic Year holds a line break";
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

void TestCreateCommand::refusesAFullRegister()
{
    QByteArray dat;
    for (int i = 0; i < maxRegisterRows; ++i)
        dat += "Student " + QByteArray::number(i) + ",f,7A,Year 7\r\n";
    m_intranet->writeRegister(dat);
    m_site = m_intranet->load();
    QCOMPARE(create({Answer::Ok}), Outcome::ReturnToWindow);
    QCOMPARE(boxes().size(), 1);
    QCOMPARE(boxes().first().title, QStringLiteral("Cannot create"));
    QVERIFY(boxes().first().text.contains("1500"));
    QVERIFY(!QFileInfo::exists(studentFolder()));
}

QTEST_MAIN(TestCreateCommand)
#include "TestCreateCommand.moc"
