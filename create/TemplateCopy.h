#pragma once

#include <QString>

namespace tk {

// A page under 100 bytes is taken for a damaged one. Throws NumberedFailure
// when the page or its folder is missing.
constexpr qint64 corruptPageThreshold = 100;
bool pageLooksSound(const QString& folderPath);

// Fills the freshly made student folder with the whole master template and
// puts the student's name into its home page. Everything in it is on the
// disk when this returns, so that the register never names a student whose
// files a power cut could still take. Throws NumberedFailure.
void fillStudentFolder(const QString& masterFolderPath, const QString& studentFolderPath,
                       const QString& fullName);

} // namespace tk
