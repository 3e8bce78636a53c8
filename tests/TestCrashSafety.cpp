#include "TestSupport.h"

#include "FaultInjection.h"
#include "enrol/Enrolment.h"
#include "platform/FileServices.h"
#include "register/RegisterLock.h"
#include "register/RegisterReader.h"
#include "register/RegisterWriter.h"
#include "register/SiteFiles.h"

#include <QFile>
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
    void aKilledCreateNeverRegistersAHalfMadeStudent();
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

void TestCrashSafety::aKilledCreateNeverRegistersAHalfMadeStudent()
{
#ifdef Q_OS_UNIX
    const StudentInputs inputs = tktest::annaMaria();
    const QString studentFolder = QStringLiteral("2026/Year 7/7A/vanderberg_annamaria");
    const QByteArray newRegister = "Adams Ben,adams_ben,7A,Year 7\r\n"
                                   "Lee Kim,lee_kim,7B,Year 7\r\n"
                                   "Van der Berg Anna Maria,vanderberg_annamaria,7A,Year 7\r\n"
                                   "zz9,zed_zoe,7A,Year 7\r\n";
    bool lockTakenOver = false;
    int step = 1;
    for (;; ++step) {
        QVERIFY2(step < mostSteps, "the enrolment never got to its end");
        Intranet intranet;
        const QString root = intranet.root();
        const SiteData site = intranet.load();
        const auto before = tktest::snapshot(root);
        // The template's page holds one placeholder per line, so replacing
        // every one gives the personalised page.
        auto complete = tktest::snapshot(intranet.masterFolder());
        complete["index.htm"].replace("New Student", "Anna Maria Van der Berg");

        QString what;
        const ChildEnd end = runKilledAtCall(
            step,
            [&] {
                QString refusal;
                const std::optional<Student> student = Student::from(inputs, site, &refusal);
                return student
                    && Enrolment(site, {{0, *student}}).run().stop == EnrolmentResult::Stop::None;
            },
            &what);
        QVERIFY2(end != ChildEnd::Failed,
                 qPrintable(QStringLiteral("step %1: %2").arg(step).arg(what)));

        bool completed = false;
        checkWhatTheRunLeft(intranet, {step, end, newRegister, before, studentFolder}, &completed);
        if (tktest::readFile(intranet.path("tkshrtct.dat")) == newRegister)
            QCOMPARE(tktest::snapshot(intranet.path(studentFolder)), complete);
        if (completed)
            break;
        // Once, in full: the next student goes in although the killed copy
        // left its lock behind.
        if (QFile::exists(intranet.path("tkshrtct.lck")) && !lockTakenOver
            && !QTest::currentTestFailed()) {
            lockTakenOver = true;
            StudentInputs typed = tktest::annaMaria();
            typed.surname = "Lee";
            typed.givenName = "Jo";
            typed.className = "7B";
            QString refusal;
            const std::optional<Student> next = Student::from(typed, intranet.load(), &refusal);
            QVERIFY(next);
            const SiteData nextSite = intranet.load();
            QCOMPARE(Enrolment(nextSite, {{0, *next}}).run().stop, EnrolmentResult::Stop::None);
            QVERIFY(!QFile::exists(intranet.path("tkshrtct.lck")));
        }
        if (QTest::currentTestFailed())
            return;
    }
    qInfo("killed at each of %d steps, then completed", step - 1);
    QVERIFY(lockTakenOver);
    QVERIFY(step > 30); // the checks, the lock, a copy of every template file, the register
#else
    QSKIP("needs fork() and SIGKILL");
#endif
}

QTEST_GUILESS_MAIN(TestCrashSafety)
#include "TestCrashSafety.moc"
