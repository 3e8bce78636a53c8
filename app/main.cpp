#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "gui/AddStudentWindow.h"
#include "gui/StartUp.h"
#include "platform/FileServices.h"
#include "platform/ProgramFolder.h"

#include "Version.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

#include <cstdlib>

namespace {

constexpr int usageStatus = 2;

// Without a display, Qt would end the program with its own words on its
// platform plugins.
bool hasDisplay()
{
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    return true;
#else
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* value = std::getenv(name); value && *value)
            return true;
    return false;
#endif
}

QStringList argumentsOf(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

int runWindow(int argc, char** argv)
{
    // Started from a console, the program tells it too why it cannot start.
    tk::attachToParentConsole();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tkaddstudent"));
    QApplication::setApplicationVersion(QString::fromLatin1(tk::tkVersionString));
    QApplication::setWindowIcon(tk::programIcon());
    // Qt's own reading of the arguments keeps every character of the folder.
    const QString intranet = tk::windowRequested(QCoreApplication::arguments()).value_or(QString());
    const QString folder = intranet.isEmpty() ? tk::programFolder() : QDir(intranet).absolutePath();
    return tk::runProgram(folder);
}

int runCommand(int argc, char** argv)
{
    tk::attachToParentConsole();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tkaddstudent"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(tk::tkVersionString));
    return tk::runCommandLine(QCoreApplication::arguments(), tk::standardConsole());
}

} // namespace

int main(int argc, char* argv[])
{
    if (!tk::windowRequested(argumentsOf(argc, argv)))
        return runCommand(argc, argv);
    if (!hasDisplay()) {
        tk::writeStandardError(
            QStringLiteral("tkaddstudent: there is no display to open the window on.  Without a "
                           "display, add students from the command line:\n"
                           "  tkaddstudent add --surname S --given G --year Y --class C\n"
                           "  tkaddstudent add --from LIST.csv\n"
                           "See: tkaddstudent --help\n"));
        return usageStatus;
    }
    try {
        return runWindow(argc, argv);
    } catch (const std::exception& error) {
        tk::writeStandardError(
            QStringLiteral("tkaddstudent: an unexpected error ended the program: %1\n")
                .arg(QString::fromLocal8Bit(error.what())));
        return EXIT_FAILURE;
    }
}
