#pragma once

#include "register/ShortcutRegister.h"

#include <QByteArray>

namespace tk {

// The register as `bytes` hold it, one student a line; `path` only names the
// file in a report. Throws StartupError (register/SiteFiles.h).
ShortcutRegister parseRegister(const QByteArray& bytes, const QString& path);
ShortcutRegister loadRegister(const QString& appFolder);
// The register as it is now, under the lock: `known` itself when the file
// still holds the bytes `known` was read from.
ShortcutRegister reloadRegister(const QString& appFolder, const ShortcutRegister& known);

// The text a settings or register file is read as: one Latin-1 character a
// byte, so that items are found before the encoding of their values is known.
QString itemText(const QByteArray& bytes);

} // namespace tk
