#include "app/Form1.h"
#include "app/StartUp.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tkaddstudent"));
    QApplication::setApplicationVersion(QStringLiteral("2.0.0.0"));
    QApplication::setWindowIcon(tk::programIcon());
    return tk::runProgram();
}
