#pragma once

#include "cli/Command.h"
#include "enrol/Student.h"

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
    // --link or --no-link for this run; nothing: as tkaddstudent.ini says.
    std::optional<bool> linkClassPages;
};

// "add": one student named by options, or every student of a list.
class AddCommand : public Command
{
public:
    QString name() const override;
    QStringList synopsis() const override;
    QString summary() const override;
    QList<QCommandLineOption> options() const override;
    QString usageProblem(const QCommandLineParser& parser) const override;
    int run(const QCommandLineParser& parser, const Console& console) const override;
};

int addStudents(const AddOptions& options, const Console& console);

} // namespace tk::cli
