#pragma once

#include "register/ShortcutRegister.h"

#include <QByteArray>

#include <chrono>
#include <optional>

namespace tk {

// Only one copy of the utility at a time may change the register: two people
// may add students at once from two machines on the same shared drive. The
// lock is a file beside the register, made with create-exclusive semantics,
// which every network file system honours; it is removed when its owner goes.
class RegisterLock
{
public:
    // Waits up to `patience` for a lock that another copy holds; nothing when
    // it is still held then. Throws NumberedFailure when the lock file cannot
    // be made for any other reason.
    static std::optional<RegisterLock>
    acquire(const QString& appFolder, std::chrono::milliseconds patience = std::chrono::seconds(5));
    static QString pathIn(const QString& appFolder);

    RegisterLock(RegisterLock&& other) noexcept;
    RegisterLock& operator=(RegisterLock&&) = delete;
    RegisterLock(const RegisterLock&) = delete;
    ~RegisterLock();

private:
    explicit RegisterLock(QString path);
    QString m_path; // empty once moved from
};

// Where `newRecord` goes: before the first row whose upper-cased account name
// does not sort before the new one's. Rows after it are not looked at, so an
// unsorted register keeps its order.
qsizetype insertionIndex(const ShortcutRegister& shortcuts, const RegisterRecord& newRecord);
// `shortcuts` as it reads back once `newRecord` has been written into it.
void insertRecord(ShortcutRegister& shortcuts, const RegisterRecord& newRecord);

// The register as it must be written: every row in normal form and in its
// order, with `newRecord` at its insertion index. CR LF after every line.
QByteArray registerTextWith(const ShortcutRegister& shortcuts, const RegisterRecord& newRecord);
// The same with several new records, each inserted in turn.
QByteArray registerTextWith(const ShortcutRegister& shortcuts,
                            const QList<RegisterRecord>& newRecords);

// Writes tkshrtct.new from `current` (the register as read under `lock`),
// keeps tkshrtct.dat as tkshrtct.old and puts the new register in its place.
// At every moment tkshrtct.dat is a complete register, the old one or the new
// one. Throws NumberedFailure until the new register is in place; after that
// the student is registered, and what still fails goes to standard error.
void updateRegister(const QString& appFolder, const ShortcutRegister& current,
                    const RegisterRecord& newRecord, const RegisterLock& lock);
// The same for several students at once: one rewrite for a whole list.
void updateRegister(const QString& appFolder, const ShortcutRegister& current,
                    const QList<RegisterRecord>& newRecords, const RegisterLock& lock);

} // namespace tk
