#pragma once

#include <QString>

namespace tk {

// Fills the existing folder `to` with what `from` holds, in two steps: every
// subfolder with everything inside it, then every file. A folder with no
// subfolder is failure 76, one with no file failure 53; a folder that is
// missing is 76 as well. Symbolic links are copied as links, never followed;
// sockets, pipes and devices are skipped. Any entry that cannot be inspected,
// listed, read or copied is a numbered failure: the copy never succeeds with
// less than the whole folder.
void copyFolderContents(const QString& from, const QString& to);

// The longest path below `folder`, relative to it, in the UTF-16 units that
// Windows counts: what a copy of the folder adds to the path of its target.
// Entries that cannot be listed are left out; the copy itself reports them.
qsizetype longestRelativePath(const QString& folder);

} // namespace tk
