#include "cli/RestoreCommand.h"

#include "cli/RelocationFace.h"
#include "platform/SystemText.h"

namespace tk::cli {

namespace {

const QCommandLineOption held = valueOption(
    "held", "The student's folder in removed/, as remove printed it.", "name");

QList<QCommandLineOption> needed()
{
    return {held, accountOption(), yearOption(), classOption()};
}

} // namespace

QString RestoreCommand::name() const
{
    return QStringLiteral("restore");
}

QStringList RestoreCommand::synopsis() const
{
    return {QStringLiteral(
        "restore --held NAME --account A --year Y --class C [--dry-run] [--link | --no-link]")};
}

QString RestoreCommand::summary() const
{
    return QStringLiteral("Put a removed student back, as remove printed it.");
}

QList<QCommandLineOption> RestoreCommand::options() const
{
    return needed() + QList<QCommandLineOption>{dryRunOption(), intranetOption(), yesOption()}
    + linkOptions();
}

QString RestoreCommand::usageProblem(const QCommandLineParser& parser) const
{
    for (const QCommandLineOption& option : needed())
        if (!parser.isSet(option))
            return QStringLiteral("Missing %1.").arg(optionName(option));
    return linkProblem(parser);
}

int RestoreCommand::run(const QCommandLineParser& parser, const Console& console) const
{
    RelocationRequest request;
    request.kind = RelocationRequest::Kind::Restore;
    request.student.account = trimBlanks(parser.value(accountOption()));
    request.toYear = trimBlanks(parser.value(yearOption()));
    request.toClass = trimBlanks(parser.value(classOption()));
    request.held = parser.value(held);
    return RelocationFace(parser, request, console).execute();
}

} // namespace tk::cli
