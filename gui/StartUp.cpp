#include "gui/StartUp.h"

#include "gui/AddStudentWindow.h"
#include "gui/MessageBox.h"

#include <QApplication>

#include <iostream>

namespace tk {

std::optional<SiteData> loadSiteOrReport(const QString& appFolder, UserDialogs& dialogs)
{
    try {
        return loadSite(appFolder);
    } catch (const StartupError& error) {
        // Whoever started the program from a console or a script sees the
        // report there, even after the box has been dismissed.
        const QString report = error.report();
        std::cerr << report.toLocal8Bit().constData() << std::endl;
        dialogs.show(startupFailureTitle, report, MessageStyle::Error);
        return std::nullopt;
    }
}

int runProgram(const QString& appFolder, UserDialogs* dialogs)
{
    MessageBoxDialogs boxes(nullptr);
    UserDialogs& shown = dialogs ? *dialogs : boxes;
    const std::optional<SiteData> site = loadSiteOrReport(appFolder, shown);
    if (!site)
        return startupFailureStatus;
    AddStudentWindow window(*site, dialogs);
    window.start();
    return QApplication::exec();
}

} // namespace tk
