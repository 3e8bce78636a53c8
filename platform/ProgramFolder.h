#pragma once

#include <QString>

namespace tk {

// The folder that holds the running program, with "/" separators: where the
// intranet's files are looked for unless the operator names another folder.
QString programFolder();

// The folder of a program whose path the platform gives in `programPath`, in
// any form Windows or Wine may use for it: "C:\...", "\\server\share\...",
// "\\?\C:\...", "\\?\UNC\server\share\..." or "UNC\server\share\...".
QString folderOfProgramPath(const QString& programPath);

} // namespace tk
