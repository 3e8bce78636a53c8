#include "gui/StartUp.h"

#include "gui/AddStudentWindow.h"
#include "gui/MessageBox.h"
#include "platform/FileServices.h"
#include "platform/StopRequests.h"

#include <QApplication>
#include <QTimer>

namespace tk {

std::optional<SiteData> loadSiteOrReport(const QString& appFolder, UserDialogs& dialogs)
{
    try {
        return loadSite(appFolder);
    } catch (const StartupError& error) {
        // Whoever started the program from a console or a script sees the
        // report there, even after the box has been dismissed.
        const QString report = error.report();
        writeStandardError(report + QLatin1Char('\n'));
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
    // A session that logs out ends the program between two Creates, never
    // inside one: the signal only asks, and is looked at while the window waits.
    const StopRequests stops;
    QTimer stopCheck;
    QObject::connect(&stopCheck, &QTimer::timeout, [&stops] {
        if (stops.requested())
            QApplication::quit();
    });
    stopCheck.start(std::chrono::milliseconds(200));
    return QApplication::exec();
}

} // namespace tk
