#pragma once

#include "register/ShortcutRegister.h"

#include <stdexcept>

namespace tk {

// Why the program cannot start, in words for the school office: the file
// concerned and what is wrong with it.
class StartupError : public std::runtime_error
{
public:
    StartupError(const QString& filePath, const QString& problem);

    const QString& filePath() const { return m_filePath; }
    const QString& problem() const { return m_problem; }
    // The whole report: what the operator sees and what goes to standard error.
    QString report() const;

private:
    QString m_filePath;
    QString m_problem;
};

// Both throw StartupError; neither writes anything.
SiteSettings LoadSettings(const QString& appFolder);
ShortcutRegister LoadRegister(const QString& appFolder);

// Everything the load step reads, held by the window for the life of the process.
struct SiteData
{
    QString appFolder; // native separators, as the operator sees paths
    SiteSettings settings;
    ShortcutRegister shortcuts;
};

SiteData LoadSite(const QString& appFolder);

} // namespace tk
