#pragma once

#include "cli/Console.h"

#include <QStringList>

#include <optional>

namespace tk {

// When the arguments ask for the window rather than a command (none at all,
// or only --intranet FOLDER): the intranet folder, empty for the program's
// own. Nothing when they ask for a command.
std::optional<QString> windowRequested(const QStringList& arguments);

// Runs a command. Needs a QCoreApplication, never a widget, so that it runs
// over a remote shell with no display. Whatever happens, it ends with a
// message and an exit status.
int runCommandLine(const QStringList& arguments, const Console& console);

} // namespace tk
