#pragma once

#include "cli/Command.h"
#include "enrol/Relocation.h"

namespace tk::cli {

// "remove": a registered student's line out of the register, and the
// student's folder into the holding folder, where "restore" finds it to put
// both back; "move": the folder and the line to another class or year.
// Everything is checked and shown before the question, the change runs under
// the lock, and what it did is said with the command that undoes it.
class RelocationCommand : public Command
{
public:
    explicit RelocationCommand(RelocationRequest::Kind kind)
        : m_kind(kind)
    {
    }

    QString name() const override;
    QStringList synopsis() const override;
    QString summary() const override;
    QList<QCommandLineOption> options() const override;
    QString usageProblem(const QCommandLineParser& parser) const override;
    int run(const QCommandLineParser& parser, const Console& console) const override;

private:
    RelocationRequest::Kind m_kind;
};

} // namespace tk::cli
