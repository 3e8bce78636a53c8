#include "TestSupport.h"

#include "FaultInjection.h"
#include "enrol/Enrolment.h"
#include "enrol/Relocation.h"
#include "platform/FileServices.h"
#include "register/RegisterLock.h"
#include "register/RegisterReader.h"
#include "register/RegisterWriter.h"
#include "register/SiteFiles.h"

#include <QFile>
#include <QRegularExpression>
#include <QtTest>

#include <chrono>
#include <cstdio>
#include <functional>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace tk;
using tktest::Intranet;

// The operator may kill the program, or the power may fail, between any two
// system calls. Each test runs the work in a child process that kills itself
// with SIGKILL at its first file-service call, then at its second, and so on
// until a run gets to the end, and checks after every kill that the intranet
// is as the next start-up and the next student need it.
class TestCrashSafety : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void aKilledRegisterUpdateLeavesACompleteRegister();
    void aKilledEnrolmentIsFinishedByTheNextRun_data();
    void aKilledEnrolmentIsFinishedByTheNextRun();
    void aKilledRemovalOrMoveIsFinishedByTheNextRun_data();
    void aKilledRemovalOrMoveIsFinishedByTheNextRun();
};

namespace {

// Far more system calls than either scenario makes: a run that is still
// being killed here has started to loop.
constexpr int mostSteps = 5000;

const QByteArray oldRegister = "Adams Ben,adams_ben,7A,Year 7\r\n"
                               "Lee Kim,lee_kim,7B,Year 7\r\n"
                               "zz9,zed_zoe,7A,Year 7\r\n";

const QStringList registerFiles{"tkshrtct.dat", "tkshrtct.old", "tkshrtct.new", "tkshrtct.lck"};

enum class ChildEnd { Killed, Completed, Failed };

QByteArray classPage(const QByteArray& items)
{
    return "<html><body><h1>A class of Year 7</h1>\r\n<ul>\r\n" + items
        + "</ul>\r\n</body></html>\r\n";
}

using Kind = RelocationRequest::Kind;
const QByteArray adamsItem = "  <li><a href=\"adams_ben/index.htm\">Ben Adams</a></li>\r\n";
const QByteArray leeItem = "  <li><a href=\"lee_kim/index.htm\">Kim Lee</a></li>\r\n";
const QByteArray zedItem = "  <li><a href=\"zed_zoe/index.htm\">Zoe Zed</a></li>\r\n";
const QByteArray leePage = classPage(leeItem);

#ifdef Q_OS_UNIX
// The child leaves through _exit or SIGKILL only, so that neither Qt Test's
// end of run nor the temporary folder's destructor happens in it as well.
ChildEnd runKilledAtCall(int n, const std::function<bool()>& work, QString* what)
{
    std::fflush(nullptr); // what the parent had buffered would be written twice
    const pid_t pid = fork();
    if (pid < 0) {
        *what = QStringLiteral("fork failed");
        return ChildEnd::Failed;
    }
    if (pid == 0) {
        faults::clear();
        faults::killAtCall(n);
        bool completed = false;
        try {
            completed = work();
        } catch (...) {
            completed = false;
        }
        _exit(completed ? 0 : 1);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) {
        *what = QStringLiteral("waitpid failed");
        return ChildEnd::Failed;
    }
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
        return ChildEnd::Killed;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return ChildEnd::Completed;
    *what = WIFSIGNALED(status) ? QStringLiteral("child ended by signal %1").arg(WTERMSIG(status))
                                : QStringLiteral("child exited with %1").arg(WEXITSTATUS(status));
    return ChildEnd::Failed;
}

// Everything except what a run may change: the register's files, the lock
// (and a lock that a killed copy was making, which nothing reads), and
// whatever lies inside `studentFolder` (relative to the root).
QMap<QString, QByteArray> outside(QMap<QString, QByteArray> entries, const QString& studentFolder)
{
    for (auto it = entries.begin(); it != entries.end();) {
        const bool mayChange = registerFiles.contains(it.key())
            || it.key().startsWith("tkshrtct.lck.")
            || (!studentFolder.isEmpty()
                && (it.key() == studentFolder || it.key().startsWith(studentFolder + "/")));
        it = mayChange ? entries.erase(it) : std::next(it);
    }
    return entries;
}

// The next start-up reads the settings and the register, nothing else.
void checkTheNextStartUpWorks(const QString& root)
{
    try {
        loadSite(root);
    } catch (const StartupError& error) {
        QFAIL(qPrintable(error.report()));
    }
}

// A killed process never removes its lock, but the next copy on the same
// machine sees that its holder is gone and takes it over: nobody has to
// delete it by hand.
void checkTheLeftLockIsTakenOver(const QString& root)
{
    QVERIFY(RegisterLock::acquire(root, std::chrono::milliseconds(0)));
    QVERIFY(!QFile::exists(RegisterLock::pathIn(root)));
}

// Every student the register names has a folder that is a complete copy of
// the template, with the name in its page.
void checkEveryRegisteredStudentIsComplete(const Intranet& intranet)
{
    const QMap<QString, QByteArray> names{{"abel_mary", "Mary Abel"},
                                          {"cole_max", "Max Cole"},
                                          {"dunn_cara", "Cara Dunn"},
                                          {"quorrel_dravin", "Dravin Quorrel"},
                                          {"vanderberg_annamaria", "Anna Maria Van der Berg"}};
    for (const RegisterRecord& row : loadRegister(intranet.root()).rows) {
        if (!names.contains(row.folderName))
            continue; // registered before, with no folder in the test intranet
        auto complete = tktest::snapshot(intranet.masterFolder());
        complete["index.htm"].replace("New Student", names[row.folderName]);
        QCOMPARE(tktest::snapshot(intranet.path("2026/" + row.yearName + "/" + row.className + "/"
                                                + row.folderName)),
                 complete);
    }
}

// All but the register's own files and what the students' folders may hold:
// a half-made folder left there, or the note of what a run was making, fails
// the comparison once the next run is done.
QMap<QString, QByteArray> outsideTheStudents(QMap<QString, QByteArray> entries)
{
    static const QRegularExpression student(
        QStringLiteral("^2026/Year 7/7[AB]/(abel_mary|cole_max|dunn_cara|quorrel_dravin|"
                       "vanderberg_annamaria)(/|$)"));
    for (auto it = entries.begin(); it != entries.end();) {
        // A holder's lines that a copy killed while it made its lock left
        // beside it are read by nobody.
        const bool mayChange = (registerFiles.contains(it.key()) && it.key() != "tkshrtct.lck")
            || it.key().startsWith("tkshrtct.lck.") || it.key().startsWith("tkaddstudent-log.")
            || student.match(it.key()).hasMatch();
        it = mayChange ? entries.erase(it) : std::next(it);
    }
    return entries;
}

struct RunEnd
{
    int step;
    ChildEnd end;
    QByteArray newRegister;
    QMap<QString, QByteArray> before;
    QString studentFolder; // relative to the root; empty when none is made
};

// What every run must leave, killed or not: the old or the new register, which
// the next start loads, and nothing changed outside the register's files and
// the student's folder. A completed run must also have cleaned up after itself.
void checkWhatTheRunLeft(const Intranet& intranet, const RunEnd& run, bool* completed)
{
    const QString root = intranet.root();
    const QByteArray dat = tktest::readFile(intranet.path("tkshrtct.dat"));
    QVERIFY2(dat == oldRegister || dat == run.newRegister,
             qPrintable(QStringLiteral("step %1 left tkshrtct.dat as: %2")
                            .arg(run.step)
                            .arg(QString::fromLatin1(dat))));
    checkTheNextStartUpWorks(root);
    QCOMPARE(outside(tktest::snapshot(root), run.studentFolder),
             outside(run.before, run.studentFolder));
    if (run.end != ChildEnd::Completed)
        return;
    QCOMPARE(dat, run.newRegister);
    QCOMPARE(tktest::readFile(intranet.path("tkshrtct.old")), oldRegister);
    QVERIFY(!QFile::exists(intranet.path("tkshrtct.new")));
    QVERIFY(!QFile::exists(intranet.path("tkshrtct.lck")));
    *completed = true;
}
#endif
} // namespace

void TestCrashSafety::cleanup()
{
    faults::clear();
}

void TestCrashSafety::aKilledRegisterUpdateLeavesACompleteRegister()
{
#ifdef Q_OS_UNIX
    const RegisterRecord added{"Kovacs Eva", "kovacs_eva", "7B", "Year 7"};
    const QByteArray newRegister = "Adams Ben,adams_ben,7A,Year 7\r\n"
                                   "Kovacs Eva,kovacs_eva,7B,Year 7\r\n"
                                   "Lee Kim,lee_kim,7B,Year 7\r\n"
                                   "zz9,zed_zoe,7A,Year 7\r\n";
    int step = 1;
    for (;; ++step) {
        QVERIFY2(step < mostSteps, "the update never got to its end");
        Intranet intranet;
        const QString root = intranet.root();
        QCOMPARE(tktest::readFile(intranet.path("tkshrtct.dat")), oldRegister);
        const auto before = tktest::snapshot(root);

        QString what;
        const ChildEnd end = runKilledAtCall(
            step,
            [&] {
                // As the Create command does it: the register is read under the lock.
                const std::unique_ptr<RegisterLock> lock = RegisterLock::acquire(root);
                if (!lock)
                    return false;
                updateRegister(root, loadRegister(root), {added}, *lock);
                return true;
            },
            &what);
        QVERIFY2(end != ChildEnd::Failed,
                 qPrintable(QStringLiteral("step %1: %2").arg(step).arg(what)));

        bool completed = false;
        checkWhatTheRunLeft(intranet, {step, end, newRegister, before, {}}, &completed);
        if (completed)
            break;
        if (QFile::exists(intranet.path("tkshrtct.lck")))
            checkTheLeftLockIsTakenOver(root);
        if (QTest::currentTestFailed())
            return;
    }
    qInfo("killed at each of %d steps, then completed", step - 1);
    QVERIFY(step > 10); // the lock, the read, the write, the sync and the renames at least
#else
    QSKIP("needs fork() and SIGKILL");
#endif
}

void TestCrashSafety::aKilledEnrolmentIsFinishedByTheNextRun_data()
{
    QTest::addColumn<QStringList>("students"); // surname|given name|class, in Year 7
    QTest::addColumn<QByteArray>("newRegister");
    QTest::addColumn<QByteArrayList>("linkedPages"); // 7A and 7B; none: not linked
    const QByteArray oneAdded = "Adams Ben,adams_ben,7A,Year 7\r\n"
                                "Lee Kim,lee_kim,7B,Year 7\r\n"
                                "Van der Berg Anna Maria,vanderberg_annamaria,7A,Year 7\r\n"
                                "zz9,zed_zoe,7A,Year 7\r\n";
    const QByteArray fourAdded = "Abel Mary,abel_mary,7B,Year 7\r\n"
                                 "Adams Ben,adams_ben,7A,Year 7\r\n"
                                 "Cole Max,cole_max,7A,Year 7\r\n"
                                 "Dunn Cara,dunn_cara,7B,Year 7\r\n"
                                 "Lee Kim,lee_kim,7B,Year 7\r\n"
                                 "Quorrel Dravin,quorrel_dravin,7A,Year 7\r\n"
                                 "zz9,zed_zoe,7A,Year 7\r\n";
    QTest::newRow("one student") << QStringList{"Van der Berg|Anna Maria|7A"} << oneAdded
                                 << QByteArrayList();
    QTest::newRow("a list of four")
        << QStringList{"Quorrel|Dravin|7A", "Abel|Mary|7B", "Cole|Max|7A", "Dunn|Cara|7B"}
        << fourAdded << QByteArrayList();
    const auto item = [](const char* folder, const char* name) {
        return QByteArray("  <li><a href=\"") + folder + "/index.htm\">" + name + "</a></li>\r\n";
    };
    const QByteArray adams = item("adams_ben", "Ben Adams");
    const QByteArray zed = item("zed_zoe", "Zoe Zed");
    QTest::newRow("one student, linked")
        << QStringList{"Van der Berg|Anna Maria|7A"} << oneAdded
        << QByteArrayList{classPage(adams + item("vanderberg_annamaria", "Anna Maria Van der Berg")
                                    + zed),
                          classPage(adams + zed)};
    QTest::newRow("a list of four, linked")
        << QStringList{"Quorrel|Dravin|7A", "Abel|Mary|7B", "Cole|Max|7A", "Dunn|Cara|7B"}
        << fourAdded
        << QByteArrayList{classPage(adams + item("cole_max", "Max Cole")
                                    + item("quorrel_dravin", "Dravin Quorrel") + zed),
                          classPage(item("abel_mary", "Mary Abel") + adams
                                    + item("dunn_cara", "Cara Dunn") + zed)};
}

// Killed at any call, a run leaves a register that the next start reads and
// that names no half-made student; the next run, the same again, finishes
// the job with no step by hand, whatever the killed one left.
void TestCrashSafety::aKilledEnrolmentIsFinishedByTheNextRun()
{
#ifdef Q_OS_UNIX
    QFETCH(QStringList, students);
    QFETCH(QByteArray, newRegister);
    QFETCH(QByteArrayList, linkedPages);
    const QStringList pages{"2026/Year 7/7A/index.htm", "2026/Year 7/7B/index.htm"};
    const QByteArray unlinked = classPage(
        "  <li><a href=\"adams_ben/index.htm\">Ben Adams</a></li>\r\n"
        "  <li><a href=\"zed_zoe/index.htm\">Zoe Zed</a></li>\r\n");
    const auto enrol = [&](const SiteData& site) {
        Enrolment enrolment(site, tktest::enrolees(site, students), Enrolment::Repeats::Skip);
        enrolment.setLinksClassPages(!linkedPages.isEmpty());
        return enrolment.run().stop == EnrolmentResult::Stop::None;
    };
    int step = 1;
    for (;; ++step) {
        QVERIFY2(step < mostSteps, "the enrolment never got to its end");
        Intranet intranet;
        const QString root = intranet.root();
        for (qsizetype i = 0; i < linkedPages.size(); ++i)
            tktest::writeFile(intranet.path(pages[i]), unlinked);
        auto before = tktest::snapshot(root);
        QString what;
        const ChildEnd end = runKilledAtCall(
            step, [&] { return enrol(intranet.load()); }, &what);
        QVERIFY2(end != ChildEnd::Failed,
                 qPrintable(QStringLiteral("step %1: %2").arg(step).arg(what)));
        // Each page as it was or with all its new links, never part of them.
        for (qsizetype i = 0; i < linkedPages.size(); ++i) {
            const QByteArray page = tktest::readFile(intranet.path(pages[i]));
            QVERIFY2(page == unlinked || page == linkedPages[i],
                     qPrintable(QStringLiteral("step %1 left %2 as: %3")
                                    .arg(step)
                                    .arg(pages[i], QString::fromLatin1(page))));
            before[pages[i]] = linkedPages[i];
        }
        checkTheNextStartUpWorks(root);
        checkEveryRegisteredStudentIsComplete(intranet);

        QVERIFY2(enrol(intranet.load()),
                 qPrintable(QStringLiteral("rerun after step %1").arg(step)));
        QCOMPARE(tktest::readFile(intranet.path("tkshrtct.dat")), newRegister);
        checkEveryRegisteredStudentIsComplete(intranet);
        QCOMPARE(outsideTheStudents(tktest::snapshot(root)), outsideTheStudents(before));
        if (QTest::currentTestFailed())
            return;
        if (end == ChildEnd::Completed)
            break;
    }
    qInfo("killed at each of %d steps, each time finished by the next run", step - 1);
    QVERIFY(step > 30); // the checks, the lock, a copy of every template file, the register
#else
    QSKIP("needs fork() and SIGKILL");
#endif
}

void TestCrashSafety::aKilledRemovalOrMoveIsFinishedByTheNextRun_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("placed"); // where the folder ends: a class, or the holding folder
    QTest::addColumn<QByteArray>("newRegister");
    QTest::addColumn<QByteArrayList>("pagesAfter"); // 7A and 7B; none: not linked
    const QByteArray removed("Lee Kim,lee_kim,7B,Year 7\r\nzz9,zed_zoe,7A,Year 7\r\n");
    const QByteArray moved("Adams Ben,adams_ben,7B,Year 7\r\n" + removed);
    const Kind remove = RelocationRequest::Kind::Remove;
    const Kind move = RelocationRequest::Kind::Move;
    QTest::newRow("remove") << int(remove) << "removed" << removed << QByteArrayList();
    QTest::newRow("move") << int(move) << "2026/Year 7/7B" << moved << QByteArrayList();
    QTest::newRow("remove, linked")
        << int(remove) << "removed" << removed << QByteArrayList{classPage(zedItem), leePage};
    QTest::newRow("move, linked") << int(move) << "2026/Year 7/7B" << moved
                                  << QByteArrayList{classPage(zedItem),
                                                    classPage(adamsItem + leeItem)};
}

// Killed at any call, the folder and the register may stand apart only with
// the note that the next run, the same command again, finishes from.
void TestCrashSafety::aKilledRemovalOrMoveIsFinishedByTheNextRun()
{
#ifdef Q_OS_UNIX
    QFETCH(int, kind);
    QFETCH(QString, placed);
    QFETCH(QByteArray, newRegister);
    QFETCH(QByteArrayList, pagesAfter);
    RelocationRequest request;
    request.kind = RelocationRequest::Kind(kind);
    request.student.account = "adams BEN";
    request.toClass = "7B";
    request.linkClassPages = !pagesAfter.isEmpty();
    const QStringList pages{"2026/Year 7/7A/index.htm", "2026/Year 7/7B/index.htm"};
    const QByteArrayList pagesBefore{classPage(adamsItem + zedItem), leePage};
    const auto relocated = [&](const Intranet& intranet) {
        return relocate(intranet.load(), request).stop == RelocationResult::Stop::None;
    };
    static const QRegularExpression changing(
        "^(tkshrtct\\.(dat|old|new|lck.*)|tkaddstudent-log\\..*|removed(/.*)?|"
        "2026/Year 7/7[AB]/adams_ben(/.*)?)$");
    const auto outsideTheMove = [](QMap<QString, QByteArray> entries) {
        for (auto it = entries.begin(); it != entries.end();)
            it = changing.match(it.key()).hasMatch() ? entries.erase(it) : std::next(it);
        return entries;
    };
    int step = 1;
    for (;; ++step) {
        QVERIFY2(step < mostSteps, "the change never got to its end");
        Intranet intranet;
        tktest::writeFile(intranet.path("2026/Year 7/7A/adams_ben/index.htm"), "Ben's page");
        tktest::writeFile(intranet.path("2026/Year 7/7A/adams_ben/work/essay.htm"), "essay");
        for (qsizetype i = 0; i < pagesAfter.size(); ++i)
            tktest::writeFile(intranet.path(pages[i]), pagesBefore[i]);
        const auto folder = tktest::snapshot(intranet.path("2026/Year 7/7A/adams_ben"));
        auto before = tktest::snapshot(intranet.root());
        QString what;
        const ChildEnd end = runKilledAtCall(
            step, [&] { return relocated(intranet); }, &what);
        QVERIFY2(end != ChildEnd::Failed,
                 qPrintable(QStringLiteral("step %1: %2").arg(step).arg(what)));
        for (qsizetype i = 0; i < pagesAfter.size(); ++i) {
            const QByteArray page = tktest::readFile(intranet.path(pages[i]));
            QVERIFY2(page == pagesBefore[i] || page == pagesAfter[i], page.constData());
            before[pages[i]] = pagesAfter[i];
        }
        checkTheNextStartUpWorks(intranet.root());
        const QByteArray dat = tktest::readFile(intranet.path("tkshrtct.dat"));
        QVERIFY(dat == oldRegister || dat == newRegister);
        // Killed once all was done but the lock let go, a run leaves nothing
        // to finish, and the same command again is refused as it should be.
        const bool done = dat == newRegister && !QFileInfo::exists(intranet.path("tkshrtct.jnl"));
        if (!done)
            QVERIFY2(relocated(intranet),
                     qPrintable(QStringLiteral("rerun after step %1").arg(step)));
        QCOMPARE(tktest::readFile(intranet.path("tkshrtct.dat")), newRegister);
        const QString held = placed + "/"
            + QDir(intranet.path(placed)).entryList(QDir::Dirs | QDir::NoDotAndDotDot).value(0);
        QCOMPARE(tktest::snapshot(intranet.path(held)), folder);
        QVERIFY(!QFileInfo::exists(intranet.path("2026/Year 7/7A/adams_ben")));
        QCOMPARE(outsideTheMove(tktest::snapshot(intranet.root())), outsideTheMove(before));
        if (QTest::currentTestFailed())
            return;
        if (end == ChildEnd::Completed)
            break;
    }
    qInfo("killed at each of %d steps, each time finished by the next run", step - 1);
    QVERIFY(step > 10);
#else
    QSKIP("needs fork() and SIGKILL");
#endif
}

QTEST_GUILESS_MAIN(TestCrashSafety)
#include "TestCrashSafety.moc"
