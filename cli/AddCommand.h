#pragma once

#include "cli/Console.h"
#include "enrol/Enrolment.h"

#include <QStringList>

namespace tk::cli {

// What "add" was told on the command line.
struct AddOptions
{
    QString intranet; // empty: the program's own folder
    bool assumeYes = false;
    StudentInputs student; // the single form
    QString list; // the list form: a file, or "-" for standard input
    QString encoding; // of the list; empty: found from its bytes
    QString reportFile;
    bool dryRun = false;
};

// What both forms of "add" share: the intranet, the question, the report of
// how an enrolment ended.
class AddCommand
{
public:
    AddCommand(const AddOptions& options, const Console& console);
    virtual ~AddCommand() = default;

    int execute();

protected:
    virtual int addTo(const SiteData& site) = 0;

    // Asks on the terminal; nothing when the answer ends the command, whose
    // exit status is then in `status`.
    bool confirmed(const QString& question, int* status);
    void say(const QString& text) const;
    void complain(const QString& text) const;
    // The lines that tell how a run that stopped left things.
    void reportStop(const SiteData& site, const EnrolmentResult& result) const;

    const AddOptions& m_options;
    const Console& m_console;
};

int addOneStudent(const AddOptions& options, const Console& console);
int addStudentList(const AddOptions& options, const Console& console);

} // namespace tk::cli
