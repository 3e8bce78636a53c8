#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace tk {

// What the command line ends with, as the README documents it.
namespace ExitStatus {
constexpr int Added = 0;
constexpr int CannotLoad = 1; // the settings or the register cannot be read
constexpr int Usage = 2; // the command line is not understood
constexpr int Refused = 3; // input refused or not confirmed: nothing changed
constexpr int PageOrPath = 4; // a damaged or missing page, year or class: nothing changed
constexpr int FailedAfterChange = 5; // something was made before the failure
constexpr int FailedUnchanged = 6; // a failure before anything was made
} // namespace ExitStatus

// Where the command line talks and listens. `readAnswer` gives nothing when
// there is no terminal to ask on.
struct Console
{
    std::function<void(const QString&)> out;
    std::function<void(const QString&)> err;
    std::function<std::optional<QString>()> readAnswer;
};

Console standardConsole();

// Any argument asks for the command line; without one the window opens.
bool wantsCommandLine(int argc, char** argv);
// The program is built as a windowed one on Windows, which has no console of
// its own: it writes to the one that started it.
void attachToParentConsole();

// Needs a QCoreApplication, never a widget, so that it runs over a remote
// shell with no display.
int runCommandLine(const QStringList& arguments, const Console& console);

} // namespace tk
