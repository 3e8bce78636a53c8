#pragma once

#include "platform/NumberedFailure.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>

namespace tk::files {

// Who a lock file names as its holder, one line each in the order QLockFile
// writes them, so that other copies of the program and people can read it.
struct LockHolder
{
    qint64 pid = 0; // 0 when the file names no holder
    QString app;
    QString computer;
    QByteArray machineId;
    QByteArray bootId;
};

// A file that one process at a time may hold, on a shared drive too. A lock
// whose holder is known to have died on this computer is taken over, as is one
// that names no holder long after it was made; one held from another computer
// is always waited for.
class LockFile
{
public:
    // Nothing when another process still holds the lock after `patience`.
    // Throws NumberedFailure when the file cannot be made at all (a read-only
    // folder, say).
    static std::unique_ptr<LockFile> take(const QString& path, std::chrono::milliseconds patience);
    // Whoever the lock at `path` names now; no pid when there is none.
    static LockHolder holderOf(const QString& path);

    // Removes the file; the failure when it could not be removed.
    std::optional<NumberedFailure> release();
    ~LockFile(); // releases, unless release() was called
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;

    const QString& path() const { return m_path; }

private:
    explicit LockFile(QString path)
        : m_path(std::move(path))
    {
    }

    QString m_path;
    bool m_held = true;
};

} // namespace tk::files
