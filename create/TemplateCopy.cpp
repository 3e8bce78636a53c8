#include "create/TemplateCopy.h"

#include "platform/FileServices.h"
#include "platform/FolderCopy.h"

#include <QDir>

namespace tk {

bool pageLooksSound(const QString& folderPath)
{
    return files::fileLength(joinPath(folderPath, QStringLiteral("index.htm")))
        >= corruptPageThreshold;
}

void copyTemplate(const QString& masterFolderPath, const QString& studentFolderPath)
{
    FileSystemObject fileSystem;
    const QString source = joinPath(masterFolderPath, QStringLiteral("*"));
    const QString destination = studentFolderPath + QDir::separator();
    fileSystem.CopyFolder(source, destination, true);
    fileSystem.CopyFile(source, destination, true);
}

} // namespace tk
