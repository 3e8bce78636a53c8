#pragma once

#include "enrol/Enrolment.h"

#include <functional>

namespace tk::cli {

// What the command line ends with, as the README documents it.
namespace ExitStatus {
constexpr int Added = 0; // every student is in the register (or, with --dry-run, can be)
constexpr int CannotLoad = 1; // tkshrtct.ini or tkshrtct.dat cannot be read
constexpr int Usage = 2; // the command line, or the list it names, cannot be used
constexpr int Refused = 3; // input refused, or the question answered No
constexpr int PageOrPath = 4; // a damaged page, or a year, class or master folder missing
constexpr int FailedAfterChange = 5; // a failure that left something changed
constexpr int FailedUnchanged = 6; // a failure that changed nothing
} // namespace ExitStatus

// The program that a command to type or paste names: the console program,
// which a Windows console waits for. The window program takes commands too.
inline const QString consoleProgram = QStringLiteral("tkaddstudent-cli");

// The command line's own words: what happened, what was changed, what to do.
QString failureText(const FailureReport& failure);
QString masterPageProblem(const SiteData& site, PageState state);
QString classPageProblem(const SiteData& site, const Student& student, PageState state);
QString lockedProblem(const SiteData& site, const QString& holder);
QString lockLeftText(const FailureReport& failure);
QString afterRegisteredText(const FailureReport& failure);
QString registerChangedProblem(const QString& problem);
// Why an enrolment stopped, in a sentence or two; empty when it did not.
QString stopText(const SiteData& site, const EnrolmentResult& result);
// The exit status of a run that stopped, or of one that went through.
int statusOf(const EnrolmentResult& result);
QString foldersLeftText(const QStringList& folders);
QString leftoversText(const Leftovers& leftovers);
QString nextStepText(const QStringList& classFolders);
// Whether this run links the class pages: --link, --no-link, or tkaddstudent.ini.
bool linksClassPages(const SiteData& site, const std::optional<bool>& asked);
// One line for each class page: the students linked from it (or, `planned`,
// to be) and those not, with why and the line to add by hand.
QString classPageLinksText(const QList<ClassPageLinks>& pages,
                           const std::function<QString(qsizetype)>& nameOf, bool planned);

} // namespace tk::cli
