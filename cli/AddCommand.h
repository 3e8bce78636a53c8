#pragma once

#include "cli/Command.h"

namespace tk::cli {

// "add": one student named by options, or every student of a list, in one enrolment.
class AddCommand : public Command
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
