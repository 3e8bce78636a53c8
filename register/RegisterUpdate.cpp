#include "register/RegisterUpdate.h"

#include "platform/FileServices.h"

namespace tk {

namespace {

enum InsertState { NotYetWritten = 0, JustWritten = 1, Copying = 2 };

bool sortsBefore(const QString& rowAccount, const QString& newAccount)
{
    // UTF-16 code unit by code unit; a prefix sorts first.
    return rowAccount.toUpper() < newAccount.toUpper();
}

} // namespace

QByteArray registerTextWith(const ShortcutRegister& shortcuts, const RegisterRecord& newRecord)
{
    QString text;
    const auto writeLine = [&text](const QString& line) {
        text += line;
        text += QLatin1String("\r\n");
    };
    InsertState insertState = NotYetWritten;
    for (const RegisterRecord& row : shortcuts.rows) {
        if (insertState == NotYetWritten && !sortsBefore(row.accountName, newRecord.accountName)) {
            writeLine(newRecord.text());
            insertState = JustWritten;
        }
        writeLine(row.text());
        if (insertState == JustWritten)
            insertState = Copying;
    }
    if (insertState == NotYetWritten)
        writeLine(newRecord.text());
    return encodeFileText(text, shortcuts.encoding);
}

void UpdateRegister(const QString& appFolder, const ShortcutRegister& shortcuts,
                    const RegisterRecord& newRecord)
{
    const QString newPath = joinPath(appFolder, newRegisterFileName);
    const QString currentPath = joinPath(appFolder, registerFileName);
    const QString oldPath = joinPath(appFolder, oldRegisterFileName);

    files::OutputFile out(newPath, files::OutputFile::Mode::CreateOrEmpty);
    out.write(registerTextWith(shortcuts, newRecord));
    out.sync();
    out.close();

    // tkshrtct.dat is never removed: the backup is made beside it, and the new
    // register replaces it in one atomic rename.
    files::removeFileIfPresent(oldPath);
    files::linkOrCopy(currentPath, oldPath);
    files::renameReplacing(newPath, currentPath);
    files::syncFolder(appFolder);
}

} // namespace tk
