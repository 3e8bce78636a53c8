#include "register/RegisterWriter.h"

#include "platform/FileServices.h"
#include "platform/NumberedFailure.h"
#include "register/RegisterLock.h"

#include <algorithm>

namespace tk {

namespace {

const QString byteOrderMark(QChar(0xFEFF));
// The bytes of a UTF-8 byte-order mark, as a file read as Latin-1 holds them.
const QString byteOrderMarkBytes = QStringLiteral("\u00EF\u00BB\u00BF");

// A value that holds a comma must be quoted, or it would not read back as
// one value. One that opens with what reads as a byte-order mark would lose
// it if it opened the file: a blank before it keeps it, since the reader
// skips blanks before a value, and unlike quotes it works for a value that
// holds a quote.
bool needsQuotes(const QString& value)
{
    return value.contains(QLatin1Char(','));
}

bool opensWithByteOrderMark(const QString& value)
{
    return value.startsWith(byteOrderMark) || value.startsWith(byteOrderMarkBytes);
}

void appendField(QString& line, const QString& value)
{
    if (opensWithByteOrderMark(value))
        line += QLatin1Char(' ');
    if (!needsQuotes(value)) {
        line += value;
        return;
    }
    line += QLatin1Char('"');
    line += value;
    line += QLatin1Char('"');
}

// Upper-casing every account name would allocate twice per row; the names are
// nearly always ASCII, where upper-casing keeps every position, so the
// allocating comparison is needed only from the first other character on.
bool sortsBefore(const QString& rowAccount, const QString& upperNewAccount)
{
    const qsizetype common = std::min(rowAccount.size(), upperNewAccount.size());
    for (qsizetype i = 0; i < common; ++i) {
        char16_t left = rowAccount.at(i).unicode();
        if (left >= 0x80)
            return rowAccount.mid(i).toUpper() < QStringView(upperNewAccount).mid(i);
        if (left >= u'a' && left <= u'z')
            left = static_cast<char16_t>(left - (u'a' - u'A'));
        const char16_t right = upperNewAccount.at(i).unicode();
        if (left != right)
            return left < right;
    }
    return rowAccount.size() < upperNewAccount.size();
}

qsizetype textSizeOf(const ShortcutRegister& shortcuts)
{
    qsizetype size = 0;
    for (const RegisterRecord& row : shortcuts.rows)
        size += row.accountName.size() + row.folderName.size() + row.className.size()
            + row.yearName.size() + 8;
    return size;
}

} // namespace

void RegisterRecord::appendText(QString& line) const
{
    appendField(line, accountName);
    line += QLatin1Char(',');
    appendField(line, folderName);
    line += QLatin1Char(',');
    appendField(line, className);
    line += QLatin1Char(',');
    appendField(line, yearName);
}

QString RegisterRecord::text() const
{
    QString line;
    appendText(line);
    return line;
}

qsizetype insertionIndex(const ShortcutRegister& shortcuts, const RegisterRecord& newRecord)
{
    const QString upperNewAccount = newRecord.accountName.toUpper();
    const auto& rows = shortcuts.rows;
    const auto at = std::find_if(rows.begin(), rows.end(), [&](const RegisterRecord& row) {
        return !sortsBefore(row.accountName, upperNewAccount);
    });
    return at - rows.begin();
}

void insertRecord(ShortcutRegister& shortcuts, const RegisterRecord& newRecord)
{
    shortcuts.rows.insert(insertionIndex(shortcuts, newRecord), newRecord);
    if (!shortcuts.years.contains(newRecord.yearName))
        shortcuts.years.append(newRecord.yearName);
    if (!shortcuts.classes.contains(newRecord.className))
        shortcuts.classes.append(newRecord.className);
}

QByteArray registerTextWith(const ShortcutRegister& shortcuts,
                            const QList<RegisterRecord>& newRecords)
{
    ShortcutRegister all = shortcuts;
    for (const RegisterRecord& record : newRecords)
        insertRecord(all, record);
    const QLatin1String lineEnd("\r\n");
    QString text;
    text.reserve(textSizeOf(all));
    for (const RegisterRecord& row : all.rows) {
        row.appendText(text);
        text += lineEnd;
    }
    return encodeFileText(text, shortcuts.encoding);
}

namespace {

// Whether a register file holds anyone: one that cannot be read holds nobody
// that a rewrite could lose.
bool holdsRows(const QString& path)
{
    try {
        const QByteArray bytes = files::readWholeFile(path);
        return std::any_of(bytes.begin(), bytes.end(),
                           [](char c) { return c != ' ' && c != '\r' && c != '\n'; });
    } catch (const NumberedFailure&) {
        return false;
    }
}

void replaceRegister(const QString& appFolder, const ShortcutRegister& current,
                     const QByteArray& text)
{
    const QString newPath = joinPath(appFolder, newRegisterFileName);
    const QString currentPath = joinPath(appFolder, registerFileName);
    const QString oldPath = joinPath(appFolder, oldRegisterFileName);

    // A fresh name, never a link left in its place, so that nothing outside
    // the intranet is written through it.
    files::removeFileIfPresent(newPath);
    files::File out(newPath, files::File::Mode::CreateNew);
    out.write(text);
    out.sync();
    out.close();

    // tkshrtct.dat is never removed: the backup is made beside it, and the new
    // register replaces it in one atomic rename. An emptied register is no
    // backup: where the backup is then the only copy of the school's
    // register, it stays.
    if (!current.rows.isEmpty() || !holdsRows(oldPath)) {
        files::removeFileIfPresent(oldPath);
        files::linkOrCopy(currentPath, oldPath);
    }
    files::renameReplacing(newPath, currentPath);
    try {
        files::syncFolder(appFolder);
    } catch (const NumberedFailure& failure) {
        reportToStandardError(QStringLiteral("The student is registered, but the folder %1 "
                                             "could not be flushed to disk (error %2).")
                                  .arg(nativePath(appFolder), QString::number(failure.number())));
    }
}

} // namespace

// `lock` is the caller's proof that it holds the lock while `current` is
// still what is on disk.
void updateRegister(const QString& appFolder, const ShortcutRegister& current,
                    const QList<RegisterRecord>& newRecords, const RegisterLock& /*lock*/)
{
    replaceRegister(appFolder, current, registerTextWith(current, newRecords));
}

} // namespace tk
