#include "gui/CreateCommand.h"

#include "gui/WindowMessages.h"
#include "platform/NumberedFailure.h"
#include "register/RegisterLock.h"
#include "register/RegisterReader.h"

namespace tk {

namespace {

bool isMissingPath(int number)
{
    return number == FailureNumber::FileNotFound || number == FailureNumber::PathNotFound;
}

} // namespace

CreateCommand::CreateCommand(const SiteData& site, UserDialogs& dialogs)
    : m_site(site)
    , m_dialogs(dialogs)
{
}

CreateCommand::Outcome CreateCommand::run(const StudentInputs& typed)
{
    QString refusal;
    const std::optional<Student> student = Student::from(typed, m_site, &refusal);
    if (!student)
        return refuse(refusal);
    Enrolment enrolment(m_site, {{0, *student}});
    const StudentReport verdict = enrolment.check(m_site.shortcuts, false).constFirst();
    if (verdict.outcome == StudentOutcome::Refused)
        return refuse(verdict.reason);
    if (m_dialogs.show(messages::confirmTitle, messages::confirmation(*student),
                       MessageStyle::Question)
        == Answer::No)
        return Outcome::ReturnToWindow;
    // The class as the operator typed or picked it, blanks and all.
    return report(enrolment.run(), *student, typed.className);
}

CreateCommand::Outcome CreateCommand::report(const EnrolmentResult& result, const Student& student,
                                             const QString& classText)
{
    using Stop = EnrolmentResult::Stop;
    switch (result.stop) {
    case Stop::None:
        return showAndEnd(messages::successTitle, messages::success(student.fullName(), classText),
                          MessageStyle::Information);
    case Stop::MasterPageShort:
        return warn(messages::masterPageConcern(m_site.masterFolder()));
    case Stop::ClassPageShort:
        return warn(messages::classPageConcern());
    case Stop::Locked:
        return refuse(messages::registerLocked(RegisterLock::pathIn(m_site.appFolder)));
    case Stop::RegisterUnreadable:
        return refuse(messages::registerUnreadable(result.problem));
    case Stop::Refused:
        return refuse(result.problem);
    case Stop::MasterCheckFailed:
        if (isMissingPath(result.failure->number))
            return showAndEnd(messages::masterMissingTitle,
                              messages::masterMissing(m_site.masterFolder()));
        return showAndEnd(messages::failureBox(result.failure->number).title,
                          messages::failureBox(result.failure->number).text);
    case Stop::Failed:
        break;
    }
    return reportFailure(result);
}

// The student's folder, if it was made, has been removed again: a missing
// year or class may be chosen anew at once.
CreateCommand::Outcome CreateCommand::reportFailure(const EnrolmentResult& result)
{
    const int number = result.failure->number;
    const messages::Box box = isMissingPath(number)
        ? messages::Box{messages::invalidPathTitle, messages::invalidPath()}
        : messages::failureBox(number);
    m_dialogs.show(box.title, box.text, MessageStyle::Error);
    for (const QString& folder : result.foldersLeft)
        m_dialogs.show(messages::folderLeftTitle, messages::folderLeft(folder),
                       MessageStyle::Error);
    return isMissingPath(number) ? Outcome::ReturnToWindow : Outcome::EndProgram;
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
