#include "register/RegisterUpdate.h"

#include "platform/FileServices.h"
#include "platform/NumberedFailure.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSysInfo>
#include <QThread>

#include <algorithm>
#include <cerrno>

namespace tk {

namespace {

constexpr auto lockPollInterval = std::chrono::milliseconds(100);

// Says who holds the lock, for whoever finds it left behind.
QByteArray lockOwnerText()
{
    return QStringLiteral("tkaddstudent on %1, process %2, since %3\r\n")
        .arg(QSysInfo::machineHostName(), QString::number(QCoreApplication::applicationPid()),
             QDateTime::currentDateTime().toString(Qt::ISODate))
        .toUtf8();
}

bool tryToMakeLockFile(const QString& path)
{
    std::optional<files::File> lock;
    try {
        lock.emplace(path, files::File::Mode::CreateNew);
    } catch (const NumberedFailure& failure) {
        // Held by another copy: the name is there. Anything else is a refusal.
        if (failure.systemError() == EEXIST)
            return false;
        throw;
    }
    try {
        lock->write(lockOwnerText());
        lock->close();
    } catch (const NumberedFailure&) {
        lock.reset();
        files::removeFileIfPresent(path); // made by this copy, so never left behind
        throw;
    }
    return true;
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

std::optional<RegisterLock> RegisterLock::acquire(const QString& appFolder,
                                                  std::chrono::milliseconds patience)
{
    const QString path = pathIn(appFolder);
    for (auto waited = std::chrono::milliseconds(0);; waited += lockPollInterval) {
        if (tryToMakeLockFile(path))
            return RegisterLock(path);
        if (waited >= patience)
            return std::nullopt;
        QThread::msleep(static_cast<unsigned long>(lockPollInterval.count()));
    }
}

QString RegisterLock::pathIn(const QString& appFolder)
{
    return joinPath(appFolder, lockFileName);
}

RegisterLock::RegisterLock(QString path)
    : m_path(std::move(path))
{
}

RegisterLock::RegisterLock(RegisterLock&& other) noexcept
    : m_path(std::exchange(other.m_path, QString()))
{
}

RegisterLock::~RegisterLock()
{
    if (m_path.isEmpty())
        return;
    try {
        files::removeFileIfPresent(m_path);
    } catch (const NumberedFailure& failure) {
        reportToStandardError(QStringLiteral("Could not remove the lock file %1 (error %2): "
                                             "delete it by hand before the next student is added.")
                                  .arg(nativePath(m_path), QString::number(failure.number())));
    }
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

namespace {

// Every row, with `newRecord`, when there is one, before row `insertAt`.
QByteArray textOf(const ShortcutRegister& shortcuts, const RegisterRecord* newRecord,
                  qsizetype insertAt)
{
    const QLatin1String lineEnd("\r\n");
    QString text;
    text.reserve(textSizeOf(shortcuts) + (newRecord ? newRecord->text().size() + 2 : 0));
    for (qsizetype i = 0; i <= shortcuts.rows.size(); ++i) {
        if (newRecord && i == insertAt) {
            newRecord->appendText(text);
            text += lineEnd;
        }
        if (i < shortcuts.rows.size()) {
            shortcuts.rows.at(i).appendText(text);
            text += lineEnd;
        }
    }
    return encodeFileText(text, shortcuts.encoding);
}

} // namespace

QByteArray registerTextWith(const ShortcutRegister& shortcuts, const RegisterRecord& newRecord)
{
    return textOf(shortcuts, &newRecord, insertionIndex(shortcuts, newRecord));
}

QByteArray registerTextWith(const ShortcutRegister& shortcuts,
                            const QList<RegisterRecord>& newRecords)
{
    ShortcutRegister all = shortcuts;
    for (const RegisterRecord& record : newRecords)
        insertRecord(all, record);
    return textOf(all, nullptr, -1);
}

namespace {

void replaceRegister(const QString& appFolder, const QByteArray& text)
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
    // register replaces it in one atomic rename.
    files::removeFileIfPresent(oldPath);
    files::linkOrCopy(currentPath, oldPath);
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
                    const RegisterRecord& newRecord, const RegisterLock& /*lock*/)
{
    replaceRegister(appFolder, registerTextWith(current, newRecord));
}

void updateRegister(const QString& appFolder, const ShortcutRegister& current,
                    const QList<RegisterRecord>& newRecords, const RegisterLock& /*lock*/)
{
    replaceRegister(appFolder, registerTextWith(current, newRecords));
}

} // namespace tk
