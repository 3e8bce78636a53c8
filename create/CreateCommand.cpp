#include "create/CreateCommand.h"

#include "create/Messages.h"
#include "create/TemplateCopy.h"
#include "platform/FileServices.h"
#include "platform/NumberedFailure.h"
#include "register/RegisterUpdate.h"

namespace tk {

namespace {

bool isMissingPath(int number)
{
    return number == FailureNumber::FileNotFound || number == FailureNumber::PathNotFound;
}

} // namespace

CreateCommand::CreateCommand(const SiteData& site, std::function<StudentInputs()> readInputs,
                             UserDialogs& dialogs)
    : m_site(site)
    , m_readInputs(std::move(readInputs))
    , m_dialogs(dialogs)
{
}

CreateCommand::Outcome CreateCommand::run()
{
    m_folderMade = false;
    m_ending = Ending::Declined;
    if (!confirm())
        return Outcome::ReturnToWindow;

    const StudentInputs inputs = m_readInputs();
    m_classFolderPath = classFolderPathFor(m_site, inputs);
    m_masterFolderPath = masterFolderPathFor(m_site);

    try {
        if (!masterPageLooksSound())
            return Outcome::ReturnToWindow;
    } catch (const NumberedFailure& failure) {
        return masterCheckHandler(failure);
    }
    try {
        return createStudent();
    } catch (const NumberedFailure& failure) {
        return creationHandler(failure);
    }
}

bool CreateCommand::confirm()
{
    const StudentInputs inputs = m_readInputs();
    m_studentFolderPath = studentFolderPathFor(m_site, inputs);
    if (const auto refusal = refusalFor(inputs, m_site.shortcuts)) {
        refuse(*refusal);
        return false;
    }
    const QString question = confirmationText(inputs, m_studentFolderPath);
    return m_dialogs.show(messages::confirmTitle, question, MessageStyle::Question) != Answer::No;
}

bool CreateCommand::masterPageLooksSound()
{
    if (pageLooksSound(m_masterFolderPath))
        return true;
    warn(messages::masterPageConcern(m_masterFolderPath));
    return false;
}

CreateCommand::Outcome CreateCommand::createStudent()
{
    if (!pageLooksSound(m_classFolderPath))
        return warn(messages::classPageConcern());
    // Held from before the folder is made until the register names it, so
    // that a refusal leaves nothing half made and no other copy's row is lost.
    std::optional<RegisterLock> lock = RegisterLock::acquire(m_site.appFolder);
    if (!lock)
        return refuse(messages::registerLocked(RegisterLock::pathIn(m_site.appFolder)),
                      Ending::FailedBeforeChange);
    const std::optional<ShortcutRegister> current = registerUnderLock();
    if (!current)
        return Outcome::ReturnToWindow;
    if (const auto refusal = refusalFor(m_readInputs(), *current))
        return refuse(*refusal);

    files::makeFolder(m_studentFolderPath);
    m_folderMade = true;
    fillStudentFolder(m_masterFolderPath, m_studentFolderPath, fullNameFor(m_readInputs()));
    // The register never names a student whose files a power cut could take.
    files::syncFileSystemOf(m_studentFolderPath);
    updateRegister(m_site.appFolder, *current, newRecordFor(m_readInputs()), *lock);
    lock.reset();

    const StudentInputs shown = m_readInputs();
    return showAndEnd(messages::successTitle,
                      messages::success(fullNameFor(shown), shown.className), Ending::Added,
                      MessageStyle::Information);
}

// Another copy may have added students since this one started: their rows
// are what the new one goes in among.
std::optional<ShortcutRegister> CreateCommand::registerUnderLock()
{
    try {
        return loadRegister(m_site.appFolder);
    } catch (const StartupError& error) {
        refuse(messages::registerUnreadable(error.problem()), Ending::FailedBeforeChange);
        return std::nullopt;
    }
}

CreateCommand::Outcome CreateCommand::masterCheckHandler(const NumberedFailure& failure)
{
    if (isMissingPath(failure.number()))
        return showAndEnd(messages::masterMissingTitle, messages::masterMissing(m_masterFolderPath),
                          Ending::PageOrPathProblem);
    return endAfterFailure(failure);
}

CreateCommand::Outcome CreateCommand::creationHandler(const NumberedFailure& failure)
{
    if (!isMissingPath(failure.number()))
        return endAfterFailure(failure);
    files::closeAllFiles();
    m_ending = failureEnding(Ending::PageOrPathProblem);
    m_dialogs.show(messages::invalidPathTitle, messages::invalidPath(), MessageStyle::Error);
    return Outcome::ReturnToWindow;
}

CreateCommand::Outcome CreateCommand::endAfterFailure(const NumberedFailure& failure)
{
    const messages::Box box = messages::failureBox(failure.number());
    return showAndEnd(box.title, box.text, failureEnding(Ending::FailedBeforeChange));
}

CreateCommand::Ending CreateCommand::failureEnding(Ending beforeChange) const
{
    return m_folderMade ? Ending::FailedAfterChange : beforeChange;
}

CreateCommand::Outcome CreateCommand::refuse(const QString& text, Ending ending)
{
    m_ending = ending;
    m_dialogs.show(messages::refusalTitle, text, MessageStyle::Error);
    return Outcome::ReturnToWindow;
}

CreateCommand::Outcome CreateCommand::warn(const QString& text)
{
    m_ending = Ending::PageOrPathProblem;
    m_dialogs.show(messages::concernTitle, text, MessageStyle::Error);
    return Outcome::ReturnToWindow;
}

CreateCommand::Outcome CreateCommand::showAndEnd(const QString& title, const QString& text,
                                                 Ending ending, MessageStyle style)
{
    m_ending = ending;
    m_dialogs.show(title, text, style);
    files::closeAllFiles();
    return Outcome::EndProgram;
}

} // namespace tk
