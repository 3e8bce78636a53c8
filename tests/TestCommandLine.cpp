#include "FaultInjection.h"
#include "TestSupport.h"

#include "cli/CommandLine.h"
#include "platform/FileServices.h"
#include "register/RegisterReader.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>

#include <QtTest>
#include <csignal>

#include <cerrno>
#ifdef Q_OS_LINUX
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace tk;
using faults::SystemCall;
using tktest::Intranet;

// The command line as IT staff use it: its own words, a status for every
// ending, lists as spreadsheets save them, and a report a script can read.
class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { faults::clear(); }
    void parsesTheCommandLine_data();
    void parsesTheCommandLine();
    void opensTheWindowOnlyWithoutACommand_data();
    void opensTheWindowOnlyWithoutACommand();
    void endsWithTheStatusOfWhatHappened_data();
    void endsWithTheStatusOfWhatHappened();
    void refusesWhatTheWindowRefuses_data();
    void refusesWhatTheWindowRefuses();
    void asksBeforeAdding_data();
    void asksBeforeAdding();
    void aListWithBadRowsChangesNothing();
    void showsAtMostAScreenfulOfProblems();
    void previewsAndAddsAListInOrder();
    void writesAReportWhateverTheOutcome();
    void refusesAReportThatWouldHarmTheIntranet_data();
    void refusesAReportThatWouldHarmTheIntranet();
    void takesAListFromStandardInput();
    void asksOnARealTerminal_data();
    void asksOnARealTerminal();
    void saysSoWhenThereIsNoDisplay();
    void aStoppedListIsFinishedByRunningItAgain_data();
    void aStoppedListIsFinishedByRunningItAgain();
    void removesAndMovesRegisteredStudents_data();
    void removesAndMovesRegisteredStudents();
    void movesTheClassPageLinks_data();
    void movesTheClassPageLinks();
    void undoesWhatItPrints_data();
    void undoesWhatItPrints();
    void logsEveryChange_data();
    void logsEveryChange();

private:
    int run(const QStringList& arguments);
    QStringList add(const QString& className = "7A") const;
    QString listFile(const QByteArray& csv);
    QString native(const QString& relative) const
    {
        return QDir::toNativeSeparators(m_intranet->path(relative));
    }

    void makeStudentFolders();

    std::unique_ptr<Intranet> m_intranet;
    QString m_out;
    QString m_err;
    QStringList m_typed; // lines typed at the question; "^D" ends the input
    bool m_terminal = true;
    QByteArray m_standardInput;
};

void TestCommandLine::init()
{
    m_intranet = std::make_unique<Intranet>();
    m_out.clear();
    m_err.clear();
    m_typed.clear();
    m_terminal = true;
    m_standardInput.clear();
}

int TestCommandLine::run(const QStringList& arguments)
{
    const Console console{[this](const QString& text) { m_out += text; },
                          [this](const QString& text) { m_err += text; },
                          [this](QString* line) {
                              if (!m_terminal)
                                  return Console::Input::NoTerminal;
                              if (m_typed.isEmpty() || m_typed.first() == "^D")
                                  return Console::Input::EndOfInput;
                              *line = m_typed.takeFirst();
                              return Console::Input::Line;
                          },
                          [this] { return m_standardInput; }, [] { return false; }};
    return runCommandLine(QStringList{"tkaddstudent"} + arguments, console);
}

QStringList TestCommandLine::add(const QString& className) const
{
    return {"add",    "--surname", " Van der Berg", "--given",    "Anna Maria ",     "--year",
            "Year 7", "--class",   className,       "--intranet", m_intranet->root()};
}

QString TestCommandLine::listFile(const QByteArray& csv)
{
    const QString path = m_intranet->path("list.csv");
    tktest::writeFile(path, csv);
    return path;
}

void TestCommandLine::parsesTheCommandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said"); // on standard output when 0, else on standard error
    QTest::newRow("help lists the statuses")
        << QStringList{"--help"} << 0
        << "  5  a failure that left something changed: students of a list added\n";
    QTest::newRow("unknown option") << QStringList{"add", "--bogus"} << 2
                                    << "tkaddstudent: Unknown option 'bogus'.\n"
                                       "See: tkaddstudent-cli --help\n";
    QTest::newRow("no command") << QStringList{
        "--yes"} << 2 << "Say what to do: tkaddstudent-cli add, remove, move, restore ...";
    QTest::newRow("unknown command")
        << QStringList{"delete"} << 2
        << "Unknown command \"delete\": the commands are add, remove, move, restore.";
    QTest::newRow("remove, half a folder")
        << QStringList{"remove", "--year", "Year 7", "--class", "7A"} << 2 << "Missing --folder.";
    QTest::newRow("a list named by nothing")
        << QStringList{"add", "--from", "", "--yes"} << 2
        << "--from names no list: give the list's file, or \"-\" for standard input.";
    QTest::newRow("move nowhere") << QStringList{"move", "--account", "x"} << 2
                                  << "Say where to: --to-class C, with --to-year Y for a class "
                                     "of another year.";
    QTest::newRow("a word too many")
        << QStringList{"add", "--surname", "Van", "der", "Berg"} << 2
        << "Unexpected word \"der\" after add: put quotes around a value that holds blanks.";
    QTest::newRow("an option twice")
        << QStringList{"add", "--surname", "A", "--surname", "B", "--given",
                       "G",   "--year",    "Y", "--class",   "C"}
        << 2 << "--surname is given more than once: give it once.";
    QTest::newRow("missing given name")
        << QStringList{"add", "--surname", "Lee", "--year", "Year 7", "--class", "7A"} << 2
        << "Missing --given.";
    QTest::newRow("list and a name")
        << QStringList{"add", "--from", "x.csv", "--surname", "Lee"} << 2
        << "--from takes the students from the list: leave out --surname.";
    QTest::newRow("dry run of one") << QStringList{"add", "--surname", "Lee", "--dry-run"} << 2
                                    << "--dry-run goes with --from.";
    QTest::newRow("list on standard input, no one to ask")
        << QStringList{"add", "--from", "-"} << 2
        << "With --from - the list comes on standard input, where the question cannot be asked: "
           "add --yes, or --dry-run.";
    QTest::newRow("unknown character set")
        << QStringList{"add", "--from", "x.csv", "--encoding", "klingon"} << 2
        << "Unknown character set \"klingon\"";
    QTest::newRow("list that is not there")
        << QStringList{"add", "--from", "/nonexistent/x.csv"} << 2 << "The list ";
    QTest::newRow("a folder for a list")
        << QStringList{"add", "--from", "."} << 2
        << "The list . is a folder, not a list: --from names the list's CSV file.\n";
}

void TestCommandLine::parsesTheCommandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, said);
    if (said.startsWith("The list "))
        arguments << "--intranet" << m_intranet->root();
    QCOMPARE(run(arguments), status);
    QVERIFY2((status == 0 ? m_out : m_err).contains(said), qPrintable(m_out + m_err));
    QVERIFY(!m_out.contains("--help-all"));
}

void TestCommandLine::opensTheWindowOnlyWithoutACommand_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("window"); // the intranet it opens on; "-" for a command
    QTest::newRow("nothing") << QStringList{} << "";
    QTest::newRow("an intranet") << QStringList{"--intranet", "S:\\intranet"} << "S:\\intranet";
    QTest::newRow("an intranet, with =") << QStringList{"--intranet=/srv/i"} << "/srv/i";
    QTest::newRow("help") << QStringList{"--help"} << "-";
    QTest::newRow("a command") << QStringList{"add", "--intranet", "/srv/i"} << "-";
}

void TestCommandLine::opensTheWindowOnlyWithoutACommand()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, window);
    QCOMPARE(windowRequested(QStringList{"tkaddstudent"} + arguments).value_or("-"), window);
}

// Every status of the table in the README and --help, once.
void TestCommandLine::endsWithTheStatusOfWhatHappened_data()
{
    QTest::addColumn<QString>("setUp");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");
    QTest::newRow("0: added")
        << "" << 0
        << "Added Anna Maria Van der Berg: made the folder %1 and added the line \"Van der Berg "
           "Anna Maria,vanderberg_annamaria,7A,Year 7\" to %2.\n"
           "Next: link each new student's page from the class page, which this program never "
           "edits:\n  %3\n";
    QTest::newRow("0: added, the lock left behind")
        << "lock stays" << 0
        << "The lock file %6 could not be removed (error 75), so every other copy of "
           "tkaddstudent waits for it: delete it.\n";
    QTest::newRow("1: no such folder")
        << "no such folder" << 1 << "The folder %7, which --intranet names, does not exist.\n";
#ifndef Q_OS_WIN // whose renames are written through, with no folder to flush
    QTest::newRow("0: added, the register's folder not flushed")
        << "register not flushed" << 0
        << "The students are registered, but the folder %8 could not be flushed to disk (error "
           "57): a power cut now could still lose them.\n";
#endif
    QTest::newRow("0: added, after finishing a stopped run's work")
        << "left by a stopped run" << 0
        << "An earlier run was stopped part way; this one finished its work: 0 students "
           "registered, 1 folder it had not put in place removed.\n";
    QTest::newRow("1: no settings")
        << "no settings" << 1
        << "The folder %8, which --intranet names, holds no tkshrtct.ini: name the intranet's "
           "root folder, the one that holds it.\n";
    QTest::newRow("1: no register")
        << "no register" << 1
        << "The register file could not be found.  It must be in the intranet's root folder: "
           "the program's own folder, or the one --intranet names.";
    QTest::newRow("2: a workbook for a list")
        << "list: PK\x03\x04" << 2
        << "The list is a spreadsheet workbook (.xlsx or .ods), not a CSV file.";
    QTest::newRow("3: a list in another character set than named")
        << "list: surname,given,year,class\nLef\u00E8vre,Jo,Year 7,7A\n"
        << 3
        << "refused: The row cannot be read in UTF-8, which --encoding names: the list is not in "
           "UTF-8.  Leave out --encoding, and the character set is found from the list's "
           "bytes.\n";
    QTest::newRow("3: a row that is no student, previewed")
        << "list: surname,given,year,class\nOkafor,Chidi\n"
        << 3
        << "line 2: (holds 2 values: \"Okafor\", \"Chidi\"): refused: The row holds 2 fields, and "
           "the header row names 4 columns.\n1 student: 0 to add, 0 already added, 1 refused.";
    QTest::newRow("3: refused")
        << "comma in the login" << 3
        << "Not added: The Individual Login Account holds the comma \",\", which the register "
           "file tkshrtct.dat cannot store.  Please remove it and try again.\n"
           "Nothing was changed.\n";
    QTest::newRow("4: no such class")
        << "no such class" << 4
        << "Not added: There is no class \"7Z\" in %4.  Its classes are: 7A, 7B.\n"
           "Nothing was changed.\n";
    QTest::newRow("4: a master page with no place for the name")
        << "no placeholder" << 4
        << "Not added: The master student page %9 does not hold the words \"New Student\", which "
           "every new student's page shows in their name's place.  Put them back where the name "
           "belongs, or restore the page from a backup.\nNothing was changed.\n";
    QTest::newRow("4: damaged class page")
        << "short class page" << 4 << "is shorter than 100 bytes, so it looks damaged.";
    QTest::newRow("5: a list that fails part way")
        << "list, disk full" << 5 << "Added: 1.  Not added: 1.";
    QTest::newRow("6: a folder in the way")
        << "folder exists" << 6
        << "Not added: The folder %1 exists already, and no line of the register names it: it "
           "may hold a student's work.  Look inside it before you move it anywhere, then run "
           "the command again.\n"
           "Nothing was changed.\n";
    QTest::newRow("6: the register locked")
        << "locked" << 6 << "Another copy of tkaddstudent is changing the register";
    QTest::newRow("6: disk full, the folder removed again")
        << "disk full" << 6
        << "Write file failed for %5: the disk or the quota is full (error 61).\n"
           "Nothing was changed.\n";
}

void TestCommandLine::endsWithTheStatusOfWhatHappened()
{
    QFETCH(QString, setUp);
    QFETCH(int, status);
    QFETCH(QString, said);
    QStringList arguments = add(setUp == "no such class" ? "7Z" : "7A") << "--yes";
    if (setUp == "comma in the login")
        arguments << "--login"
                  << "a,b";
    if (setUp == "no settings")
        QFile::remove(m_intranet->path("tkshrtct.ini"));
    if (setUp == "no placeholder")
        tktest::writeFile(m_intranet->path("2026/masterstudent/index.htm"),
                          tktest::pageOfSize(200).replace("New Student", "Student Name"));
    if (setUp == "short class page")
        tktest::writeFile(m_intranet->path("2026/Year 7/7A/index.htm"), tktest::pageOfSize(10));
    if (setUp == "no such folder")
        arguments[arguments.indexOf(m_intranet->root())] = m_intranet->path("no/such");
    if (setUp == "no register")
        QFile::remove(m_intranet->path("tkshrtct.dat"));
    if (setUp == "folder exists")
        QDir().mkpath(m_intranet->path("2026/Year 7/7A/vanderberg_annamaria"));
    if (setUp == "locked")
        tktest::writeFile(m_intranet->path("tkshrtct.lck"), "another copy");
    if (setUp == "left by a stopped run") {
        tktest::writeFile(m_intranet->path("2026/Year 7/7B/lee_jo.~k3f9z1/index.htm"), "Jo Lee");
        tktest::writeFile(m_intranet->path("tkshrtct.jnl"),
                          "lee_jo.~k3f9z1,Lee Jo,lee_jo,7B,Year 7\r\n");
    }
    if (setUp == "register not flushed")
        faults::failOn(SystemCall::SyncFolder, EIO);
    if (setUp == "lock stays")
        faults::failAlways(SystemCall::Remove, EACCES, "tkshrtct.lck");
    if (setUp.contains("disk full"))
        faults::failOn(SystemCall::Write, ENOSPC, "writing/story.htm", setUp.startsWith("list"));
    if (setUp.startsWith("list"))
        arguments = QStringList{"add",
                                "--from",
                                listFile(
                                    setUp.startsWith("list: ")
                                        ? setUp.mid(6).toLatin1()
                                        : "surname,given,year,class\nQuorrel,Dravin,Year 7,7A\n"
                                          "Abel,Mary,Year 7,7B\n"),
                                "--intranet",
                                m_intranet->root(),
                                "--encoding",
                                "UTF-8",
                                setUp.startsWith("list: ") ? "--dry-run" : "--yes"};
    const QByteArray registerBefore = tktest::readFile(m_intranet->path("tkshrtct.dat"));

    QCOMPARE(run(arguments), status);

    said.replace("%1", native("2026/Year 7/7A/vanderberg_annamaria"))
        .replace("%2", native("tkshrtct.dat"))
        .replace("%3", native("2026/Year 7/7A/index.htm"))
        .replace("%4", native("2026/Year 7"))
        .replace("%5", native("2026/Year 7/7A/vanderberg_annamaria.~XXXXXX/writing/story.htm"))
        .replace("%6", native("tkshrtct.lck"))
        .replace("%7", native("no/such"))
        .replace("%8", QDir::toNativeSeparators(m_intranet->root()))
        .replace("%9", native("2026/masterstudent/index.htm"));
    QVERIFY2(tktest::withoutRandomPart(m_out + m_err).contains(said), qPrintable(m_out + m_err));
    if (status != 0 && status != 5)
        QCOMPARE(tktest::readFile(m_intranet->path("tkshrtct.dat")), registerBefore);
    if (setUp == "left by a stopped run")
        QVERIFY(!QFileInfo::exists(m_intranet->path("2026/Year 7/7B/lee_jo.~k3f9z1")));
    if (status == 6 && setUp == "disk full")
        QVERIFY(!QFileInfo::exists(m_intranet->path("2026/Year 7/7A/vanderberg_annamaria")));
}

// In the window's own words, which name the field: one text for both.
void TestCommandLine::refusesWhatTheWindowRefuses_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("an account the register holds")
        << "--login"
        << "ADAMS BEN"
        << "The register file tkshrtct.dat already holds this account name, in the line \"Adams "
           "Ben,adams_ben,7A,Year 7\", and one account cannot belong to two students.  If this "
           "is another student, type a different Individual Login Account and try again.";
    QTest::newRow("a device name") << "--surname"
                                   << "Aux.Ray"
                                   << "The student's folder name \"aux.ray_annamaria\" begins "
                                      "with \"aux\", which Windows takes for a device, never "
                                      "for a folder.  Please change it and try again.";
    const bool windows = QSysInfo::productType() == "windows";
    QTest::newRow("a surname of a megabyte")
        << "--surname" << QString(1 << 20, 'a')
        << QString("The student's folder name \"aaaaaaaaaaaaaaaaaaaa\u2026\" (1048586 characters) "
                   "is 1048586 %1 long, and %2 names of at most 255 %1.  Please shorten the "
                   "surname or the given name and try again.")
               .arg(windows ? "characters" : "bytes",
                    windows ? "Windows takes" : "the file system takes");
    QTest::newRow("blank") << "--given"
                           << " "
                           << "--given is blank: give the student's given name.";
    QTest::newRow("a direction control")
        << "--given" << QString::fromUtf8("Anna\u202Eiram")
        << "The Given or Preferred Name holds the character U+202E, a direction control, which "
           "makes the text look other than it is.  Please remove it and try again.";
}

void TestCommandLine::refusesWhatTheWindowRefuses()
{
    QFETCH(QString, option);
    QFETCH(QString, value);
    QFETCH(QString, refusal);
    QStringList arguments = add();
    const qsizetype at = arguments.indexOf(option);
    if (at < 0)
        arguments << option << value;
    else
        arguments[at + 1] = value;
    QCOMPARE(run(arguments << "--yes"), 3);
    QCOMPARE(m_err, "Not added: " + refusal + "\nNothing was changed.\n");
}

void TestCommandLine::asksBeforeAdding_data()
{
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<bool>("terminal");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");
    QTest::newRow("y") << QStringList{"y"} << true << 0 << "[y/N] Added Anna Maria Van der Berg";
    QTest::newRow("YES") << QStringList{" YES "} << true << 0 << "[y/N] Added";
    QTest::newRow("n") << QStringList{"n"} << true << 3 << "[y/N] Nothing was changed.\n";
    QTest::newRow("Enter") << QStringList{""} << true << 3 << "[y/N] Nothing was changed.\n";
    QTest::newRow("Ctrl-D is No") << QStringList{"^D"} << true << 3
                                  << "[y/N] \nNothing was changed.\n";
    QTest::newRow("no terminal")
        << QStringList{} << false << 3
        << "There is no terminal to ask on, so nothing was changed.  Run the command again with "
           "--yes to go ahead without being asked.";
}

void TestCommandLine::asksBeforeAdding()
{
    QFETCH(QStringList, typed);
    QFETCH(bool, terminal);
    QFETCH(int, status);
    QFETCH(QString, said);
    m_typed = typed;
    m_terminal = terminal;
    QCOMPARE(run(add()), status);
    QVERIFY(m_out.startsWith("Add this student?\n"
                             "  name:     Anna Maria Van der Berg\n"
                             "  year:     Year 7\n"
                             "  class:    7A\n"
                             "  account:  Van der Berg Anna Maria (no login account)\n"
                             "  folder:   "
                             + native("2026/Year 7/7A/vanderberg_annamaria") + "\n"));
    QVERIFY2((m_out + m_err).contains(said), qPrintable(m_out + m_err));
    QCOMPARE(QFileInfo::exists(m_intranet->path("2026/Year 7/7A/vanderberg_annamaria")),
             status == 0);
}

void TestCommandLine::aListWithBadRowsChangesNothing()
{
    const QString list = listFile("surname,given,year,class,login\n"
                                  "Quorrel,Dravin,Year 7,7A,\n"
                                  "Lee,\"Jo, Ann\",Year 7,7A,\n"
                                  "Kim,Bo,Year 7,7Z,\n"
                                  "Quorrel,Dravin,Year 7,7A,\n"
                                  "Short,Row\n"
                                  "Park,Min,Year 7,7B,\n"
                                  "Adams,Ben,Year 7,7A,badams\n"
                                  "Kim, ,Year 7,7B,\n");
    const auto before = tktest::snapshot(m_intranet->root());
    QCOMPARE(run({"add", "--from", list, "--intranet", m_intranet->root(), "--yes"}), 3);
    QCOMPARE(tktest::snapshot(m_intranet->root()), before);
    const QStringList lines = m_err.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.value(0),
             "The list cannot be added as it is: 6 of its 8 rows cannot go in.  "
             "Nothing was changed.");
    QVERIFY2(lines.value(1).startsWith("line 3: The Given or Preferred Name holds the comma"),
             qPrintable(m_err));
    QCOMPARE(lines.value(2),
             "line 4: There is no class \"7Z\" in " + native("2026/Year 7")
                 + ".  Its classes are: 7A, 7B.");
    QCOMPARE(lines.value(3),
             "line 5: This row repeats line 2, the same student in the same year and class: "
             "remove line 5 from the list.");
    QVERIFY(lines.value(4).startsWith("line 6: "));
    QCOMPARE(lines.value(5),
             "line 8: The register file tkshrtct.dat already names the folder "
                 + native("2026/Year 7/7A/adams_ben")
                 + ", in the line \"Adams Ben,adams_ben,7A,Year 7\" (account Adams Ben): this "
                   "student is there already.");
    QCOMPARE(lines.value(6), "line 9: The row's given name is blank: fill it in in the list.");
    QCOMPARE(lines.size(), 7);
}

void TestCommandLine::showsAtMostAScreenfulOfProblems()
{
    QByteArray csv = "surname,given,year,class\n";
    for (int i = 0; i < 1000; ++i)
        csv += "Lee" + QByteArray::number(i) + ",Jo,Year 7,7Z\n";
    QCOMPARE(run({"add", "--from", listFile(csv), "--intranet", m_intranet->root(), "--yes"}), 4);
    const QStringList lines = m_err.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 22);
    QCOMPARE(lines.last(), "... and 980 more rows like these (--report FILE lists every one).");
}

void TestCommandLine::previewsAndAddsAListInOrder()
{
    const QString list = listFile("surname,given,year,class,login\n"
                                  "Quorrel,Dravin,Year 7,7A,\n"
                                  "Abel,Mary Ann,Year 7,7B,mabel\n"
                                  "Adams,Ben,Year 7,7A,\n");
    tktest::writeFile(m_intranet->path("2026/Year 7/7A/adams_ben/index.htm"), "his own page");
    const auto before = tktest::snapshot(m_intranet->root());
    QCOMPARE(run({"add", "--from", list, "--intranet", m_intranet->root(), "--dry-run"}), 0);
    QCOMPARE(m_out,
             "line 2: Dravin Quorrel, Year 7, 7A, account Quorrel Dravin, folder "
                 + native("2026/Year 7/7A/quorrel_dravin")
                 + ": to add\n"
                   "line 3: Mary Ann Abel, Year 7, 7B, account mabel, folder "
                 + native("2026/Year 7/7B/abel_maryann")
                 + ": to add\n"
                   "line 4: Ben Adams, Year 7, 7A, account Adams Ben, folder "
                 + native("2026/Year 7/7A/adams_ben")
                 + ": skipped\n"
                   "3 students: 2 to add, 1 already added, 0 refused.  Nothing was changed "
                   "(--dry-run).\n");
    QCOMPARE(tktest::snapshot(m_intranet->root()), before);

    m_out.clear();
    m_typed = QStringList{"y"};
    QCOMPARE(run({"add", "--from", list, "--intranet", m_intranet->root()}), 0);
    QVERIFY2(m_out.contains("[y/N] [1/2] Dravin Quorrel (Year 7, 7A) ... done\n"
                            "[2/2] Mary Ann Abel (Year 7, 7B) ... done\n"
                            "Writing the register ... done\n"
                            "Added 2 students (1 already in the register was skipped).\n"),
             qPrintable(m_out));
    QCOMPARE(tktest::readFile(m_intranet->path("tkshrtct.dat")),
             QByteArray("Adams Ben,adams_ben,7A,Year 7\r\n"
                        "Lee Kim,lee_kim,7B,Year 7\r\n"
                        "mabel,abel_maryann,7B,Year 7\r\n"
                        "Quorrel Dravin,quorrel_dravin,7A,Year 7\r\n"
                        "zz9,zed_zoe,7A,Year 7\r\n"));
}

void TestCommandLine::writesAReportWhateverTheOutcome()
{
    const QString list = listFile("surname,given,year,class\n"
                                  "Quorrel,Dravin,Year 7,7A\n"
                                  "Abel,Mary,Year 7,7B\n"
                                  "Cole,Max,Year 7,7A\n");
    const QString report = m_intranet->path("report.csv");
    faults::failOn(SystemCall::Write, ENOSPC, "/writing/story.htm", 1);
    QCOMPARE(run({"add", "--from", list, "--intranet", m_intranet->root(), "--yes", "--report",
                  report}),
             5);
    const QString failed = "Write file failed for "
        + native("2026/Year 7/7B/abel_mary.~XXXXXX/writing/story.htm")
        + ": the disk or the quota is full (error 61).";
    QCOMPARE(tktest::withoutRandomPart(QString::fromUtf8(tktest::readFile(report))).split("\r\n"),
             QString(
                 "\xEF\xBB\xBFline,surname,given name,year,class,account,folder,outcome,message\r\n"
                 "2,Quorrel,Dravin,Year 7,7A,Quorrel Dravin,"
                 + native("2026/Year 7/7A/quorrel_dravin")
                 + ",added,\r\n"
                   "3,Abel,Mary,Year 7,7B,Abel Mary,"
                 + native("2026/Year 7/7B/abel_mary") + ",failed," + failed
                 + "\r\n"
                   "4,Cole,Max,Year 7,7A,Cole Max,"
                 + native("2026/Year 7/7A/cole_max") + ",not reached,\r\n")
                 .split("\r\n"));
}

// Whatever --report names is replaced, so it may name nothing the intranet or the list needs.
void TestCommandLine::refusesAReportThatWouldHarmTheIntranet_data()
{
    QTest::addColumn<QString>("report"); // in the intranet, but for the pipe
    QTest::addColumn<QString>("said"); // %1: the report, %2: the structure folder
    // name|what it is, the letter case aside: as the Windows share that many intranets are
    for (const QString file :
         {"tkshrtct.dat|the register file tkshrtct.dat",
          "reports/link.csv|the register file tkshrtct.dat",
          "TKSHRTCT.OLD|tkshrtct.old, the register as it was before its last change",
          "tkshrtct.new|tkshrtct.new, the register while it is being written",
          "tkshrtct.lck|tkshrtct.lck, the lock of the register",
          "tkshrtct.ini|the settings file tkshrtct.ini",
          "tkshrtct.jnl|tkshrtct.jnl, the note of the student folders a run is making"})
        QTest::newRow(qPrintable(file.section('|', 0, 0))) << file.section('|', 0, 0)
                                                           << "--report %1 names "
                + file.section('|', 1) + ", which the report would replace: name another file.";
    QTest::newRow("the list")
        << "list.csv"
        << "--report %1 names the list itself, which the report would replace: name another file.";
    const QString inside = "--report %1 is inside the structure folder %2, which holds the pages "
                           "and the students' folders: name a file outside it.";
    QTest::newRow("a class page") << "2026/Year 7/7A/index.htm" << inside;
    QTest::newRow("a new file in the structure") << "2026/report.csv" << inside;
    QTest::newRow("a folder") << "2026"
                              << "--report %1 names a folder: name a file.";
    QTest::newRow("a pipe") << "pipe"
                            << "--report %1 names something that is not a file (a device, a pipe "
                               "or a broken link): name a file.";
    QTest::newRow("a folder that is not there") << "no/such/report.csv"
                                                << "--report %1 cannot be made: the folder "
            + QDir::toNativeSeparators("%3/no/such") + " does not exist.";
    QTest::newRow("a file that cannot be made")
        << "report.csv"
        << "--report %1 cannot be made: access was refused, or the name exists already (error 75).";
}

void TestCommandLine::refusesAReportThatWouldHarmTheIntranet()
{
    QFETCH(QString, report);
    QFETCH(QString, said);
    const QString list = listFile("surname,given,year,class\nQuorrel,Dravin,Year 7,7A\n");
#ifdef Q_OS_LINUX
    QDir().mkpath(m_intranet->path("reports"));
    QFile::link("../tkshrtct.dat", m_intranet->path("reports/link.csv"));
#endif
    faults::failOn(SystemCall::Open, EACCES, ".report.csv.");
    const auto before = tktest::snapshot(m_intranet->root());
    // Outside the intranet, whose snapshot would wait on it; and never a
    // device of the system's own, which a fault would replace.
    const QTemporaryDir elsewhere;
    report = report == "pipe" ? elsewhere.filePath(report) : m_intranet->path(report);
#ifdef Q_OS_LINUX
    QCOMPARE(mkfifo(qPrintable(elsewhere.filePath("pipe")), 0600), 0);
#else
    if (report.endsWith("pipe") || report.endsWith("link.csv"))
        QSKIP("pipes and links are made on Linux here");
#endif
    QCOMPARE(run({"add", "--from", list, "--intranet", m_intranet->root(), "--dry-run", "--report",
                  report}),
             2);
    QCOMPARE(m_err,
             said.replace("%1", QDir::toNativeSeparators(report))
                     .replace("%2", native("2026"))
                     .replace("%3", QDir::toNativeSeparators(m_intranet->root()))
                 + "\nNothing was changed.\n");
    QCOMPARE(m_out, QString());
    QCOMPARE(tktest::snapshot(m_intranet->root()), before);
}

void TestCommandLine::takesAListFromStandardInput()
{
    m_standardInput = "surname,given,year,class\r\nQuorrel,Dravin,Year 7,7A\r\n";
    QCOMPARE(run({"add", "--from", "-", "--intranet", m_intranet->root(), "--yes"}), 0);
    QVERIFY(loadSite(m_intranet->root()).shortcuts.rows.size() == 4);
}

void TestCommandLine::asksOnARealTerminal_data()
{
    QTest::addColumn<QByteArray>("typed");
    QTest::addColumn<int>("status");
    QTest::newRow("y") << QByteArray("y\n") << 0;
    QTest::newRow("Enter means No") << QByteArray("\n") << 3;
    QTest::newRow("Ctrl-D means No") << QByteArray("\x04") << 3;
}

// The real program on a pseudo-terminal, as an operator at a shell sees it.
void TestCommandLine::asksOnARealTerminal()
{
#ifdef Q_OS_LINUX
    QFETCH(QByteArray, typed);
    QFETCH(int, status);
    const QByteArray program = QFile::encodeName(QStringLiteral(TK_CLI_PATH));
    const QByteArray intranet = QFile::encodeName(m_intranet->root());
    int terminal = -1;
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    QVERIFY(pid >= 0);
    if (pid == 0) {
        execl(program.constData(), program.constData(), "add", "--surname", "Lee", "--given", "Jo",
              "--year", "Year 7", "--class", "7A", "--intranet", intranet.constData(), nullptr);
        _exit(127);
    }
    QByteArray screen;
    char buffer[4096];
    while (!screen.contains("[y/N] ")) {
        const ssize_t got = read(terminal, buffer, sizeof buffer);
        QVERIFY2(got > 0, screen.constData());
        screen.append(buffer, got);
    }
    QCOMPARE(write(terminal, typed.constData(), typed.size()), ssize_t(typed.size()));
    while (read(terminal, buffer, sizeof buffer) > 0) { }
    int exitStatus = 0;
    QCOMPARE(waitpid(pid, &exitStatus, 0), pid);
    ::close(terminal);
    QVERIFY(screen.startsWith("Add this student?\r\n"));
    QCOMPARE(WEXITSTATUS(exitStatus), status);
    QCOMPARE(QFileInfo::exists(m_intranet->path("2026/Year 7/7A/lee_jo")), status == 0);
#else
    QSKIP("pseudo-terminals are a Linux test here");
#endif
}

void TestCommandLine::saysSoWhenThereIsNoDisplay()
{
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    QSKIP("a desktop always has a display");
#else
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(name);
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(TK_PROGRAM_PATH), {"--intranet", m_intranet->root()});
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitCode(), 2);
    QVERIFY(program.readAllStandardError().startsWith(
        "tkaddstudent: there is no display to open the window on.  Without a display, add "
        "students from the command line:\n"));
#endif
}

void TestCommandLine::aStoppedListIsFinishedByRunningItAgain_data()
{
    QTest::addColumn<int>("signal"); // 0: the output is closed, as by "| head"
#ifndef Q_OS_WIN
    QTest::newRow("Ctrl-C") << int(SIGINT);
    QTest::newRow("terminal closed") << int(SIGHUP);
    QTest::newRow("session ended") << int(SIGTERM);
    QTest::newRow("output closed") << 0;
#endif
}

// Stopped at a random student, a list of 200 registers exactly the students
// whose folders are complete, and the same command finishes it.
void TestCommandLine::aStoppedListIsFinishedByRunningItAgain()
{
#ifdef Q_OS_UNIX
    QFETCH(int, signal);
    QByteArray csv = "surname,given,year,class\n";
    for (int i = 0; i < 200; ++i)
        csv += QStringLiteral("Pupil%1,Kim,Year 7,7%2\n").arg(i).arg(QChar(u'A' + i % 2)).toUtf8();
    const QStringList arguments{"add",        "--from",           listFile(csv),
                                "--intranet", m_intranet->root(), "--yes"};
    const int stopAt = QRandomGenerator::global()->bounded(2, 150);
    QProcess program;
    QByteArray shown;
    if (!signal) {
        // Whoever reads the output stops reading after a few lines.
        program.start("bash",
                      QStringList{"-c",
                                  QStringLiteral("\"$@\" | head -n %1 >/dev/null; exit "
                                                 "${PIPESTATUS[0]}")
                                      .arg(stopAt + 30), // the question's lines first
                                  "stopped", TK_CLI_PATH}
                          + arguments);
    } else {
        program.start(QStringLiteral(TK_CLI_PATH), arguments);
        while (!shown.contains(QStringLiteral("[%1/200]").arg(stopAt).toLatin1())) {
            QVERIFY2(program.waitForReadyRead(10000), shown.right(200).constData());
            shown += program.readAllStandardOutput();
        }
        ::kill(static_cast<pid_t>(program.processId()), signal);
    }
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitCode(), 5);
    QVERIFY2(program.readAllStandardError().contains("Stopped on request: added "),
             shown.right(200).constData());
    const qsizetype registered = loadRegister(m_intranet->root()).rowCount();
    QVERIFY(registered > 3 && registered < 3 + 200);
    QCOMPARE(run(arguments), 0);
    QCOMPARE(loadRegister(m_intranet->root()).rowCount(), 3 + 200);
    for (const char* classFolder : {"2026/Year 7/7A", "2026/Year 7/7B"})
        QCOMPARE(QDir(m_intranet->path(classFolder)).entryList({"*.~*"}, QDir::Dirs),
                 QStringList());
    QVERIFY(!QFileInfo::exists(m_intranet->path("tkshrtct.jnl")));
#else
    QSKIP("needs POSIX signals");
#endif
}

void TestCommandLine::makeStudentFolders()
{
    for (const char* folder : {"7A/adams_ben", "7B/lee_kim", "7A/zed_zoe"})
        tktest::writeFile(m_intranet->path(QString("2026/Year 7/") + folder + "/index.htm"),
                          folder);
}

// The register afterwards, by the rows of the test intranet that stay, in order.
void TestCommandLine::removesAndMovesRegisteredStudents_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("setUp");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");
    QTest::addColumn<QByteArray>("registerAfter"); // empty: as before
    const QByteArray lee = "Lee Kim,lee_kim,7B,Year 7\r\n";
    QTest::newRow("remove by account, in another case")
        << QStringList{"remove", "--account", "aDAMS bEN"} << "" << 0
        << "Removed Adams Ben: moved the folder %A to %H and took the line \"Adams "
           "Ben,adams_ben,7A,Year 7\" out of %D.\n"
        << lee + "zz9,zed_zoe,7A,Year 7\r\n";
    QTest::newRow("remove a login by its folder")
        << QStringList{"remove", "--year", "year 7", "--class", "7a", "--folder", "ZED_ZOE"} << ""
        << 0 << "Removed zz9: moved the folder %Z to "
        << "Adams Ben,adams_ben,7A,Year 7\r\n" + lee;
    QTest::newRow("remove, the folder gone")
        << QStringList{"remove", "--account", "Adams Ben"} << "folder gone" << 0
        << "Removed Adams Ben: took the line \"Adams Ben,adams_ben,7A,Year 7\" out of %D.  Its "
           "folder %A was not there, so no folder was moved.\n"
        << lee + "zz9,zed_zoe,7A,Year 7\r\n";
    QTest::newRow("remove, not registered")
        << QStringList{"remove", "--account", "Adams"} << "" << 3
        << "Not removed: No line of the register %D names the account \"Adams\".\n"
           "Nothing was changed.\n"
        << QByteArray();
    QTest::newRow("remove a student a stopped run was adding, --dry-run")
        << QStringList{"remove", "--account", "Lee Jo", "--dry-run"} << "stopped add" << 3
        << "Not removed: No line of the register %D names the account \"Lee Jo\".\nAn earlier "
           "run was stopped part way, and finishing it may change this."
        << QByteArray();
    QTest::newRow("remove, the lock held")
        << QStringList{"remove", "--account", "zz9"} << "locked" << 6
        << "Not removed: Another copy of tkaddstudent is changing the register" << QByteArray();
    QTest::newRow("remove, the disk full")
        << QStringList{"remove", "--account", "zz9"} << "disk full" << 6
        << "Not removed: Write file failed for %N: the disk or the quota is full (error 61).\n"
           "Nothing was changed.\n"
        << QByteArray();
    QTest::newRow("move a login, in another case")
        << QStringList{"move", "--account", "ZZ9", "--to-class", "7B"} << "" << 0
        << "Moved zz9: moved the folder %Z to %B and changed the line in %D to \"zz9,zed_zoe,7B,"
           "Year 7\".  The home page is as it was.\n"
        << "Adams Ben,adams_ben,7A,Year 7\r\n" + lee + "zz9,zed_zoe,7B,Year 7\r\n";
    QTest::newRow("move, no such class")
        << QStringList{"move", "--account", "Adams Ben", "--to-class", "7Z"} << "" << 4
        << "Not moved: There is no class \"7Z\" in %Y.  Its classes are: 7A, 7B.\n"
           "Nothing was changed.\n"
        << QByteArray();
    QTest::newRow("move, a folder in the way")
        << QStringList{"move", "--account", "Adams Ben", "--to-class", "7B"} << "in the way" << 6
        << "Not moved: The folder %T exists already: it may hold a student's work." << QByteArray();
    QTest::newRow("move, to a class the register has no room for")
        << QStringList{"move", "--account", "Adams Ben", "--to-class", "7C"} << "100 classes" << 3
        << "Not moved: The register %D would then hold more than 1500 students, 100 years or 100 "
           "classes, the most that this utility can read back.\nNothing was changed.\n"
        << QByteArray();
    QTest::newRow("move, not registered")
        << QStringList{"move",     "--year",    "Year 7",     "--class", "7B",
                       "--folder", "adams_ben", "--to-class", "7A"}
        << "" << 3
        << "Not moved: No line of the register %D names the folder \"adams_ben\" in "
           "Year 7, 7B.\n"
        << QByteArray();
}

void TestCommandLine::removesAndMovesRegisteredStudents()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, setUp);
    QFETCH(int, status);
    QFETCH(QString, said);
    QFETCH(QByteArray, registerAfter);
    makeStudentFolders();
    if (setUp == "folder gone")
        QDir(m_intranet->path("2026/Year 7/7A/adams_ben")).removeRecursively();
    if (setUp == "locked")
        tktest::writeFile(m_intranet->path("tkshrtct.lck"), "another copy");
    if (setUp == "disk full")
        faults::failOn(SystemCall::Write, ENOSPC, "tkshrtct.new");
    if (setUp == "in the way")
        QDir().mkpath(m_intranet->path("2026/Year 7/7B/adams_ben"));
    if (setUp == "100 classes") {
        QByteArray rows = tktest::readFile(m_intranet->path("tkshrtct.dat"));
        for (int i = 0; i < 98; ++i)
            rows += QByteArray("Pupil ") + QByteArray::number(i) + ",pupil_" + QByteArray::number(i)
                + ",C" + QByteArray::number(i) + ",Year 7\r\n";
        tktest::writeFile(m_intranet->path("tkshrtct.dat"), rows);
        QDir().mkpath(m_intranet->path("2026/Year 7/7C"));
    }
    if (setUp == "stopped add") { // its folder in place, its line not yet written
        tktest::writeFile(m_intranet->path("2026/Year 7/7B/lee_jo/index.htm"), "Jo Lee");
        tktest::writeFile(m_intranet->path("tkshrtct.jnl"),
                          "lee_jo.~k3f9z1,Lee Jo,lee_jo,7B,Year 7\r\n");
    }
    auto before = tktest::snapshot(m_intranet->root());

    QCOMPARE(run(arguments << "--intranet" << m_intranet->root() << "--yes"), status);

    const QStringList held = QDir(m_intranet->path("removed"))
                                 .entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    said.replace("%A", native("2026/Year 7/7A/adams_ben"))
        .replace("%Z", native("2026/Year 7/7A/zed_zoe"))
        .replace("%B", native("2026/Year 7/7B/zed_zoe"))
        .replace("%T", native("2026/Year 7/7B/adams_ben"))
        .replace("%H", native("removed/" + held.value(0)))
        .replace("%D", native("tkshrtct.dat"))
        .replace("%N", native("tkshrtct.new"))
        .replace("%Y", native("2026/Year 7"));
    QVERIFY2((m_out + m_err).contains(said), qPrintable(m_out + m_err));
    if (setUp == "folder gone") // nothing to hold, so no holding folder
        QVERIFY(!QFileInfo::exists(m_intranet->path("removed")));
    if (registerAfter.isEmpty()) {
        auto after = tktest::snapshot(m_intranet->root());
        // The held lock is another copy's; a new register that could not be
        // written is never read.
        for (const char* name : {"tkshrtct.lck", "tkshrtct.new"}) {
            after.remove(name);
            before.remove(name);
        }
        QCOMPARE(after, before);
    } else {
        QCOMPARE(tktest::readFile(m_intranet->path("tkshrtct.dat")), registerAfter);
        QCOMPARE(tktest::readFile(m_intranet->path("tkshrtct.old")), before["tkshrtct.dat"]);
    }
}

// 7A and 7B before and after, with tkaddstudent.ini asking for links.
void TestCommandLine::movesTheClassPageLinks_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArrayList>("pages"); // 7A, 7B
    QTest::addColumn<QString>("said");
    QTest::addColumn<QByteArrayList>("pagesAfter"); // empty: as before
    const auto page = [](const QByteArray& items) { return "<ul>\r\n" + items + "</ul>\r\n"; };
    const QByteArray adams = "  <li><a href=\"adams_ben/index.htm\">Ben Adams</a></li>\r\n";
    const QByteArray lee = "  <li><a href=\"lee_kim/index.htm\">Kim Lee</a></li>\r\n";
    const QByteArray zed = "  <li><a href=\"zed_zoe/index.htm\">Zoe Zed</a></li>\r\n";
    const QByteArrayList both{page(adams + zed), page(lee)};
    QTest::newRow("remove, the page links the student")
        << QStringList{"remove", "--account", "adams ben"} << both
        << "Class page %7A: took out the link to Ben Adams.\n"
        << QByteArrayList{page(zed), page(lee)};
    QTest::newRow("remove, the page does not link the student")
        << QStringList{"remove", "--account", "Lee Kim"} << QByteArrayList{page(zed), page(adams)}
        << "Class page %7B: did not take out a link to Kim Lee (it does not link the student's "
           "folder).\n"
        << QByteArrayList();
    QTest::newRow("remove, --no-link")
        << QStringList{"remove", "--account", "zz9", "--no-link"} << both << "" << QByteArrayList();
    QTest::newRow("move, in its sorted place")
        << QStringList{"move", "--account", "ZZ9", "--to-class", "7B"} << both
        << "Class page %7A: took out the link to Zoe Zed.\nClass page %7B: linked Zoe Zed.\n"
        << QByteArrayList{page(adams), page(lee + zed)};
    QTest::newRow("move, --dry-run")
        << QStringList{"move", "--account", "zz9", "--to-class", "7B", "--dry-run"} << both
        << "Class page %7A: will take out the link to Zoe Zed.\nClass page %7B: will link Zoe "
           "Zed.\n--dry-run: nothing was changed.\n"
        << QByteArrayList();
    QTest::newRow("move, a page with no list")
        << QStringList{"move", "--account", "zz9", "--to-class", "7B"}
        << QByteArrayList{page(zed), "<p>7B</p>"}
        << "Class page %7B: did not link Zoe Zed (it has no list of links to its students' "
           "folders).\n  add by hand: <li><a href=\"zed_zoe/index.htm\">Zoe Zed</a></li>\n"
        << QByteArrayList{page(""), "<p>7B</p>"};
    const QByteArray ng = "  <li><a href=\"ng_al/index.htm\">Al Ng</a></li>\r\n";
    QTest::newRow("restore")
        << QStringList{"restore",         "--held",        "2026-12-09 10-30-00 ng_al",
                       "--account=Ng Al", "--year=Year 7", "--class=7A"}
        << both << "Class page %7A: linked Al Ng.\n"
        << QByteArrayList{page(adams + ng + zed), page(lee)};
    QTest::newRow("restore, the held name pasted with blanks around it")
        << QStringList{"restore",         "--held",        " 2026-12-09 10-30-00 ng_al  ",
                       "--account=Ng Al", "--year=Year 7", "--class=7A"}
        << both << "Class page %7A: linked Al Ng.\n"
        << QByteArrayList{page(adams + ng + zed), page(lee)};
}

void TestCommandLine::movesTheClassPageLinks()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArrayList, pages);
    QFETCH(QString, said);
    QFETCH(QByteArrayList, pagesAfter);
    makeStudentFolders();
    QDir().mkpath(m_intranet->path("removed/2026-12-09 10-30-00 ng_al"));
    tktest::writeFile(m_intranet->path("tkaddstudent.ini"), "[class pages]\r\nlink=yes\r\n");
    const QStringList paths{"2026/Year 7/7A/index.htm", "2026/Year 7/7B/index.htm"};
    for (qsizetype i = 0; i < 2; ++i)
        tktest::writeFile(m_intranet->path(paths[i]), pages[i]);

    QCOMPARE(run(arguments << "--intranet" << m_intranet->root() << "--yes"), 0);

    said.replace("%7A", native(paths[0])).replace("%7B", native(paths[1]));
    QVERIFY2(said.isEmpty() ? !m_out.contains("Class page") : m_out.contains(said),
             qPrintable(m_out + m_err));
    for (qsizetype i = 0; i < 2; ++i)
        QCOMPARE(tktest::readFile(m_intranet->path(paths[i])), pagesAfter.value(i, pages[i]));
}

void TestCommandLine::undoesWhatItPrints_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("remove") << QStringList{"remove", "--account", "adams ben"};
    QTest::newRow("move to another class")
        << QStringList{"move",     "--year",  "Year 7",     "--class", "7B",
                       "--folder", "lee_kim", "--to-class", "7A"};
}

// The printed command, pasted, puts everything back as it was.
void TestCommandLine::undoesWhatItPrints()
{
    QFETCH(QStringList, arguments);
    makeStudentFolders();
    const auto before = tktest::snapshot(m_intranet->path("2026"));
    const QByteArray registerBefore = tktest::readFile(m_intranet->path("tkshrtct.dat"));
    QCOMPARE(run(arguments << "--intranet" << m_intranet->root() << "--yes"), 0);
    const QString undo = m_out.section("To undo it:\n  tkaddstudent-cli ", 1).section('\n', 0, 0);
    QStringList words = QProcess::splitCommand(undo);
    QVERIFY2(words.size() > 2, qPrintable(m_out));
    m_out.clear();
    QCOMPARE(run(words << "--yes"), 0);
    QCOMPARE(tktest::readFile(m_intranet->path("tkshrtct.dat")), registerBefore);
    QCOMPARE(tktest::snapshot(m_intranet->path("2026")), before);
    QVERIFY2(m_out.contains("To undo it:\n  tkaddstudent-cli " + arguments.first()),
             qPrintable(m_out));
}

void TestCommandLine::logsEveryChange_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("setUp");
    QTest::addColumn<QStringList>("lines"); // the action, account and folders of each new line
    QTest::newRow("add") << QStringList{"add",     "--surname",  "Van der Berg",
                                        "--given", "Anna Maria", "--year",
                                        "Year 7",  "--class",    "7A"}
                         << ""
                         << QStringList{"add,Van der Berg Anna Maria,2026/Year 7/7A/"
                                        "vanderberg_annamaria,"};
    QTest::newRow("a list of two")
        << QStringList{"add", "--from", "list"} << ""
        << QStringList{"add,Quorrel Dravin,2026/Year 7/7A/quorrel_dravin,",
                       "add,mabel,2026/Year 7/7B/abel_mary,"};
    QTest::newRow("remove") << QStringList{"remove", "--account", "ZZ9"} << ""
                            << QStringList{"remove,zz9,removed/%S zed_zoe,2026/Year 7/7A/zed_zoe"};
    QTest::newRow("move") << QStringList{"move", "--account", "lee kim", "--to-class", "7A"} << ""
                          << QStringList{
                                 "move,Lee Kim,2026/Year 7/7A/lee_kim,2026/Year 7/7B/lee_kim"};
    QTest::newRow("the log cannot be written")
        << QStringList{"remove", "--account", "ZZ9"} << "log fails" << QStringList{};
}

// One line a change, after a header; a change stands when its line cannot be written.
void TestCommandLine::logsEveryChange()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, setUp);
    QFETCH(QStringList, lines);
    makeStudentFolders();
    QCoreApplication::setApplicationVersion("9.8.7");
    tktest::writeFile(m_intranet->path("tkaddstudent-log.csv"),
                      "time,login,computer,version,"
                      "action,account,folder,old "
                      "folder\r\nearlier\r\n");
    if (arguments.contains("list"))
        arguments.replace(2,
                          listFile("surname,given,year,class,login\nQuorrel,Dravin,Year 7,7A,"
                                   "\nAbel,Mary,Year 7,7B,mabel\n"));
    if (setUp == "log fails")
        faults::failOn(SystemCall::Open, EACCES, "tkaddstudent-log.new");
    QCOMPARE(run(arguments << "--intranet" << m_intranet->root() << "--yes"), 0);
    const QStringList log = QString::fromUtf8(
                                tktest::readFile(m_intranet->path("tkaddstudent-log.csv")))
                                .split("\r\n", Qt::SkipEmptyParts)
                                .mid(2);
    QCOMPARE(log.size(), lines.size());
    const QRegularExpression line(
        "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d(Z|[+-]\\d\\d:\\d\\d),[^,]*,[^,]+,9.8.7,(.*)$");
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QRegularExpressionMatch match = line.match(log[i]);
        QVERIFY2(match.hasMatch(), qPrintable(log[i]));
        QCOMPARE(match.captured(2).replace(
                     QRegularExpression("\\d{4}-\\d\\d-\\d\\d \\d\\d-\\d\\d-\\d\\d"), "%S"),
                 lines[i]);
    }
    if (setUp == "log fails") {
        QVERIFY2(m_err.startsWith("The change is made, but it could not be written to the log: "
                                  "Open file for writing failed for "
                                  + native("tkaddstudent-log.new")),
                 qPrintable(m_err));
        QVERIFY(!QFileInfo::exists(m_intranet->path("2026/Year 7/7A/zed_zoe")));
    }
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "TestCommandLine.moc"
