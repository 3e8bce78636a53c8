#pragma once

#include "create/StudentValues.h"
#include "platform/UserDialogs.h"

#include <functional>
#include <optional>

namespace tk {

class NumberedFailure;
class RegisterLock;

// The Create command: one student, start to finish, on the caller's thread.
class CreateCommand
{
public:
    enum class Outcome { ReturnToWindow, EndProgram };

    // `readInputs` is called afresh wherever the command reads the inputs.
    CreateCommand(const SiteData& site, std::function<StudentInputs()> readInputs,
                  UserDialogs& dialogs);

    // Every file is closed before EndProgram is returned.
    Outcome run();

private:
    bool confirm();
    bool masterPageLooksSound();
    Outcome createStudent();
    std::optional<ShortcutRegister> registerUnderLock();
    Outcome masterCheckHandler(const NumberedFailure& failure);
    Outcome creationHandler(const NumberedFailure& failure);
    Outcome endAfterFailure(const NumberedFailure& failure);
    Outcome refuse(const QString& text);
    Outcome showAndEnd(const QString& title, const QString& text,
                       MessageStyle style = MessageStyle::Error);

    const SiteData& m_site;
    std::function<StudentInputs()> m_readInputs;
    UserDialogs& m_dialogs;

    QString m_studentFolderPath;
    QString m_classFolderPath;
    QString m_masterFolderPath;
};

} // namespace tk
