#pragma once

#include "register/ShortcutRegister.h"

#include <stdexcept>

namespace tk {

// Why a settings or register file cannot be used, in words for the school
// office: the file concerned and what is wrong with it.
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

// Throws StartupError; writes nothing.
SiteSettings loadSettings(const QString& appFolder);
// The bytes of a settings or register file; `kind` names it in a report.
QByteArray readSiteFile(const QString& path, const QString& kind);

// Everything the load step reads, held for the life of the process.
struct SiteData
{
    QString appFolder; // with "/" separators, as every path inside the program
    SiteSettings settings;
    ShortcutRegister shortcuts;

    QString structureFolder() const;
    QString masterFolder() const;
    QString classFolder(const QString& year, const QString& className) const;
};

SiteData loadSite(const QString& appFolder);

} // namespace tk
