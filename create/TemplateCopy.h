#pragma once

#include <QString>

namespace tk {

// A page under 100 bytes is taken for a damaged one. Throws NumberedFailure
// when the page or its folder is missing.
constexpr qint64 corruptPageThreshold = 100;
bool pageLooksSound(const QString& folderPath);

// Fills the freshly made student folder with the whole master template:
// every subfolder with its contents, then every file beside index.htm.
void copyTemplate(const QString& masterFolderPath, const QString& studentFolderPath);

} // namespace tk
