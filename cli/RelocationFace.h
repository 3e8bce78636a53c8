#pragma once

#include "cli/Command.h"
#include "cli/SiteCommand.h"
#include "enrol/Relocation.h"

namespace tk::cli {

QCommandLineOption accountOption();
QCommandLineOption yearOption();
QCommandLineOption classOption();
// The options by which remove and move name a registered student.
QList<QCommandLineOption> studentChoiceOptions();
QString studentChoiceProblem(const QCommandLineParser& parser);
StudentChoice studentChoiceOf(const QCommandLineParser& parser);
QCommandLineOption dryRunOption();

// What remove, move and restore share: everything is checked and shown
// before the question, the change runs under the lock, and what it did is
// said with the command that undoes it.
class RelocationFace : public SiteCommand
{
public:
    RelocationFace(const QCommandLineParser& parser, RelocationRequest request,
                   const Console& console);

protected:
    int runOn(const SiteData& site) override;

private:
    int refuse(const SiteData& site, const RelocationPlan& plan) const;
    int report(const SiteData& site, const RelocationResult& result) const;
    QString preview(const SiteData& site, const RelocationPlan& plan) const;
    QString done(const SiteData& site, const RelocationPlan& plan) const;
    QString undo(const SiteData& site, const RelocationPlan& plan) const;
    QString refusal(const SiteData& site, const RelocationPlan& plan) const;
    QString notDone() const;
    static QString pageLines(const QList<PageChange>& pages, const QString& name, bool planned);

    RelocationRequest m_request;
    bool m_dryRun;
    std::optional<bool> m_link; // --link or --no-link
};

} // namespace tk::cli
