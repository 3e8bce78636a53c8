#include "platform/LockFile.h"

#include "platform/FileServices.h"
#include "platform/NumberedFailure.h"
#include "platform/SystemCalls.h"

#include <QLockFile>

#include <cerrno>

#ifdef __linux__
#include <QFile>
#include <QSysInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace tk::files {

#ifdef __linux__
namespace {

// The name QLockFile gives this process in a lock: its executable's.
QByteArray executableName()
{
    char target[4096];
    const ssize_t length = ::readlink("/proc/self/exe", target, sizeof target);
    QByteArray name(target, length > 0 ? length : 0);
    if (name.endsWith(" (deleted)"))
        name.chop(10);
    return name.mid(name.lastIndexOf('/') + 1);
}

// The holder's lines exactly as QLockFile writes them, so that any copy that
// finds the lock, through QLockFile or not, reads the holder the same way.
QByteArray holderLines()
{
    static const QByteArray machine = executableName() + '\n' + QSysInfo::machineHostName().toUtf8()
        + '\n' + QSysInfo::machineUniqueId() + '\n' + QSysInfo::bootUniqueId() + '\n';
    // Not kept with the rest: a forked child holds the lock as itself.
    return QByteArray::number(::getpid()) + '\n' + machine;
}

bool writeAll(int descriptor, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(descriptor, bytes.constData() + done,
                                        static_cast<size_t>(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

// QLockFile makes a lock as this does, then waits for its lines to reach the
// disk; removing the lock then frees a block on the disk, a second wait where
// the file system discards freed blocks. Together they cost more than the
// register's own durable rewrite, for a file that only has to exist while its
// holder lives: a holder that dies loses nothing if its lock goes with it. So
// a free lock is made here, with QLockFile's lines and flock, and nothing
// else; a lock that is there is left to QLockFile, to wait for or take over.
// -1 when the lock was not made here, for whatever reason QLockFile then reports.
int makeFreeLock(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    const int descriptor = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor < 0)
        return -1;
    if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0 && writeAll(descriptor, holderLines()))
        return descriptor;
    ::unlink(name.constData());
    ::close(descriptor);
    return -1;
}

} // namespace
#endif

LockFile::LockFile(QString path, std::unique_ptr<QLockFile> lock, int descriptor)
    : m_path(std::move(path))
    , m_lock(std::move(lock))
    , m_descriptor(descriptor)
{
}

LockFile::~LockFile()
{
    if (m_lock) {
        m_lock->unlock();
        return;
    }
#ifdef __linux__
    // Removed while still held, so that no other copy can take it in between.
    ::unlink(QFile::encodeName(m_path).constData());
    ::close(m_descriptor);
#endif
}

std::unique_ptr<LockFile> LockFile::take(const QString& path, std::chrono::milliseconds patience)
{
    if (const int injected = injectedError(SystemCall::Lock, path))
        raiseFailure(injected, QStringLiteral("Make lock file"), path);
#ifdef __linux__
    if (const int descriptor = makeFreeLock(path); descriptor >= 0)
        return std::unique_ptr<LockFile>(new LockFile(path, nullptr, descriptor));
#endif
    auto lock = std::make_unique<QLockFile>(path);
    // Age says nothing about a holder on another machine, which may simply
    // be adding a long list: only a holder known to be dead is overruled.
    lock->setStaleLockTime(std::chrono::milliseconds::zero());
    if (lock->tryLock(patience))
        return std::unique_ptr<LockFile>(new LockFile(path, std::move(lock)));
    switch (lock->error()) {
    case QLockFile::LockFailedError:
        return nullptr;
    case QLockFile::PermissionError:
        raiseFailure(EACCES, QStringLiteral("Make lock file"), path);
    default:
        raiseFailure(EIO, QStringLiteral("Make lock file"), path);
    }
}

} // namespace tk::files
