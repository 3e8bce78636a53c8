#pragma once

#include "cli/Console.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <memory>
#include <optional>
#include <vector>

namespace tk::cli {

// One verb of the command line: the options it takes, what it checks of them
// before anything is read, and what it does. A new verb is one class of this
// kind and one line in commands().
class Command
{
public:
    virtual ~Command() = default;

    virtual QString name() const = 0;
    // Its forms, as the help shows them after the program's name.
    virtual QStringList synopsis() const = 0;
    virtual QString summary() const = 0;
    virtual QList<QCommandLineOption> options() const = 0;
    // Why the options given cannot be used together; empty when they can.
    virtual QString usageProblem(const QCommandLineParser& parser) const = 0;
    virtual int run(const QCommandLineParser& parser, const Console& console) const = 0;
};

std::vector<std::unique_ptr<Command>> commands();

// The options of every verb that works on an intranet.
QCommandLineOption intranetOption();
QCommandLineOption yesOption();
// "--name", as the operator types it.
QString optionName(const QCommandLineOption& option);
QCommandLineOption valueOption(const char* name, const char* description, const char* valueName);
// --link and --no-link, for every verb that changes students: whether this
// run was told to keep the class pages' links, or left it to tkaddstudent.ini.
QList<QCommandLineOption> linkOptions();
QString linkProblem(const QCommandLineParser& parser);
std::optional<bool> linksAsked(const QCommandLineParser& parser);

} // namespace tk::cli
