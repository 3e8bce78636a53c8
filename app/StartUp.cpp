#include "app/StartUp.h"

#include "app/AddStudentWindow.h"
#include "app/MessageBox.h"

#include <QApplication>

#include <iostream>

namespace tk {

namespace {

// Whoever started the program from a console or a script sees the report
// there, even after the box has been dismissed.
void reportStartupFailure(const StartupError& error)
{
    const QString report = error.report();
    std::cerr << report.toLocal8Bit().constData() << std::endl;
    MessageBox::show(nullptr, startupFailureTitle, report, MessageStyle::Error);
}

} // namespace

QString applicationFolder()
{
    return QCoreApplication::applicationDirPath();
}

std::optional<SiteData> loadSiteOrReport(const QString& appFolder)
{
    try {
        return loadSite(appFolder);
    } catch (const StartupError& error) {
        reportStartupFailure(error);
        return std::nullopt;
    }
}

int runProgram(const QString& appFolder)
{
    const std::optional<SiteData> site = loadSiteOrReport(appFolder);
    if (!site)
        return startupFailureStatus;
    AddStudentWindow window(*site);
    window.start();
    return QApplication::exec();
}

} // namespace tk
