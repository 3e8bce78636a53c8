#include "cli/RemoveCommand.h"

#include "cli/RelocationFace.h"

namespace tk::cli {

QString RemoveCommand::name() const
{
    return QStringLiteral("remove");
}

QStringList RemoveCommand::synopsis() const
{
    return {QStringLiteral(
        "remove --account A | --year Y --class C --folder F [--dry-run] [--link | --no-link]")};
}

QString RemoveCommand::summary() const
{
    return QStringLiteral("Take a student out of the register; the folder is kept in removed/.");
}

QList<QCommandLineOption> RemoveCommand::options() const
{
    return studentChoiceOptions()
        + QList<QCommandLineOption>{dryRunOption(), intranetOption(), yesOption()} + linkOptions();
}

QString RemoveCommand::usageProblem(const QCommandLineParser& parser) const
{
    if (QString problem = linkProblem(parser); !problem.isEmpty())
        return problem;
    return studentChoiceProblem(parser);
}

int RemoveCommand::run(const QCommandLineParser& parser, const Console& console) const
{
    RelocationRequest request;
    request.kind = RelocationRequest::Kind::Remove;
    request.student = studentChoiceOf(parser);
    return RelocationFace(parser, request, console).execute();
}

} // namespace tk::cli
