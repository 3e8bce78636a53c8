#pragma once

#include "register/ShortcutRegister.h"

#include <QByteArray>

namespace tk {

// The register as it must be written: every loaded row in normal form and in
// its loaded order, with `newRecord` before the first row whose upper-cased
// account name does not sort before the new one. CR LF after every line.
QByteArray registerTextWith(const ShortcutRegister& shortcuts, const RegisterRecord& newRecord);

// Writes tkshrtct.new, keeps the current tkshrtct.dat as tkshrtct.old and puts
// the new register in its place. At every moment tkshrtct.dat is a complete
// register, the old one or the new one. Throws NumberedFailure.
void UpdateRegister(const QString& appFolder, const ShortcutRegister& shortcuts,
                    const RegisterRecord& newRecord);

} // namespace tk
