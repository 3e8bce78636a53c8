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
    // How the run ended, for a caller that reports more than the window does.
    enum class Ending {
        Added,
        Declined, // the question was answered No
        InputRefused, // nothing changed
        PageOrPathProblem, // a damaged or missing page, year or class; nothing changed
        FailedBeforeChange, // nothing changed
        FailedAfterChange, // the student's folder was made, whole or not
    };

    // `readInputs` is called afresh wherever the command reads the inputs.
    CreateCommand(const SiteData& site, std::function<StudentInputs()> readInputs,
                  UserDialogs& dialogs);

    // Every file is closed before EndProgram is returned.
    Outcome run();
    Ending ending() const { return m_ending; }

private:
    bool confirm();
    bool masterPageLooksSound();
    Outcome createStudent();
    std::optional<ShortcutRegister> registerUnderLock();
    Outcome masterCheckHandler(const NumberedFailure& failure);
    Outcome creationHandler(const NumberedFailure& failure);
    Outcome endAfterFailure(const NumberedFailure& failure);
    Outcome refuse(const QString& text, Ending ending = Ending::InputRefused);
    Outcome warn(const QString& text);
    Outcome showAndEnd(const QString& title, const QString& text, Ending ending,
                       MessageStyle style = MessageStyle::Error);
    Ending failureEnding(Ending beforeChange) const;

    const SiteData& m_site;
    std::function<StudentInputs()> m_readInputs;
    UserDialogs& m_dialogs;

    QString m_studentFolderPath;
    QString m_classFolderPath;
    QString m_masterFolderPath;
    bool m_folderMade = false;
    Ending m_ending = Ending::Declined;
};

} // namespace tk
