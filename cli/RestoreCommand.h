#pragma once

#include "cli/Command.h"

namespace tk::cli {

// "restore": a removed student's folder back from the holding folder into
// a class, and the student's line back into the register.
class RestoreCommand : public Command
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
