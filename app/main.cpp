#include "app/AddStudentWindow.h"
#include "app/CommandLine.h"
#include "app/StartUp.h"

#include "Version.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[])
{
    if (tk::wantsCommandLine(argc, argv)) {
        tk::attachToParentConsole();
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("tkaddstudent"));
        QCoreApplication::setApplicationVersion(QString::fromLatin1(tk::tkVersionString));
        return tk::runCommandLine(QCoreApplication::arguments(), tk::standardConsole());
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tkaddstudent"));
    QApplication::setApplicationVersion(QString::fromLatin1(tk::tkVersionString));
    QApplication::setWindowIcon(tk::programIcon());
    return tk::runProgram();
}
