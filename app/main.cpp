#include "app/AddStudentWindow.h"
#include "app/StartUp.h"

#include "Version.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tkaddstudent"));
    QApplication::setApplicationVersion(QString::fromLatin1(tk::tkVersionString));
    QApplication::setWindowIcon(tk::programIcon());
    return tk::runProgram();
}
