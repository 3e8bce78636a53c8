#pragma once

#include "gui/UserDialogs.h"
#include "register/SiteFiles.h"

#include <optional>

namespace tk {

// The exit status when the school's files do not let the program start.
constexpr int startupFailureStatus = 1;

inline const QString startupFailureTitle = QStringLiteral("Add a New Student cannot start");

// Loads the site from `appFolder`. When that fails, the operator is told why,
// on standard error and in one error box, and nothing is returned.
std::optional<SiteData> loadSiteOrReport(const QString& appFolder, UserDialogs& dialogs);

// Loads the site and runs the window until the program ends; the window is
// never shown when the site cannot be loaded. Messages go to `dialogs` when
// given, else to message boxes.
int runProgram(const QString& appFolder, UserDialogs* dialogs = nullptr);

} // namespace tk
