#include "FaultInjection.h"
#include "ScriptedDialogs.h"
#include "TestSupport.h"

#include "gui/CreateCommand.h"
#include "platform/FileServices.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <cerrno>

using namespace tk;
using faults::SystemCall;
using tktest::Intranet;
using Outcome = CreateCommand::Outcome;

// The Create button as the operator meets it: which boxes, with which
// words, in which order, and whether the window comes back.
class TestCreateCommand : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void asksWithFiveLines_data();
    void asksWithFiveLines();
    void refusesBeforeAsking_data();
    void refusesBeforeAsking();
    void succeedsAndEnds();
    void messagesReadWordForWord_data();
    void messagesReadWordForWord();
    void shortPagesWarnAndReturn_data();
    void shortPagesWarnAndReturn();
    void missingMasterEndsTheProgram_data();
    void missingMasterEndsTheProgram();
    void invalidYearAndClassReturnsForAnotherTry();
    void existingStudentFolderIsNeverReused();
    void aFailedCreateLeavesNoFolderBehind_data();
    void aFailedCreateLeavesNoFolderBehind();
    void anotherCopyHoldingTheRegisterIsWaitedForThenRefused();
    void withPagesLinkedTheTextsSaySo_data();
    void withPagesLinkedTheTextsSaySo();

private:
    Outcome create(const QList<Answer>& answers = {});
    QString studentFolder() const;
    QList<tktest::ScriptedDialogs::Shown> boxes() const { return m_dialogs.shown; }
    void expectOneBox(const QString& title, MessageStyle style) const;

    std::unique_ptr<Intranet> m_intranet;
    SiteData m_site;
    StudentInputs m_inputs;
    tktest::ScriptedDialogs m_dialogs;
};

void TestCreateCommand::init()
{
    m_intranet = std::make_unique<Intranet>();
    m_site = m_intranet->load();
    m_inputs = tktest::annaMaria();
    m_dialogs.clear();
}

void TestCreateCommand::cleanup()
{
    faults::clear();
}

Outcome TestCreateCommand::create(const QList<Answer>& answers)
{
    for (const Answer answer : answers)
        m_dialogs.answers.enqueue(answer);
    return CreateCommand(m_site, m_dialogs).run(m_inputs);
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
    const tktest::ScriptedDialogs::Shown question = boxes().first();
    QCOMPARE(question.title, QStringLiteral("Please Verify"));
    QCOMPARE(question.style, MessageStyle::Question);
    QCOMPARE(question.text.count("\r\n"), 4);
    QCOMPARE(question.text.split("\r\n"),
             (QStringList{"This utility will create a new Ilvantis folder structure for Anna "
                          "Maria Van der Berg located in the path: ",
                          QDir::toNativeSeparators(studentFolder()), loginLine, "",
                          "Are you sure you want to do this?"}));
}

void TestCreateCommand::refusesBeforeAsking_data()
{
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("login");
    QTest::newRow("class outside its year") << "7A/.."
                                            << "";
    // The window keeps no row from start-up: the register's rows are read
    // for the check all the same.
    QTest::newRow("account the register holds") << "7A"
                                                << "LEE KIM";
}

void TestCreateCommand::refusesBeforeAsking()
{
    QFETCH(QString, className);
    QFETCH(QString, login);
    m_inputs.className = className;
    m_inputs.loginAccount = login;
    const auto before = tktest::snapshot(m_intranet->root());
    QCOMPARE(create(), Outcome::ReturnToWindow);
    QCOMPARE(m_dialogs.titles(), QStringList{"Cannot create"});
    QCOMPARE(boxes().first().style, MessageStyle::Error);
    QCOMPARE(tktest::snapshot(m_intranet->root()), before);
}

void TestCreateCommand::succeedsAndEnds()
{
    m_inputs.className = " 7A ";
    QCOMPARE(create(), Outcome::EndProgram);
    expectOneBox("Success", MessageStyle::Information);
    // The class as typed, blanks and all.
    QCOMPARE(boxes().at(1).text,
             QStringLiteral("An Ilvantis folder structure for Anna Maria Van der Berg has been "
                            "created successfully and their name added to the TKSHRTCT.DAT file. "
                            " You must now edit the Class Page for class  7A  to add a link to "
                            "their new webpage.  The link on the class page cannot be created by "
                            "this utility and must be done manually.  Click OK to exit."));
    QVERIFY(tktest::readFile(m_intranet->path("tkshrtct.dat"))
                .contains("Van der Berg Anna Maria,vanderberg_annamaria,7A,Year 7\r\n"));
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
    QTest::newRow("master page with no place for the name")
        << "no placeholder"
        << "Possible concern"
        << "The index.htm file which is the master student page located in %1 does not contain "
           "the words \"New Student\", which this utility replaces with the student's name.  "
           "Nothing has been created.  Please put the words back where the name belongs, or "
           "restore the page from backup.";
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
    if (scenario == "no placeholder")
        tktest::writeFile(m_intranet->path("2026/masterstudent/index.htm"),
                          tktest::pageOfSize(200).replace("New Student", "Student Name"));
    if (scenario == "no master")
        QVERIFY(QDir(m_intranet->masterFolder()).removeRecursively());
    if (scenario == "folder exists")
        QDir().mkpath(studentFolder());
    if (scenario == "no class")
        m_inputs.className = "7Z";
    if (scenario == "I/O error")
        faults::failOn(SystemCall::Length, EIO);
    const auto before = tktest::snapshot(m_intranet->root());
    create();
    // A page with no place for the name is found before the question.
    QCOMPARE(boxes().size(), scenario == "no placeholder" ? 1 : 2);
    QCOMPARE(boxes().last().title, title);
    QCOMPARE(boxes().last().style, MessageStyle::Error);
    QCOMPARE(boxes().last().text,
             text.replace("%1", QDir::toNativeSeparators(m_intranet->masterFolder())));
    if (scenario == "no placeholder")
        QCOMPARE(tktest::snapshot(m_intranet->root()), before);
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
}

void TestCreateCommand::invalidYearAndClassReturnsForAnotherTry()
{
    m_inputs.className = "7C";
    QCOMPARE(create(), Outcome::ReturnToWindow);
    expectOneBox("Invalid path", MessageStyle::Error);

    m_dialogs.clear();
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

// Every way out after the student's folder was made: the folder goes again
// before the operator is told, so that the next Create for the student
// works; only a folder that cannot be removed is left, and named.
void TestCreateCommand::aFailedCreateLeavesNoFolderBehind_data()
{
    QTest::addColumn<QString>("cause");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<int>("outcome");
    QTest::newRow("template without subfolder")
        << "no subfolder" << QStringList{"Please Verify", "Invalid path"}
        << int(Outcome::ReturnToWindow);
    QTest::newRow("disk full while copying")
        << "disk full" << QStringList{"Please Verify", "Something's wrong!"}
        << int(Outcome::EndProgram);
    QTest::newRow("register not written")
        << "register" << QStringList{"Please Verify", "Problem!"} << int(Outcome::EndProgram);
    QTest::newRow("folder cannot be removed")
        << "stuck" << QStringList{"Please Verify", "Something's wrong!", "Folder left behind"}
        << int(Outcome::EndProgram);
}

void TestCreateCommand::aFailedCreateLeavesNoFolderBehind()
{
    QFETCH(QString, cause);
    QFETCH(QStringList, titles);
    QFETCH(int, outcome);
    const QString images = m_intranet->path("2026/masterstudent/images");
    if (cause == "no subfolder") {
        QVERIFY(QDir(images).removeRecursively());
        QVERIFY(QDir(m_intranet->path("2026/masterstudent/writing")).removeRecursively());
    }
    if (cause == "disk full" || cause == "stuck")
        faults::failOn(SystemCall::Write, ENOSPC, "/writing/");
    if (cause == "stuck")
        faults::failOn(SystemCall::Remove, EBUSY, "vanderberg_annamaria");
    if (cause == "register")
        faults::failOn(SystemCall::Rename, EACCES, "tkshrtct.new");
    const QByteArray registerBefore = tktest::readFile(m_intranet->path("tkshrtct.dat"));

    QCOMPARE(int(create()), outcome);

    QCOMPARE(m_dialogs.titles(), titles);
    QCOMPARE(tktest::readFile(m_intranet->path("tkshrtct.dat")), registerBefore);
    QVERIFY(!QFileInfo::exists(studentFolder()));
    if (cause == "stuck") {
        QCOMPARE(tktest::withoutRandomPart(boxes().last().text),
                 "The folder " + QDir::toNativeSeparators(studentFolder() + ".~XXXXXX")
                     + " was made for this student, but it could not be removed after the "
                       "failure.  The next Create finishes or removes it.");
        return;
    }
    // The next Create for the same student goes through.
    faults::clear();
    tktest::writeFile(images + "/logo.gif", "GIF87a");
    m_dialogs.clear();
    QCOMPARE(create(), Outcome::EndProgram);
    expectOneBox("Success", MessageStyle::Information);
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
}

void TestCreateCommand::withPagesLinkedTheTextsSaySo_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QString>("pageSentence"); // in the question
    QTest::addColumn<QString>("successEnd");
    QTest::newRow("a list") << QByteArray("<ul>\r\n<li><a href=\"adams_ben/index.htm\">Ben "
                                          "Adams</a></li>\r\n</ul>\r\n<p>Class 7A of Year "
                                          "7, 2026.</p>\r\n")
                            << " will get a link to their new webpage."
                            << "The Class Page for class 7A now links to their new webpage.  "
                               "Click OK to exit.";
    QTest::newRow("no list")
        << tktest::pageOfSize(300)
        << " cannot get a link to their new webpage: it has no list of links to its students' "
           "folders."
        << "The Class Page for class 7A was left as it was: it has no list of links to its "
           "students' folders.  Add this line to its list of students:\r\n<li><a "
           "href=\"vanderberg_annamaria/index.htm\">Anna Maria Van der Berg</a></li>\r\n  "
           "Click OK to exit.";
}

void TestCreateCommand::withPagesLinkedTheTextsSaySo()
{
    QFETCH(QByteArray, page);
    QFETCH(QString, pageSentence);
    QFETCH(QString, successEnd);
    tktest::writeFile(m_intranet->path("tkaddstudent.ini"), "[class pages]\r\nlink=yes\r\n");
    tktest::writeFile(m_intranet->path("2026/Year 7/7A/index.htm"), page);
    QCOMPARE(create({Answer::Yes}), Outcome::EndProgram);
    QCOMPARE(boxes().size(), 2);
    QCOMPARE(boxes()[0].text,
             "This utility will create a new Ilvantis folder structure for Anna Maria Van der "
             "Berg located in the path: \r\n"
                 + nativePath(studentFolder())
                 + "\r\nThis student does not have an individual login account for the Ilvantis "
                   "server.\r\nThe class page "
                 + nativePath(m_intranet->path("2026/Year 7/7A/index.htm")) + pageSentence
                 + "\r\n\r\nAre you sure you want to do this?");
    QCOMPARE(boxes()[1].text,
             "An Ilvantis folder structure for Anna Maria Van der Berg has been created "
             "successfully and their name added to the TKSHRTCT.DAT file.  "
                 + successEnd);
}

QTEST_GUILESS_MAIN(TestCreateCommand)
#include "TestCreateCommand.moc"
