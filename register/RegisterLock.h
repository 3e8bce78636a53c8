#pragma once

#include "platform/NumberedFailure.h"

#include <QString>

#include <chrono>
#include <memory>
#include <optional>

namespace tk {

namespace files {
class LockFile;
}

// Only one copy of the utility at a time may change the register: two people
// may add students at once from two machines on the same shared drive. The
// lock is the file tkshrtct.lck beside the register, removed when its holder
// lets it go; one left by a copy that died on this computer is taken over.
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
    // The computer whose copy holds the lock, for a refusal to name; empty
    // when the lock names none.
    static QString holderComputer(const QString& appFolder);

    // Lets the lock go: the failure when its file could not be removed, which
    // leaves every other copy waiting until someone deletes it.
    std::optional<NumberedFailure> release();
    ~RegisterLock(); // lets it go quietly, unless release() was called
    RegisterLock(const RegisterLock&) = delete;
    RegisterLock& operator=(const RegisterLock&) = delete;

private:
    explicit RegisterLock(std::unique_ptr<files::LockFile> file);
    std::unique_ptr<files::LockFile> m_file;
};

} // namespace tk
