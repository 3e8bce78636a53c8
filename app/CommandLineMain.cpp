// tkaddstudent-cli: the command line as a console program of its own. A
// console shell waits for it and takes its exit status, which it does not
// for a window program, and it loads no window library.

#include "cli/CommandLine.h"
#include "cli/Console.h"

#include "Version.h"

#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tkaddstudent"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(tk::tkVersionString));
    return tk::runCommandLine(QCoreApplication::arguments(), tk::standardConsole());
}
