#pragma once

#include "platform/NumberedFailure.h"
#include "register/ShortcutRegister.h"

#include <QByteArray>

#include <optional>

namespace tk {

class RegisterLock;

// The register as it must be written: every row in normal form and in its
// order, with each of `newRecords` inserted in turn before the first row
// whose upper-cased account name does not sort before its own (rows after it
// are not looked at, so an unsorted register keeps its order). CR LF after
// every line.
QByteArray registerTextWith(const ShortcutRegister& shortcuts,
                            const QList<RegisterRecord>& newRecords);

// Writes tkshrtct.new from `current` (the register as read under `lock`),
// keeps tkshrtct.dat as tkshrtct.old and puts the new register in its place,
// in one rewrite however many students are added. At every moment
// tkshrtct.dat is a complete register, the old one or the new one. Throws
// NumberedFailure until the new register is in place; after that the
// students are registered, and what still fails is returned for the caller
// to tell the operator: only the caller knows who is watching.
std::optional<NumberedFailure> updateRegister(const QString& appFolder,
                                              const ShortcutRegister& current,
                                              const QList<RegisterRecord>& newRecords,
                                              const RegisterLock& lock);

} // namespace tk
