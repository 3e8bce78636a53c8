#include "platform/LockFile.h"

#include "platform/FileServices.h"
#include "platform/NumberedFailure.h"
#include "platform/SystemCalls.h"

#include <QLockFile>

#include <cerrno>

namespace tk::files {

LockFile::LockFile(QString path, std::unique_ptr<QLockFile> lock)
    : m_path(std::move(path))
    , m_lock(std::move(lock))
{
}

LockFile::~LockFile()
{
    m_lock->unlock();
}

std::unique_ptr<LockFile> LockFile::take(const QString& path, std::chrono::milliseconds patience)
{
    if (const int injected = injectedError(SystemCall::Lock, path))
        raiseFailure(injected, QStringLiteral("Make lock file"), path);
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
