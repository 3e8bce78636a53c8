#pragma once

#include "cli/Command.h"

namespace tk::cli {

// "remove": a registered student's line out of the register, and the
// student's folder into the holding folder, where restore finds it.
class RemoveCommand : public Command
{
public:
    QString name() const override;
    QStringList synopsis() const override;
    QString summary() const override;
    QList<QCommandLineOption> options() const override;
    QString usageProblem(const QCommandLineParser& parser) const override;
    int run(const QCommandLineParser& parser, const Console& console) const override;
};

} // namespace tk::cli
