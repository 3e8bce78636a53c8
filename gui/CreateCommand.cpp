#include "gui/CreateCommand.h"

#include "enrol/ChangeLog.h"
#include "enrol/TemplateCopy.h"
#include "gui/WindowMessages.h"
#include "platform/FileServices.h"
#include "platform/NumberedFailure.h"
#include "register/RegisterLock.h"
#include "register/RegisterReader.h"

namespace tk {

namespace {

// Asked only once the student's page can carry the name. A short page or one
// that cannot be read is told after the question, as the window always did.
bool lacksPlaceholder(const QString& masterFolder)
{
    try {
        return !pageHoldsPlaceholder(masterFolder) && pageLooksSound(masterFolder);
    } catch (const NumberedFailure&) {
        return false;
    }
}

} // namespace

CreateCommand::CreateCommand(const SiteData& site, UserDialogs& dialogs)
    : m_site(site)
    , m_dialogs(dialogs)
    , m_linksClassPages(classPageLinksWanted(site.appFolder))
{
}

CreateCommand::Outcome CreateCommand::run(const StudentInputs& typed)
{
    QString refusal;
    const std::optional<Student> student = Student::from(typed, m_site, &refusal);
    if (!student)
        return refuse(refusal);
    Enrolment enrolment(m_site, {{0, *student}});
    enrolment.setLinksClassPages(m_linksClassPages);
    const StudentReport verdict = enrolment.check(m_site.shortcuts, false).constFirst();
    if (verdict.outcome == StudentOutcome::Refused)
        return refuse(verdict.reason);
    if (lacksPlaceholder(m_site.masterFolder()))
        return warn(messages::masterPlaceholderMissing(m_site.masterFolder()));
    const QString question = m_linksClassPages
        ? messages::confirmation(*student, enrolment.plannedClassPages({0}).constFirst())
        : messages::confirmation(*student);
    if (m_dialogs.show(messages::confirmTitle, question, MessageStyle::Question) == Answer::No)
        return Outcome::ReturnToWindow;
    // The class as the operator typed or picked it, blanks and all.
    return report(enrolment.run(), *student, typed.className);
}

CreateCommand::Outcome CreateCommand::report(const EnrolmentResult& result, const Student& student,
                                             const QString& classText)
{
    if (result.leftovers.registered > 0 || result.leftovers.removed > 0)
        m_dialogs.show(messages::concernTitle,
                       messages::leftovers(result.leftovers.registered, result.leftovers.removed),
                       MessageStyle::Information);
    const Outcome outcome = reportStop(result, student, classText);
    // The student is added: the window's texts stay as they are, and whoever
    // started it from a console reads this there.
    if (result.afterRegistered)
        writeStandardError(QStringLiteral("The student is registered, but the folder %1 could not "
                                          "be flushed to disk (error %2).\n")
                               .arg(nativePath(result.afterRegistered->path),
                                    QString::number(result.afterRegistered->number)));
    if (result.logLeft)
        m_dialogs.show(messages::concernTitle,
                       messages::logNotWritten(joinPath(m_site.appFolder, changeLogFileName)),
                       MessageStyle::Information);
    if (result.lockLeft)
        m_dialogs.show(messages::concernTitle, messages::lockLeft(result.lockLeft->path),
                       MessageStyle::Error);
    return outcome;
}

CreateCommand::Outcome CreateCommand::reportStop(const EnrolmentResult& result,
                                                 const Student& student, const QString& classText)
{
    using Stop = EnrolmentResult::Stop;
    switch (result.stop) {
    case Stop::None:
        return showAndEnd(messages::successTitle,
                          result.classPages.isEmpty()
                              ? messages::success(student.fullName(), classText)
                              : messages::success(student.fullName(), classText,
                                                  result.classPages.constFirst()),
                          MessageStyle::Information);
    case Stop::MasterPageShort:
        return warn(messages::masterPageConcern(m_site.masterFolder()));
    case Stop::MasterNoPlaceholder:
        return warn(messages::masterPlaceholderMissing(m_site.masterFolder()));
    case Stop::ClassPageShort:
        return warn(messages::classPageConcern());
    case Stop::Locked:
        return refuse(messages::registerLocked(RegisterLock::pathIn(m_site.appFolder)));
    case Stop::RegisterUnreadable:
        return refuse(messages::registerUnreadable(result.problem));
    case Stop::Refused:
        return refuse(result.problem);
    case Stop::MasterMissing:
        return showAndEnd(messages::masterMissingTitle,
                          messages::masterMissing(m_site.masterFolder()));
    case Stop::Interrupted: // the window never asks to stop part way
        return Outcome::EndProgram;
    case Stop::PathMissing:
    case Stop::Failed:
        break;
    }
    return reportFailure(result);
}

// The student's folder, if it was made, has been removed again: a missing
// year or class may be chosen anew at once.
CreateCommand::Outcome CreateCommand::reportFailure(const EnrolmentResult& result)
{
    const bool pathMissing = result.stop == EnrolmentResult::Stop::PathMissing;
    const messages::Box box = pathMissing
        ? messages::Box{messages::invalidPathTitle, messages::invalidPath()}
        : messages::failureBox(result.failure->number);
    m_dialogs.show(box.title, box.text, MessageStyle::Error);
    for (const QString& folder : result.foldersLeft)
        m_dialogs.show(messages::folderLeftTitle, messages::folderLeft(folder),
                       MessageStyle::Error);
    return pathMissing ? Outcome::ReturnToWindow : Outcome::EndProgram;
}

CreateCommand::Outcome CreateCommand::refuse(const QString& text)
{
    m_dialogs.show(messages::refusalTitle, text, MessageStyle::Error);
    return Outcome::ReturnToWindow;
}

CreateCommand::Outcome CreateCommand::warn(const QString& text)
{
    m_dialogs.show(messages::concernTitle, text, MessageStyle::Error);
    return Outcome::ReturnToWindow;
}

CreateCommand::Outcome CreateCommand::showAndEnd(const QString& title, const QString& text,
                                                 MessageStyle style)
{
    m_dialogs.show(title, text, style);
    return Outcome::EndProgram;
}

} // namespace tk
