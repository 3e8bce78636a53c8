#pragma once

#include "register/SiteFiles.h"

#include <optional>

namespace tk {

// What the operator has typed or picked.
struct StudentInputs
{
    QString surname;
    QString givenName;
    QString loginAccount;
    QString year;
    QString className;
};

// The names and paths of one Create run, all from the operator's input.
QString folderNameFor(const StudentInputs& inputs);
QString classFolderPathFor(const SiteData& site, const StudentInputs& inputs);
QString studentFolderPathFor(const SiteData& site, const StudentInputs& inputs);
QString masterFolderPathFor(const SiteData& site);
QString fullNameFor(const StudentInputs& inputs);
QString accountNameFor(const StudentInputs& inputs);
RegisterRecord newRecordFor(const StudentInputs& inputs);

// The question, with the folder as the operator reads paths.
QString confirmationText(const StudentInputs& inputs, const QString& studentFolderPath);

// Why the input cannot be used, before anything is asked or touched: a name
// that would leave the structure folder, that a Windows file server would
// refuse or alter, or that `shortcuts` could not hold and read back.
std::optional<QString> refusalFor(const StudentInputs& inputs, const ShortcutRegister& shortcuts);

} // namespace tk
