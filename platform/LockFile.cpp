#include "platform/LockFile.h"

#include "platform/FileServices.h"
#include "platform/SystemCalls.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSysInfo>

#include <cerrno>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#endif

// Not QLockFile: its tryLock takes over a lock whose holder it believes dead
// by its own rule, in which a machine ID, which computers imaged from one disk
// share, outweighs the computer's name; and it makes the file before it writes
// the holder into it, so a copy killed in between leaves an empty lock that
// it never takes over.

namespace tk::files {

namespace {

using namespace std::chrono_literals;

// A lock that names no holder is one whose maker was killed while it wrote
// (older copies wrote the holder into the lock itself) or whose lines a power
// cut lost: nobody is still making it once it is this old.
constexpr auto unreadableLockAge = 10s;
constexpr auto pollInterval = 100ms;

// Unique across computers too: a process number is not.
QString nameBeside(const QString& path)
{
    return path + QLatin1Char('.') + QString::number(QRandomGenerator::system()->generate64(), 36);
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

LockHolder holderIn(const QByteArray& lines)
{
    const QList<QByteArray> line = lines.split('\n');
    bool isNumber = false;
    const qint64 pid = line.value(0).toLongLong(&isNumber);
    if (!isNumber || pid <= 0 || line.value(2).isEmpty())
        return {};
    return {pid, QString::fromUtf8(line[1]), QString::fromUtf8(line[2]), line.value(3),
            line.value(4)};
}

bool sameOrUnknown(const QByteArray& theirs, const QByteArray& ours)
{
    return theirs.isEmpty() || ours.isEmpty() || theirs == ours;
}

bool isAlive(qint64 pid)
{
#ifdef _WIN32
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
    if (!process)
        return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD exitCode = 0;
    const bool running = GetExitCodeProcess(process, &exitCode) && exitCode == STILL_ACTIVE;
    CloseHandle(process);
    return running;
#else
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
#endif
}

// Whether nobody will ever release the lock that held `lines` when last `modified`
// (never, when the lock was gone as it was read).
bool isAbandoned(const QByteArray& lines, const QDateTime& modified)
{
    const LockHolder holder = holderIn(lines);
    if (holder.pid == 0)
        return modified.secsTo(QDateTime::currentDateTime()) > unreadableLockAge.count();
    // A computer's name tells it apart from its clones, and its machine ID
    // from another computer that was given the same name.
    if (holder.computer != QSysInfo::machineHostName()
        || !sameOrUnknown(holder.machineId, QSysInfo::machineUniqueId()))
        return false;
    // Its holder is gone with the start it was made in, as after a power cut.
    return !sameOrUnknown(holder.bootId, QSysInfo::bootUniqueId()) || !isAlive(holder.pid);
}

// Two copies may find the abandoned lock at once, and one may already have put
// its own in its place: whatever is there is moved aside under a name of this
// copy's own, and only if it proves to be the abandoned lock is it removed.
bool removeAbandoned(const QString& path, const QByteArray& lines)
{
    const QString aside = nameBeside(path);
    try {
        if (!moveUnlessTaken(path, aside))
            return true; // another copy moved it first
    } catch (const NumberedFailure&) {
        return false; // on Windows, while another copy reads it
    }
    const bool wasAbandoned = contentOf(aside) == lines;
    if (wasAbandoned || !moveUnlessTaken(aside, path))
        QFile::remove(aside);
    return wasAbandoned;
}

} // namespace

std::unique_ptr<LockFile> LockFile::take(const QString& path, std::chrono::milliseconds patience)
{
    if (const int injected = injectedError(SystemCall::Lock, path))
        raiseFailure(injected, QStringLiteral("Make lock file"), path);
    // Put in place whole, so that a lock is never empty.
    const QString mine = nameBeside(path);
    const auto removeMine = qScopeGuard([&] { QFile::remove(mine); });
    File file(mine, File::Mode::CreateNew);
    file.write(QByteArray::number(QCoreApplication::applicationPid()) + '\n'
               + QCoreApplication::applicationName().toUtf8() + '\n'
               + QSysInfo::machineHostName().toUtf8() + '\n' + QSysInfo::machineUniqueId() + '\n'
               + QSysInfo::bootUniqueId() + '\n');
    file.close();
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (moveUnlessTaken(mine, path))
            return std::unique_ptr<LockFile>(new LockFile(path));
        const QByteArray lines = contentOf(path);
        if (isAbandoned(lines, QFileInfo(path).lastModified()) && removeAbandoned(path, lines))
            continue;
        if (waited.elapsed() >= patience.count())
            return nullptr;
        std::this_thread::sleep_for(pollInterval);
    }
}

LockHolder LockFile::holderOf(const QString& path)
{
    return holderIn(contentOf(path));
}

LockFile::~LockFile()
{
    if (m_held)
        release();
}

std::optional<NumberedFailure> LockFile::release()
{
    m_held = false;
    // On Windows a file that a waiting copy is reading cannot be removed.
    for (int attempt = 1;; ++attempt) {
        try {
            removeFileIfPresent(m_path);
            return std::nullopt;
        } catch (const NumberedFailure& failure) {
            if (attempt == 10)
                return failure;
        }
        std::this_thread::sleep_for(pollInterval / 5);
    }
}

} // namespace tk::files
