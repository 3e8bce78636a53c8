#pragma once

#include <QString>

namespace tk {

// A page under 100 bytes is taken for a damaged one. Throws NumberedFailure
// when the page or its folder is missing.
constexpr qint64 corruptPageThreshold = 100;
bool pageLooksSound(const QString& folderPath);
// Whether the home page in the folder has a place for the student's name.
bool pageHoldsPlaceholder(const QString& folderPath);

// Fills the freshly made student folder with the whole master template and
// puts the student's name into its home page. Throws NumberedFailure. The
// folder is not yet sure to be on the disk: files::syncFileSystemOf() must
// follow before the register names the student.
void fillStudentFolder(const QString& masterFolderPath, const QString& studentFolderPath,
                       const QString& fullName);

} // namespace tk
