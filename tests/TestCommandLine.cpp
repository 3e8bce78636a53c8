#include "TestSupport.h"

#include "app/CommandLine.h"
#include "create/StudentList.h"
#include "platform/FaultInjection.h"
#include "platform/FileServices.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <cerrno>
#ifdef Q_OS_LINUX
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace tk;
using tktest::Intranet;

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { faults::clear(); }
    void parsesTheCommandLine_data();
    void parsesTheCommandLine();
    void addsOneStudentWithTheWindowsChecks_data();
    void addsOneStudentWithTheWindowsChecks();
    void readsListsAsSpreadsheetsWriteThem_data();
    void readsListsAsSpreadsheetsWriteThem();
    void aListWithBadRowsChangesNothing();
    void addsAListInOrderWithProgress();
    void aListThatFailsPartWayRegistersExactlyTheAddedOnes();
    void aListWhoseRegisterCannotBeWrittenAddsNobody();
    void asksOnARealTerminal_data();
    void asksOnARealTerminal();

private:
    int run(const QStringList& arguments, std::optional<QString> answer = std::nullopt);
    QString listFile(const QByteArray& csv);

    std::unique_ptr<Intranet> m_intranet;
    QString m_out;
    QString m_err;
};

void TestCommandLine::init()
{
    m_intranet = std::make_unique<Intranet>();
    m_out.clear();
    m_err.clear();
}

int TestCommandLine::run(const QStringList& arguments, std::optional<QString> answer)
{
    const Console console{[this](const QString& text) { m_out += text; },
                          [this](const QString& text) { m_err += text; },
                          [answer] { return answer; }};
    return runCommandLine(QStringList{"tkaddstudent"} + arguments, console);
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
    QTest::newRow("help") << QStringList{"--help"} << 0
                          << "tkaddstudent add --from FILE [--dry-run]";
    QTest::newRow("version") << QStringList{"--version"} << 0 << "tkaddstudent 2.0.0.0\n";
    QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << "Unknown option 'bogus'.";
    QTest::newRow("no command") << QStringList{"--yes"} << 2
                                << "Say what to do: tkaddstudent add ...";
    QTest::newRow("missing given name")
        << QStringList{"add", "--surname", "Lee", "--year", "Year 7", "--class", "7A"} << 2
        << "Missing --given.";
    QTest::newRow("list and a name")
        << QStringList{"add", "--from", "x.csv", "--surname", "Lee"} << 2
        << "--from takes the students from the list: leave out --surname.";
    QTest::newRow("dry run of one") << QStringList{"add", "--surname", "Lee", "--dry-run"} << 2
                                    << "--dry-run goes with --from.";
}

void TestCommandLine::parsesTheCommandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, said);
    QCOMPARE(run(arguments), status);
    QVERIFY2((status == 0 ? m_out : m_err).contains(said), qPrintable(m_out + m_err));
}

void TestCommandLine::addsOneStudentWithTheWindowsChecks_data()
{
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("setUp");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");
    QTest::newRow("yes")
        << QStringList{"--yes"} << "7A"
        << "" << 0
        << "Success\nAn Ilvantis folder structure for Anna Maria Van der Berg has been created";
    QTest::newRow("answered y") << QStringList{} << "7A"
                                << "answer y" << 0 << "[y/N] Success\n";
    QTest::newRow("answered n") << QStringList{} << "7A"
                                << "answer n" << 3 << "";
    QTest::newRow("no terminal") << QStringList{} << "7A"
                                 << "" << 3
                                 << "There is no terminal to ask on, so nothing was done.  Run "
                                    "again with --yes to answer Yes.";
    QTest::newRow("refused") << QStringList{"--yes", "--login", "a,b"} << "7A"
                             << "" << 3
                             << "Cannot create\nThe Individual Login Account holds the comma";
    QTest::newRow("no such class") << QStringList{"--yes"} << "7Z"
                                   << "" << 4 << "Invalid path\n";
    QTest::newRow("damaged class page") << QStringList{"--yes"} << "7A"
                                        << "short class page" << 4 << "Possible concern\n";
    QTest::newRow("folder exists") << QStringList{"--yes"} << "7A"
                                   << "folder exists" << 6 << "Problem!\n";
    QTest::newRow("register in use") << QStringList{"--yes"} << "7A"
                                     << "locked" << 6 << "Another copy of this utility";
    QTest::newRow("failure after the folder") << QStringList{"--yes"} << "7A"
                                              << "disk full" << 5 << "A serious error (code=61)";
    QTest::newRow("no settings") << QStringList{"--yes"} << "7A"
                                 << "no settings" << 1 << "The settings file could not be found.";
}

void TestCommandLine::addsOneStudentWithTheWindowsChecks()
{
    QFETCH(QStringList, extra);
    QFETCH(QString, className);
    QFETCH(QString, setUp);
    QFETCH(int, status);
    QFETCH(QString, said);
    std::optional<QString> answer;
    if (setUp.startsWith("answer"))
        answer = setUp.right(1);
    if (setUp == "short class page")
        tktest::writeFile(m_intranet->path("2026/Year 7/7A/index.htm"), tktest::pageOfSize(10));
    if (setUp == "folder exists")
        QDir().mkpath(m_intranet->path("2026/Year 7/7A/vanderberg_annamaria"));
    if (setUp == "locked")
        tktest::writeFile(m_intranet->path("tkshrtct.lck"), "another copy");
    if (setUp == "disk full")
        faults::failOn(FileOp::Write, ENOSPC, 2); // the lock and the first template file go
    if (setUp == "no settings")
        QFile::remove(m_intranet->path("tkshrtct.ini"));
    const QByteArray registerBefore = tktest::readFile(m_intranet->path("tkshrtct.dat"));

    QCOMPARE(run(QStringList{"add", "--surname", " Van der Berg", "--given", "Anna Maria ",
                             "--year", "Year 7", "--class", className, "--intranet",
                             m_intranet->root()}
                     + extra,
                 answer),
             status);

    QVERIFY(m_out.startsWith("Please Verify\n") || status != 0);
    QVERIFY2((m_out + m_err).contains(said), qPrintable(m_out + m_err));
    const QByteArray registerAfter = tktest::readFile(m_intranet->path("tkshrtct.dat"));
    QCOMPARE(registerAfter.contains("vanderberg_annamaria"), status == 0);
    if (status != 0)
        QCOMPARE(registerAfter, registerBefore);
}

void TestCommandLine::readsListsAsSpreadsheetsWriteThem_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QStringList>("students"); // line: surname|given|login|year|class
    QTest::newRow("columns in any order and case")
        << QByteArray("Class,YEAR,Given,Surname,extra\r\n7A,Year 7,Jo,Lee,x\r\n")
        << QStringList{"2: Lee|Jo||Year 7|7A"};
    QTest::newRow("quotes, doubled quotes and a line break")
        << QByteArray(
               "surname,given,year,class,login\n\"Lee, \"\"Jr\"\"\",\"Jo\nAnn\",Year 7,7A,jl\n"
               "Kim,Bo,Year 7,7B,\n")
        << QStringList{"2: Lee, \"Jr\"|Jo\nAnn|jl|Year 7|7A", "4: Kim|Bo||Year 7|7B"};
    QTest::newRow("semicolons, BOM, blank lines")
        << QByteArray(
               "\xEF\xBB\xBFsurname;given;year;class\r\n\r\nM\xC3\xBCller;Zo\xC3\xAB;Year 7;7A\r\n")
        << QStringList{QString::fromUtf8("3: Müller|Zoë||Year 7|7A")};
    QTest::newRow("code page, not UTF-8")
        << QByteArray("surname,given,year,class\nM\xFCller,Jo,Year 7,7A\n")
        << QStringList{"2: " + QString::fromLocal8Bit("M\xFCller") + "|Jo||Year 7|7A"};
}

void TestCommandLine::readsListsAsSpreadsheetsWriteThem()
{
    QFETCH(QByteArray, csv);
    QFETCH(QStringList, students);
    const StudentList list = readStudentList(csv);
    QVERIFY(list.problems.isEmpty());
    QStringList read;
    for (const ListedStudent& s : list.students)
        read << QStringLiteral("%1: %2|%3|%4|%5|%6")
                    .arg(QString::number(s.line), s.inputs.surname, s.inputs.givenName,
                         s.inputs.loginAccount, s.inputs.year, s.inputs.className);
    QCOMPARE(read, students);
}

void TestCommandLine::aListWithBadRowsChangesNothing()
{
    const QString list = listFile("surname,given,year,class\n"
                                  "Quorrel,Dravin,Year 7,7A\n"
                                  "Lee,\"Jo, Ann\",Year 7,7A\n"
                                  "Kim,Bo,Year 7,7Z\n"
                                  "Quorrel,Dravin,Year 7,7A\n"
                                  "Short,Row\n"
                                  "Park,Min,Year 7,7B\n");
    const auto before = tktest::snapshot(m_intranet->root());
    QCOMPARE(run({"add", "--from", list, "--intranet", m_intranet->root(), "--yes"}), 3);
    QCOMPARE(tktest::snapshot(m_intranet->root()), before);
    const QStringList lines = m_err.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.value(0), "Cannot add the list: nothing was changed.");
    QVERIFY(lines.value(1).startsWith("line 3: The Given or Preferred Name holds the comma"));
    QVERIFY(lines.value(2).startsWith("line 4: The combination of your selected year and class"));
    QVERIFY(lines.value(3).startsWith("line 5: The student's folder "));
    QVERIFY(lines.value(3).endsWith(" is the same as that of the student on line 2."));
    QCOMPARE(lines.value(4), "line 6: The row has 2 fields; the header has 4.");
    QCOMPARE(lines.size(), 5);

    // The limits count the rows still to come: two new classes where one is left.
    QByteArray full;
    for (int i = 0; i < 99; ++i)
        full += "S" + QByteArray::number(i) + ",f,C" + QByteArray::number(i) + ",Year 7\r\n";
    m_intranet->writeRegister(full);
    QDir().mkpath(m_intranet->path("2026/Year 7/C100"));
    tktest::writeFile(m_intranet->path("2026/Year 7/C100/index.htm"), tktest::pageOfSize(200));
    tktest::writeFile(m_intranet->path("2026/Year 7/C101/index.htm"), tktest::pageOfSize(200));
    m_err.clear();
    QCOMPARE(run({"add", "--from",
                  listFile("surname,given,year,class\nA,B,Year 7,C100\nC,D,Year 7,C101\n"),
                  "--intranet", m_intranet->root(), "--dry-run"}),
             3);
    QVERIFY2(m_err.contains(
                 "line 3: The register file tkshrtct.dat already names 100 different classes"),
             qPrintable(m_err));
}

void TestCommandLine::addsAListInOrderWithProgress()
{
    const QString list = listFile("surname,given,year,class,login\n"
                                  "Quorrel,Dravin,Year 7,7A,\n"
                                  "Abel,Mary Ann,Year 7,7B,mabel\n");
    const auto before = tktest::snapshot(m_intranet->root());
    QCOMPARE(run({"add", "--from", list, "--intranet", m_intranet->root(), "--dry-run"}), 0);
    QCOMPARE(m_out, "All 2 students can be added.  Nothing was changed (--dry-run).\n");
    QCOMPARE(tktest::snapshot(m_intranet->root()), before);

    m_out.clear();
    QCOMPARE(run({"add", "--from", list, "--intranet", m_intranet->root()}, QString("y")), 0);
    QVERIFY2(m_out.endsWith(
                 "[y/N] [1/2] Making the folder of Dravin Quorrel (Year 7, 7A) ... done\n"
                 "[2/2] Making the folder of Mary Ann Abel (Year 7, 7B) ... done\n"
                 "Adding 2 students to the register ... done\n"
                 "All 2 students were added.  You must now edit the Class Page of "
                 "each of their classes to add a link to their new webpages.\n"),
             qPrintable(m_out));
    QCOMPARE(tktest::readFile(m_intranet->path("tkshrtct.dat")),
             QByteArray("Adams Ben,adams_ben,7A,Year 7\r\n"
                        "Lee Kim,lee_kim,7B,Year 7\r\n"
                        "mabel,abel_maryann,7B,Year 7\r\n"
                        "Quorrel Dravin,quorrel_dravin,7A,Year 7\r\n"
                        "zz9,zed_zoe,7A,Year 7\r\n"));
    QVERIFY(tktest::readFile(m_intranet->path("2026/Year 7/7B/abel_maryann/index.htm"))
                .contains("Mary Ann Abel"));
    QVERIFY(!QFile::exists(m_intranet->path("tkshrtct.lck")));
}

void TestCommandLine::aListThatFailsPartWayRegistersExactlyTheAddedOnes()
{
    const QString list = listFile("surname,given,year,class\n"
                                  "Quorrel,Dravin,Year 7,7A\n"
                                  "Abel,Mary,Year 7,7B\n"
                                  "Cole,Max,Year 7,7A\n");
    // Each student makes its own folder and the template's three: fail the third student's own.
    faults::failOn(FileOp::MakeFolder, ENOSPC, 2 * 4);
    QCOMPARE(run({"add", "--from", list, "--intranet", m_intranet->root(), "--yes"}), 5);
    QStringList folders;
    for (const RegisterRecord& row : m_intranet->load().shortcuts.rows)
        folders << row.folderName;
    QCOMPARE(folders,
             (QStringList{"abel_mary", "adams_ben", "lee_kim", "quorrel_dravin", "zed_zoe"}));
    QVERIFY(!QFile::exists(m_intranet->path("2026/Year 7/7A/cole_max")));
    QVERIFY2(m_err.contains(
                 "failed\nSomething's wrong!\nA serious error (code=61) has occurred.  "),
             qPrintable(m_err));
    QVERIFY(m_err.contains("Added (2): Dravin Quorrel (Year 7, 7A); Mary Abel (Year 7, 7B)\n"
                           "Not added (1): Max Cole (Year 7, 7A)\n"));
    QVERIFY(!QFile::exists(m_intranet->path("tkshrtct.lck")));
}

void TestCommandLine::aListWhoseRegisterCannotBeWrittenAddsNobody()
{
    const QString list = listFile("surname,given,year,class\nQuorrel,Dravin,Year 7,7A\n");
    const QByteArray registerBefore = tktest::readFile(m_intranet->path("tkshrtct.dat"));
    faults::failOn(FileOp::Rename, EACCES, 1); // the home page's rename goes, the register's not
    QCOMPARE(run({"add", "--from", list, "--intranet", m_intranet->root(), "--yes"}), 5);
    QCOMPARE(tktest::readFile(m_intranet->path("tkshrtct.dat")), registerBefore);
    QVERIFY2(m_err.contains(
                 "Added (0): \nNot added (1): Dravin Quorrel (Year 7, 7A)\n"
                 "These folders were made but are not in the register: remove them "
                 "before you add their students again.\n"
                 + QDir::toNativeSeparators(m_intranet->path("2026/Year 7/7A/quorrel_dravin"))),
             qPrintable(m_err));
}

void TestCommandLine::asksOnARealTerminal_data()
{
    QTest::addColumn<QByteArray>("typed");
    QTest::addColumn<int>("status");
    QTest::newRow("y") << QByteArray("y\n") << 0;
    QTest::newRow("Enter means No") << QByteArray("\n") << 3;
}

// The real program on a pseudo-terminal, as an operator at a shell sees it.
void TestCommandLine::asksOnARealTerminal()
{
#ifdef Q_OS_LINUX
    QFETCH(QByteArray, typed);
    QFETCH(int, status);
    const QByteArray program = QFile::encodeName(QStringLiteral(TK_PROGRAM_PATH));
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
    QVERIFY(screen.startsWith("Please Verify\r\n"));
    QCOMPARE(WEXITSTATUS(exitStatus), status);
    QCOMPARE(QFileInfo::exists(m_intranet->path("2026/Year 7/7A/lee_jo")), status == 0);
#else
    QSKIP("pseudo-terminals are a Linux test here");
#endif
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "TestCommandLine.moc"
