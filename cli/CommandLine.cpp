#include "cli/CommandLine.h"

#include "cli/AddCommand.h"
#include "cli/Wording.h"
#include "lists/StudentListReader.h"

#include <QCommandLineParser>

#include "Version.h"

namespace tk {

namespace {

using namespace cli;

const QString exitStatuses = QStringLiteral(
    "Exit status:\n"
    "  0  every student was added, or is in the register already\n"
    "     (with --dry-run: every student can be added)\n"
    "  1  tkshrtct.ini or tkshrtct.dat cannot be read\n"
    "  2  the command line, or the list it names, cannot be used\n"
    "  3  a student or the list was refused, or the question was answered No\n"
    "  4  a damaged page, or a year, class or master folder that is missing\n"
    "  5  a failure that left something changed: students of a list added\n"
    "     before it, or a folder that could not be removed again\n"
    "  6  a failure that changed nothing: a folder in the way, the register\n"
    "     locked or changed meanwhile, a file that could not be made or written\n"
    "Statuses 1 to 4 and 6 mean that nothing was changed.\n");

struct Options
{
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show this help.")};
    QCommandLineOption version{QStringLiteral("version"), QStringLiteral("Show the version.")};
    QCommandLineOption surname{QStringLiteral("surname"), QStringLiteral("The student's surname."),
                               QStringLiteral("name")};
    QCommandLineOption given{QStringLiteral("given"),
                             QStringLiteral("The student's given or preferred name."),
                             QStringLiteral("name")};
    QCommandLineOption year{QStringLiteral("year"), QStringLiteral("The scholastic year."),
                            QStringLiteral("year")};
    QCommandLineOption className{QStringLiteral("class"), QStringLiteral("The class."),
                                 QStringLiteral("class")};
    QCommandLineOption login{QStringLiteral("login"),
                             QStringLiteral("The student's own login account, if any."),
                             QStringLiteral("account")};
    QCommandLineOption from{QStringLiteral("from"),
                            QStringLiteral("Add every student of a CSV list (\"-\": standard "
                                           "input)."),
                            QStringLiteral("file")};
    QCommandLineOption encoding{QStringLiteral("encoding"),
                                QStringLiteral("The list's character set, when it is not found "
                                               "from the list (UTF-8, UTF-16, Windows-1252)."),
                                QStringLiteral("name")};
    QCommandLineOption dryRun{QStringLiteral("dry-run"),
                              QStringLiteral("Show what would happen to each student of the "
                                             "list; change nothing.")};
    QCommandLineOption report{QStringLiteral("report"),
                              QStringLiteral("Write what became of each row of the list to this "
                                             "CSV file."),
                              QStringLiteral("file")};
    QCommandLineOption intranet{QStringLiteral("intranet"),
                                QStringLiteral("The intranet's root folder, which holds "
                                               "tkshrtct.ini (default: the program's folder)."),
                                QStringLiteral("folder")};
    QCommandLineOption yes{QStringLiteral("yes"), QStringLiteral("Add without asking first.")};

    QList<const QCommandLineOption*> all() const
    {
        return {&help, &version,  &surname, &given,  &year,     &className, &login,
                &from, &encoding, &dryRun,  &report, &intranet, &yes};
    }
    QList<const QCommandLineOption*> singleOnly() const
    {
        return {&surname, &given, &year, &className, &login};
    }
    QList<const QCommandLineOption*> listOnly() const { return {&encoding, &dryRun, &report}; }
};

QString name(const QCommandLineOption& option)
{
    return QStringLiteral("--") + option.names().constLast();
}

void setUp(QCommandLineParser& parser, const Options& options)
{
    parser.setApplicationDescription(
        QStringLiteral("Adds late-enrolling students to the Ilvantis intranet whose root folder "
                       "holds tkshrtct.ini.  Without a command it opens its window.\n\n"
                       "  tkaddstudent add --surname S --given G --year Y --class C [--login L]\n"
                       "  tkaddstudent add --from FILE [--dry-run] [--report FILE]\n"
                       "  tkaddstudent [--intranet FOLDER]      (opens the window)"));
    parser.addPositionalArgument(QStringLiteral("add"),
                                 QStringLiteral("Add one student, or every student of a list."));
    for (const QCommandLineOption* option : options.all())
        parser.addOption(*option);
}

// Which options each form of "add" needs, allows and takes once only.
QString usageProblem(const QCommandLineParser& parser, const Options& options)
{
    const QStringList words = parser.positionalArguments();
    if (words.isEmpty())
        return QStringLiteral("Say what to do: tkaddstudent add ...");
    if (words.first() != QLatin1String("add"))
        return QStringLiteral("Unknown command \"%1\": the command is add.").arg(words.first());
    if (words.size() > 1)
        return QStringLiteral("Unexpected word \"%1\" after add: put quotes around a value "
                              "that holds blanks.")
            .arg(words.at(1));
    const QStringList given = parser.optionNames();
    for (const QCommandLineOption* option : options.all())
        for (const QString& alias : option->names())
            if (given.count(alias) > 1)
                return QStringLiteral("%1 is given more than once: give it once.")
                    .arg(name(*option));
    const bool list = parser.isSet(options.from);
    for (const QCommandLineOption* option : list ? options.singleOnly() : options.listOnly())
        if (parser.isSet(*option))
            return list ? QStringLiteral("--from takes the students from the list: leave out %1.")
                              .arg(name(*option))
                        : QStringLiteral("%1 goes with --from.").arg(name(*option));
    if (list) {
        const QString encoding = parser.value(options.encoding);
        if (!encoding.isEmpty() && !isKnownListEncoding(encoding))
            return QStringLiteral("Unknown character set \"%1\" for --encoding: try UTF-8, "
                                  "UTF-16 or Windows-1252.")
                .arg(encoding);
        if (parser.value(options.from) == QLatin1String("-") && !parser.isSet(options.yes)
            && !parser.isSet(options.dryRun))
            return QStringLiteral("With --from - the list comes on standard input, where the "
                                  "question cannot be asked: add --yes, or --dry-run.");
        return QString();
    }
    for (const QCommandLineOption* needed :
         {&options.surname, &options.given, &options.year, &options.className})
        if (!parser.isSet(*needed))
            return QStringLiteral("Missing %1.").arg(name(*needed));
    return QString();
}

AddOptions addOptions(const QCommandLineParser& parser, const Options& options)
{
    AddOptions add;
    add.intranet = parser.value(options.intranet);
    add.assumeYes = parser.isSet(options.yes);
    add.student = {parser.value(options.surname), parser.value(options.given),
                   parser.value(options.login), parser.value(options.year),
                   parser.value(options.className)};
    add.list = parser.value(options.from);
    add.encoding = parser.value(options.encoding);
    add.reportFile = parser.value(options.report);
    add.dryRun = parser.isSet(options.dryRun);
    return add;
}

int usageError(const Console& console, const QString& problem)
{
    console.err(QStringLiteral("tkaddstudent: %1\nSee: tkaddstudent --help\n").arg(problem));
    return ExitStatus::Usage;
}

int runParsed(const QCommandLineParser& parser, const Options& options, const Console& console)
{
    if (parser.isSet(options.help)) {
        console.out(parser.helpText() + QLatin1Char('\n') + exitStatuses);
        return ExitStatus::Added;
    }
    if (parser.isSet(options.version)) {
        console.out(QStringLiteral("tkaddstudent %1\n").arg(QLatin1String(tkVersionString)));
        return ExitStatus::Added;
    }
    if (const QString problem = usageProblem(parser, options); !problem.isEmpty())
        return usageError(console, problem);
    const AddOptions add = addOptions(parser, options);
    return add.list.isEmpty() ? addOneStudent(add, console) : addStudentList(add, console);
}

} // namespace

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
    const Options options;
    setUp(parser, options);
    if (!parser.parse(arguments))
        return usageError(console, parser.errorText());
    try {
        return runParsed(parser, options, console);
    } catch (const std::exception& error) {
        console.err(QStringLiteral("tkaddstudent: an unexpected error stopped the command: %1\n"
                                   "Check the intranet's folder and the register before you "
                                   "run it again.\n")
                        .arg(QString::fromLocal8Bit(error.what())));
        return ExitStatus::FailedUnchanged;
    }
}

} // namespace tk
