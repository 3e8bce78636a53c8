#include "cli/MoveCommand.h"

#include "cli/RelocationFace.h"
#include "platform/SystemText.h"

namespace tk::cli {

namespace {

const QCommandLineOption toYear = valueOption(
    "to-year", "The year to move the student to (default: the same year).", "year");
const QCommandLineOption toClass = valueOption(
    "to-class", "The class to move the student to (default: the same class).", "class");

} // namespace

QString MoveCommand::name() const
{
    return QStringLiteral("move");
}

QStringList MoveCommand::synopsis() const
{
    return {QStringLiteral("move --account A | --year Y --class C --folder F [--to-year Y] "
                           "--to-class C [--dry-run] [--link | --no-link]")};
}

QString MoveCommand::summary() const
{
    return QStringLiteral("Move a student's folder and line to another class or year.");
}

QList<QCommandLineOption> MoveCommand::options() const
{
    return studentChoiceOptions()
        + QList<QCommandLineOption>{toYear, toClass, dryRunOption(), intranetOption(), yesOption()}
    + linkOptions();
}

QString MoveCommand::usageProblem(const QCommandLineParser& parser) const
{
    if (!parser.isSet(toYear) && !parser.isSet(toClass))
        return QStringLiteral("Say where to: --to-class C, with --to-year Y for a class of "
                              "another year.");
    if (QString problem = linkProblem(parser); !problem.isEmpty())
        return problem;
    return studentChoiceProblem(parser);
}

int MoveCommand::run(const QCommandLineParser& parser, const Console& console) const
{
    RelocationRequest request;
    request.kind = RelocationRequest::Kind::Move;
    request.student = studentChoiceOf(parser);
    request.toYear = trimBlanks(parser.value(toYear));
    request.toClass = trimBlanks(parser.value(toClass));
    return RelocationFace(parser, request, console).execute();
}

} // namespace tk::cli
