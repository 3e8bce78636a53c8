#pragma once

#include "create/CreateCommand.h"

#include <optional>

namespace tk {

// The names and paths of one Create run, all from the operator's input.
QString folderNameFor(const StudentInputs& inputs);
QString classFolderPathFor(const SiteData& site, const StudentInputs& inputs);
QString studentFolderPathFor(const SiteData& site, const StudentInputs& inputs,
                             const QString& folderName);
QString masterFolderPathFor(const SiteData& site);
QString fullNameFor(const StudentInputs& inputs);
QString accountNameFor(const StudentInputs& inputs);
RegisterRecord newRecordFor(const StudentInputs& inputs, const QString& accountName,
                            const QString& folderName);

QString confirmationText(const StudentInputs& inputs, const QString& studentFolderPath);

// Why the input cannot be used, before anything is asked or touched: a name
// that would leave the structure folder or that the register cannot hold.
std::optional<QString> refusalFor(const StudentInputs& inputs, const QString& folderName,
                                  int registerRows);

} // namespace tk
