#pragma once

#include "cli/Console.h"
#include "enrol/Enrolment.h"

namespace tk::cli {

// What every command that works on an intranet shares: finding and loading
// it, the question, and the report of how an enrolment ended.
class SiteCommand
{
public:
    SiteCommand(const QString& intranet, bool assumeYes, const Console& console);
    virtual ~SiteCommand() = default;

    int execute();

protected:
    virtual int runOn(const SiteData& site) = 0;

    // Asks on the terminal; nothing when the answer ends the command, whose
    // exit status is then in `status`.
    bool confirmed(const QString& question, int* status);
    bool assumesYes() const { return m_assumeYes; }
    void say(const QString& text) const;
    void complain(const QString& text) const;
    // The lines that tell how a run that stopped left things.
    void reportStop(const SiteData& site, const EnrolmentResult& result) const;
    // What went wrong once the students were registered, however the run ended.
    void reportAftermath(const EnrolmentResult& result) const;

    const Console& m_console;

private:
    QString intranetProblem(const QString& folder) const;

    QString m_intranet;
    bool m_assumeYes;
};

} // namespace tk::cli
