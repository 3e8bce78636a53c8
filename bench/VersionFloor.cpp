// The least a QtCore program does to print its version: the floor for the
// console program's start-up.

#include <QCommandLineParser>
#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.0"));
    QCommandLineParser parser;
    parser.addVersionOption();
    parser.process(app);
    return 0;
}
