#pragma once

#include <QString>

#include <chrono>
#include <memory>

namespace tk {

namespace files {
class LockFile;
}

// Only one copy of the utility at a time may change the register: two people
// may add students at once from two machines on the same shared drive. The
// lock is the file tkshrtct.lck beside the register, removed when its holder
// lets it go; one left by a copy that died on this machine is taken over.
class RegisterLock
{
public:
    static constexpr std::chrono::milliseconds defaultPatience = std::chrono::seconds(5);

    // Waits up to `patience` for a lock that another copy holds; nothing when
    // it is still held then. Throws NumberedFailure when the lock file cannot
    // be made for any other reason.
    static std::unique_ptr<RegisterLock>
    acquire(const QString& appFolder, std::chrono::milliseconds patience = defaultPatience);
    static QString pathIn(const QString& appFolder);

    ~RegisterLock();
    RegisterLock(const RegisterLock&) = delete;
    RegisterLock& operator=(const RegisterLock&) = delete;

private:
    explicit RegisterLock(std::unique_ptr<files::LockFile> file);
    std::unique_ptr<files::LockFile> m_file;
};

} // namespace tk
