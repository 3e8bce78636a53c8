#pragma once

#include <QString>

#include <chrono>
#include <memory>

class QLockFile;

namespace tk::files {

// A file that one process at a time may hold. It is made with create-exclusive
// semantics, which network file systems honour too, and names its holder's
// process and machine: a lock left by a process that has died on this machine
// is taken over, while one held from another machine is always waited for.
class LockFile
{
public:
    // Nothing when another process still holds the lock after `patience`.
    // Throws NumberedFailure when the file cannot be made at all (a read-only
    // folder, say).
    static std::unique_ptr<LockFile> take(const QString& path, std::chrono::milliseconds patience);

    ~LockFile(); // removes the file
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;

    const QString& path() const { return m_path; }

private:
    LockFile(QString path, std::unique_ptr<QLockFile> lock, int descriptor = -1);

    QString m_path;
    std::unique_ptr<QLockFile> m_lock; // where QLockFile made the file
    int m_descriptor = -1; // where take() made it itself
};

} // namespace tk::files
