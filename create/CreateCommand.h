#pragma once

#include "platform/UserDialogs.h"
#include "register/SiteFiles.h"

#include <functional>

namespace tk {

class NumberedFailure;

// What the operator has typed or picked, read from the window's controls.
struct StudentInputs
{
    QString surname;      // Text1
    QString givenName;    // Text2
    QString loginAccount; // Text3
    QString year;         // Combo1
    QString className;    // Combo2
};

// The Create command: one student, start to finish, on the window's thread.
class CreateCommand
{
public:
    enum class Outcome { ReturnToWindow, EndProgram };

    // `readInputs` is called afresh wherever the command reads the controls.
    CreateCommand(const SiteData& site, std::function<StudentInputs()> readInputs,
                  UserDialogs& dialogs);

    // Every file is closed before EndProgram is returned.
    Outcome run();

private:
    bool confirm();
    bool masterPageLooksSound();
    Outcome createStudent();
    Outcome masterCheckHandler(const NumberedFailure& failure);
    Outcome creationHandler(const NumberedFailure& failure);
    Outcome endAfterFailure(const NumberedFailure& failure);
    Outcome showAndEnd(const QString& title, const QString& text,
                       MessageStyle style = MessageStyle::Error);

    const SiteData& m_site;
    std::function<StudentInputs()> m_readInputs;
    UserDialogs& m_dialogs;

    QString folderName;
    QString studentFolderPath;
    QString classFolderPath;
    QString masterFolderPath;
    QString fullName;
    QString accountName;
};

} // namespace tk
