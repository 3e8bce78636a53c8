#include "cli/SiteCommand.h"

#include "cli/Wording.h"
#include "platform/FileServices.h"
#include "platform/ProgramFolder.h"

#include <QDir>
#include <QFileInfo>

namespace tk::cli {

SiteCommand::SiteCommand(const QString& intranet, bool assumeYes, const Console& console)
    : m_console(console)
    , m_intranet(intranet)
    , m_assumeYes(assumeYes)
{
}

int SiteCommand::execute()
{
    // Absolute, so that every message names the very folder concerned.
    const QString folder = m_intranet.isEmpty()
        ? programFolder()
        : QDir(QDir::fromNativeSeparators(m_intranet)).absolutePath();
    if (const QString problem = intranetProblem(folder); !problem.isEmpty()) {
        complain(problem);
        return ExitStatus::CannotLoad;
    }
    SiteData site;
    try {
        site = loadSite(folder);
    } catch (const StartupError& error) {
        complain(error.report());
        return ExitStatus::CannotLoad;
    }
    return runOn(site);
}

// The settings file's own message speaks of the program's folder, which is
// not where --intranet looks.
QString SiteCommand::intranetProblem(const QString& folder) const
{
    if (m_intranet.isEmpty())
        return QString();
    const QFileInfo named(folder);
    if (!named.exists())
        return QStringLiteral("The folder %1, which --intranet names, does not exist.")
            .arg(nativePath(folder));
    if (!named.isDir())
        return QStringLiteral("%1, which --intranet names, is not a folder: name the intranet's "
                              "root folder, the one that holds tkshrtct.ini.")
            .arg(nativePath(folder));
    if (!files::nameExists(joinPath(folder, settingsFileName)))
        return QStringLiteral("The folder %1, which --intranet names, holds no tkshrtct.ini: name "
                              "the intranet's root folder, the one that holds it.")
            .arg(nativePath(folder));
    return QString();
}

bool SiteCommand::confirmed(const QString& question, int* status)
{
    say(question);
    if (m_assumeYes) {
        say(QStringLiteral("[y/N] yes (--yes)"));
        return true;
    }
    m_console.out(QStringLiteral("[y/N] "));
    QString answer;
    switch (m_console.readLine(&answer)) {
    case Console::Input::NoTerminal:
        complain(QStringLiteral("\nThere is no terminal to ask on, so nothing was changed.  Run "
                                "the command again with --yes to go ahead without being asked."));
        *status = ExitStatus::Refused;
        return false;
    case Console::Input::EndOfInput:
        m_console.out(QStringLiteral("\n"));
        break;
    case Console::Input::Line: {
        const QString word = answer.trimmed().toLower();
        if (word == QLatin1String("y") || word == QLatin1String("yes"))
            return true;
        break;
    }
    }
    say(QStringLiteral("Nothing was changed."));
    *status = ExitStatus::Refused;
    return false;
}

void SiteCommand::say(const QString& text) const
{
    m_console.out(text + QLatin1Char('\n'));
}

void SiteCommand::complain(const QString& text) const
{
    m_console.err(text + QLatin1Char('\n'));
}

void SiteCommand::reportStop(const SiteData& site, const EnrolmentResult& result) const
{
    complain(stopText(site, result));
    if (!result.foldersLeft.isEmpty())
        complain(foldersLeftText(result.foldersLeft));
    if (!result.changedAnything())
        complain(QStringLiteral("Nothing was changed."));
}

void SiteCommand::reportAftermath(const EnrolmentResult& result) const
{
    if (result.leftovers.registered > 0 || result.leftovers.removed > 0)
        say(leftoversText(result.leftovers));
    if (result.afterRegistered)
        complain(afterRegisteredText(*result.afterRegistered));
    if (result.logLeft)
        complain(QStringLiteral("The change is made, but it could not be written to the log: %1")
                     .arg(failureText(*result.logLeft)));
    if (result.lockLeft)
        complain(lockLeftText(*result.lockLeft));
}

} // namespace tk::cli
