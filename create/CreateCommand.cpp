#include "create/CreateCommand.h"

#include "create/HomePage.h"
#include "create/Messages.h"
#include "create/StudentValues.h"
#include "create/TemplateCopy.h"
#include "platform/FileServices.h"
#include "platform/NumberedFailure.h"
#include "platform/UserDialogs.h"
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
    if (!confirm())
        return Outcome::ReturnToWindow;

    const StudentInputs inputs = m_readInputs();
    classFolderPath = classFolderPathFor(m_site, inputs);
    masterFolderPath = masterFolderPathFor(m_site);

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
    folderName = folderNameFor(inputs);
    studentFolderPath = studentFolderPathFor(m_site, inputs, folderName);
    if (const auto refusal = refusalFor(inputs, folderName, m_site.shortcuts.rowCount())) {
        m_dialogs.show(messages::refusalTitle, *refusal, MessageStyle::Error);
        return false;
    }
    const QString question = confirmationText(inputs, studentFolderPath);
    return m_dialogs.show(messages::confirmTitle, question, MessageStyle::Question) != Answer::No;
}

bool CreateCommand::masterPageLooksSound()
{
    if (pageLooksSound(masterFolderPath))
        return true;
    m_dialogs.show(messages::concernTitle, messages::masterPageConcern(masterFolderPath),
                   MessageStyle::Error);
    return false;
}

CreateCommand::Outcome CreateCommand::createStudent()
{
    if (!pageLooksSound(classFolderPath)) {
        m_dialogs.show(messages::concernTitle, messages::classPageConcern(), MessageStyle::Error);
        return Outcome::ReturnToWindow;
    }
    files::makeFolder(studentFolderPath);
    copyTemplate(masterFolderPath, studentFolderPath);

    fullName = fullNameFor(m_readInputs());
    PersonaliseHomePage(studentFolderPath, fullName);

    const StudentInputs inputs = m_readInputs();
    accountName = accountNameFor(inputs);
    UpdateRegister(m_site.appFolder, m_site.shortcuts,
                   newRecordFor(inputs, accountName, folderName));

    const StudentInputs shown = m_readInputs();
    return showAndEnd(messages::successTitle,
                      messages::success(fullNameFor(shown), shown.className),
                      MessageStyle::Information);
}

CreateCommand::Outcome CreateCommand::masterCheckHandler(const NumberedFailure& failure)
{
    if (isMissingPath(failure.number()))
        return showAndEnd(messages::masterMissingTitle, messages::masterMissing(masterFolderPath));
    return endAfterFailure(failure);
}

CreateCommand::Outcome CreateCommand::creationHandler(const NumberedFailure& failure)
{
    if (!isMissingPath(failure.number()))
        return endAfterFailure(failure);
    files::closeAllFiles();
    m_dialogs.show(messages::invalidPathTitle, messages::invalidPath(), MessageStyle::Error);
    return Outcome::ReturnToWindow;
}

CreateCommand::Outcome CreateCommand::endAfterFailure(const NumberedFailure& failure)
{
    if (failure.number() == FailureNumber::PathFileAccess)
        return showAndEnd(messages::problemTitle, messages::problem());
    return showAndEnd(messages::seriousTitle, messages::seriousError(failure.number()));
}

CreateCommand::Outcome CreateCommand::showAndEnd(const QString& title, const QString& text,
                                                 MessageStyle style)
{
    m_dialogs.show(title, text, style);
    files::closeAllFiles();
    return Outcome::EndProgram;
}

} // namespace tk
