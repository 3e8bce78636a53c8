#include "cli/CommandLine.h"

#include "cli/AddCommand.h"
#include "cli/RelocationCommand.h"
#include "cli/Wording.h"
#include "enrol/Refusals.h"

#include <algorithm>

#include "Version.h"

namespace tk {

namespace {

using namespace cli;

const QString exitStatuses = QStringLiteral(
    "Exit status:\n"
    "  0  every student was added, or is in the register already\n"
    "     (with --dry-run: every student can be added)\n"
    "  1  tkshrtct.ini or tkshrtct.dat cannot be read\n"
    "  2  the command line, or the list or the report it names, cannot be\n"
    "     used: a list that is not a CSV list of students, a report that\n"
    "     cannot be made or would replace a file of the intranet or the list\n"
    "  3  a student, or a row of the list, was refused, or the question was\n"
    "     answered No\n"
    "  4  a damaged page, or a year, class or master folder that is missing\n"
    "  5  a failure that left something changed: students of a list added\n"
    "     before it, or a folder that could not be removed again\n"
    "  6  a failure that changed nothing: a folder in the way, the register\n"
    "     locked or changed meanwhile, a file that could not be made or written\n"
    "Statuses 1 to 4 and 6 mean that nothing was changed; 5 also ends a list\n"
    "stopped by Ctrl-C, whose students so far are added.\n"
    "\n"
    "Examples:\n"
    "  tkaddstudent-cli add --surname \"ten Brink\" --given \"Noor Sanne\" --year \"Year 7\"\n"
    "      --class 7B --intranet S:\\intranet\n"
    "  tkaddstudent-cli add --from late.csv --intranet S:\\intranet --dry-run\n"
    "  tkaddstudent-cli add --from late.csv --intranet S:\\intranet --yes --report report.csv\n"
    "\n"
    "tkaddstudent-cli is the command line alone, for consoles and scripts: on Windows\n"
    "the shell waits for it and sees its exit status.  The window program takes the\n"
    "same commands where a console started it.\n");

const QCommandLineOption helpOption{{QStringLiteral("h"), QStringLiteral("help")},
                                    QStringLiteral("Show this help.")};
const QCommandLineOption versionOption{QStringLiteral("version"),
                                       QStringLiteral("Show the version.")};

using Commands = std::vector<std::unique_ptr<Command>>;

// Every verb's options, each once: several verbs share --intranet and --yes.
QList<QCommandLineOption> allOptions(const Commands& verbs)
{
    QList<QCommandLineOption> all{helpOption, versionOption};
    QStringList seen;
    for (const auto& verb : verbs)
        for (const QCommandLineOption& option : verb->options())
            if (!seen.contains(option.names().constLast())) {
                seen << option.names().constLast();
                all << option;
            }
    return all;
}

void setUp(QCommandLineParser& parser, const Commands& verbs)
{
    QStringList forms;
    for (const auto& verb : verbs)
        for (const QString& form : verb->synopsis())
            forms << QStringLiteral("  ") + consoleProgram + QLatin1Char(' ') + form;
    forms << QStringLiteral("  tkaddstudent [--intranet FOLDER]      (the window)");
    parser.setApplicationDescription(
        QStringLiteral("Adds late-enrolling students to the Ilvantis intranet whose root folder "
                       "holds tkshrtct.ini.  The window program, tkaddstudent, opens its window "
                       "when given no command.\n\n")
        + forms.join(QLatin1Char('\n')));
    for (const auto& verb : verbs)
        parser.addPositionalArgument(verb->name(), verb->summary());
    parser.addOptions(allOptions(verbs));
}

QString namesOf(const Commands& verbs)
{
    QStringList names;
    for (const auto& verb : verbs)
        names << verb->name();
    return names.join(QStringLiteral(", "));
}

const Command* commandNamed(const Commands& verbs, const QString& name)
{
    for (const auto& verb : verbs)
        if (verb->name() == name)
            return verb.get();
    return nullptr;
}

// What no verb takes: a missing or unknown verb, a stray word, an option
// given twice or one that belongs to another verb.
QString usageProblem(const QCommandLineParser& parser, const Commands& verbs, const Command* verb)
{
    const QStringList words = parser.positionalArguments();
    if (words.isEmpty())
        return QStringLiteral("Say what to do: %1 %2 ...").arg(consoleProgram, namesOf(verbs));
    if (!verb)
        return QStringLiteral("Unknown command %1: the command%2 %3.")
            .arg(refusals::quoted(words.first()),
                 verbs.size() == 1 ? QStringLiteral(" is") : QStringLiteral("s are"),
                 namesOf(verbs));
    if (words.size() > 1)
        return QStringLiteral("Unexpected word %1 after %2: put quotes around a value "
                              "that holds blanks.")
            .arg(refusals::quoted(words.at(1)), verb->name());
    const QStringList given = parser.optionNames();
    const QList<QCommandLineOption> own = verb->options();
    for (const QCommandLineOption& option : allOptions(verbs)) {
        const bool isSet = parser.isSet(option);
        for (const QString& alias : option.names())
            if (given.count(alias) > 1)
                return QStringLiteral("%1 is given more than once: give it once.")
                    .arg(optionName(option));
        const bool isOwn = std::any_of(own.begin(), own.end(), [&](const QCommandLineOption& o) {
            return o.names() == option.names();
        });
        if (isSet && !isOwn)
            return QStringLiteral("%1 does not go with %2.").arg(optionName(option), verb->name());
    }
    return verb->usageProblem(parser);
}

int usageError(const Console& console, const QString& problem)
{
    console.err(QStringLiteral("tkaddstudent: %1\nSee: %2 --help\n").arg(problem, consoleProgram));
    return ExitStatus::Usage;
}

int runParsed(const QCommandLineParser& parser, const Commands& verbs, const Console& console)
{
    if (parser.isSet(helpOption)) {
        console.out(parser.helpText() + QLatin1Char('\n') + exitStatuses);
        return ExitStatus::Added;
    }
    if (parser.isSet(versionOption)) {
        console.out(QStringLiteral("tkaddstudent %1\n").arg(QLatin1String(tkVersionString)));
        return ExitStatus::Added;
    }
    const QStringList words = parser.positionalArguments();
    const Command* verb = words.isEmpty() ? nullptr : commandNamed(verbs, words.first());
    if (const QString problem = usageProblem(parser, verbs, verb); !problem.isEmpty())
        return usageError(console, problem);
    return verb->run(parser, console);
}

} // namespace

namespace cli {

std::vector<std::unique_ptr<Command>> commands()
{
    std::vector<std::unique_ptr<Command>> verbs;
    verbs.push_back(std::make_unique<AddCommand>());
    for (const auto kind : {RelocationRequest::Kind::Remove, RelocationRequest::Kind::Move,
                            RelocationRequest::Kind::Restore})
        verbs.push_back(std::make_unique<RelocationCommand>(kind));
    return verbs;
}

QCommandLineOption intranetOption()
{
    return {QStringLiteral("intranet"),
            QStringLiteral("The intranet's root folder, which holds tkshrtct.ini (default: the "
                           "program's folder)."),
            QStringLiteral("folder")};
}

QCommandLineOption yesOption()
{
    return {QStringLiteral("yes"), QStringLiteral("Go ahead without asking first.")};
}

QString optionName(const QCommandLineOption& option)
{
    return QStringLiteral("--") + option.names().constLast();
}

QCommandLineOption valueOption(const char* name, const char* description, const char* valueName)
{
    return {QString::fromLatin1(name), QString::fromLatin1(description),
            QString::fromLatin1(valueName)};
}

namespace {

const QCommandLineOption link{
    QStringLiteral("link"),
    QStringLiteral("Keep the class pages' links with the students (link a new one, take out or "
                   "move a link), whatever tkaddstudent.ini says.")};
const QCommandLineOption noLink{
    QStringLiteral("no-link"),
    QStringLiteral("Leave the class pages as they are, whatever tkaddstudent.ini says.")};

} // namespace

QList<QCommandLineOption> linkOptions()
{
    return {link, noLink};
}

QString linkProblem(const QCommandLineParser& parser)
{
    if (parser.isSet(link) && parser.isSet(noLink))
        return QStringLiteral("Give --link or --no-link, not both.");
    return QString();
}

std::optional<bool> linksAsked(const QCommandLineParser& parser)
{
    if (parser.isSet(link) || parser.isSet(noLink))
        return parser.isSet(link);
    return std::nullopt;
}

} // namespace cli

std::optional<QString> windowRequested(const QStringList& arguments)
{
    const QStringList rest = arguments.mid(1);
    if (rest.isEmpty())
        return QString();
    if (rest.size() == 2 && rest.first() == QLatin1String("--intranet"))
        return rest.at(1);
    if (rest.size() == 1 && rest.first().startsWith(QLatin1String("--intranet=")))
        return rest.first().mid(11);
    return std::nullopt;
}

int runCommandLine(const QStringList& arguments, const Console& console)
{
    QCommandLineParser parser;
    const Commands verbs = commands();
    setUp(parser, verbs);
    if (!parser.parse(arguments))
        return usageError(console, parser.errorText());
    try {
        return runParsed(parser, verbs, console);
    } catch (const std::exception& error) {
        console.err(QStringLiteral("tkaddstudent: an unexpected error stopped the command: %1\n"
                                   "Check the intranet's folder and the register before you "
                                   "run it again.\n")
                        .arg(QString::fromLocal8Bit(error.what())));
        return ExitStatus::FailedUnchanged;
    }
}

} // namespace tk
