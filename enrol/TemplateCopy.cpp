#include "enrol/TemplateCopy.h"

#include "enrol/HomePage.h"
#include "platform/FileServices.h"
#include "platform/FolderCopy.h"

namespace tk {

bool pageLooksSound(const QString& folderPath)
{
    return files::fileLength(joinPath(folderPath, QStringLiteral("index.htm")))
        >= corruptPageThreshold;
}

bool pageHoldsPlaceholder(const QString& folderPath)
{
    return files::readWholeFile(joinPath(folderPath, QStringLiteral("index.htm")))
        .contains(homePagePlaceholder);
}

void fillStudentFolder(const QString& masterFolderPath, const QString& studentFolderPath,
                       const QString& fullName)
{
    copyFolderContents(masterFolderPath, studentFolderPath);
    personaliseHomePage(studentFolderPath, fullName);
}

} // namespace tk
