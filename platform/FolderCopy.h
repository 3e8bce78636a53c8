#pragma once

#include <QString>

namespace tk {

// The two copy operations of the Windows file-system object that the template
// copy was designed around, rebuilt on std::filesystem. `source` ends in a
// wildcard pattern ("...\masterstudent\*"); `destination` names an existing
// folder, with or without a trailing separator. Symbolic links are copied as
// links, never followed; sockets, pipes and devices are skipped.
class FileSystemObject
{
public:
    // Copies every folder that the pattern matches, with everything inside it,
    // into `destination`. A pattern that matches no folder is failure 76.
    void CopyFolder(const QString& source, const QString& destination, bool overwrite);
    // Copies every file (and link) that the pattern matches into `destination`.
    // A pattern that matches nothing is failure 53.
    void CopyFile(const QString& source, const QString& destination, bool overwrite);
};

} // namespace tk
