#include "cli/AddCommand.h"

#include "enrol/Refusals.h"
#include "lists/StudentListReader.h"

namespace tk::cli {

namespace {

const QCommandLineOption surname = valueOption("surname", "The student's surname.", "name");
const QCommandLineOption given = valueOption("given", "The student's given or preferred name.",
                                             "name");
const QCommandLineOption year = valueOption("year", "The scholastic year.", "year");
const QCommandLineOption className = valueOption("class", "The class.", "class");
const QCommandLineOption login = valueOption("login", "The student's own login account, if any.",
                                             "account");
const QCommandLineOption from = valueOption(
    "from", "Add every student of a CSV list (\"-\": standard input).", "file");
const QCommandLineOption encoding = valueOption(
    "encoding",
    "The list's character set, when it is not found from the list (UTF-8, UTF-16, "
    "Windows-1252).",
    "name");
const QCommandLineOption dryRun{
    QStringLiteral("dry-run"),
    QStringLiteral("Show what would happen to each student of the list; change nothing.")};
const QCommandLineOption report = valueOption(
    "report", "Write what became of each row of the list to this CSV file.", "file");

const QList<QCommandLineOption> singleOnly{surname, given, year, className, login};
const QList<QCommandLineOption> listOnly{encoding, dryRun, report};

QString listProblem(const QCommandLineParser& parser)
{
    const QString characterSet = parser.value(encoding);
    if (!characterSet.isEmpty() && !isKnownListEncoding(characterSet))
        return QStringLiteral("Unknown character set %1 for --encoding: try UTF-8, UTF-16 or "
                              "Windows-1252.")
            .arg(refusals::quoted(characterSet));
    if (parser.value(from) == QLatin1String("-") && !parser.isSet(yesOption())
        && !parser.isSet(dryRun))
        return QStringLiteral("With --from - the list comes on standard input, where the "
                              "question cannot be asked: add --yes, or --dry-run.");
    return QString();
}

} // namespace

QString AddCommand::name() const
{
    return QStringLiteral("add");
}

QStringList AddCommand::synopsis() const
{
    return {QStringLiteral("add --surname S --given G --year Y --class C [--login L]"),
            QStringLiteral("add --from FILE [--dry-run] [--report FILE]")};
}

QString AddCommand::summary() const
{
    return QStringLiteral("Add one student, or every student of a list.");
}

QList<QCommandLineOption> AddCommand::options() const
{
    return singleOnly + QList<QCommandLineOption>{from} + listOnly + linkOptions()
        + QList<QCommandLineOption>{intranetOption(), yesOption()};
}

QString AddCommand::usageProblem(const QCommandLineParser& parser) const
{
    if (QString problem = linkProblem(parser); !problem.isEmpty())
        return problem;
    const bool list = parser.isSet(from);
    for (const QCommandLineOption& option : list ? singleOnly : listOnly)
        if (parser.isSet(option))
            return list ? QStringLiteral("--from takes the students from the list: leave out %1.")
                              .arg(optionName(option))
                        : QStringLiteral("%1 goes with --from.").arg(optionName(option));
    if (list)
        return listProblem(parser);
    for (const QCommandLineOption& needed : {surname, given, year, className})
        if (!parser.isSet(needed))
            return QStringLiteral("Missing %1.").arg(optionName(needed));
    return QString();
}

int AddCommand::run(const QCommandLineParser& parser, const Console& console) const
{
    AddOptions add;
    add.intranet = parser.value(intranetOption());
    add.assumeYes = parser.isSet(yesOption());
    add.student.surname = parser.value(surname);
    add.student.givenName = parser.value(given);
    add.student.loginAccount = parser.value(login);
    add.student.year = parser.value(year);
    add.student.className = parser.value(className);
    add.list = parser.value(from);
    add.encoding = parser.value(encoding);
    add.reportFile = parser.value(report);
    add.dryRun = parser.isSet(dryRun);
    add.linkClassPages = linksAsked(parser);
    return addStudents(add, console);
}

} // namespace tk::cli
