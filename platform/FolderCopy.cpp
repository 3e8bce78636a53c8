#include "platform/FolderCopy.h"

#include "platform/FileServices.h"
#include "platform/NumberedFailure.h"
#include "platform/SystemCalls.h"

#include <QList>

#include <algorithm>

namespace fs = std::filesystem;

namespace tk {

namespace {

enum class EntryKind { Folder, File, Link, Special };

struct Entry
{
    QString name;
    EntryKind kind;
};

// The type comes with the listing on most file systems, so this costs no
// further look-up; where it does not, a failing look-up is a failure.
EntryKind kindOf(const fs::directory_entry& entry)
{
    fs::file_type type = fs::file_type::none;
    const QString path = fromFsPath(entry.path());
    const std::error_code error = files::attempt(files::SystemCall::Inspect, path,
                                                 [&](std::error_code& e) {
                                                     type = entry.symlink_status(e).type();
                                                 });
    if (error)
        raiseFailure(error, QStringLiteral("Inspect"), path);
    switch (type) {
    case fs::file_type::directory:
        return EntryKind::Folder;
    case fs::file_type::regular:
        return EntryKind::File;
    case fs::file_type::symlink:
        return EntryKind::Link;
    case fs::file_type::block:
    case fs::file_type::character:
    case fs::file_type::fifo:
    case fs::file_type::socket:
        return EntryKind::Special;
    default:
        // Gone since it was listed, or of a kind the system cannot tell.
        throw NumberedFailure(type == fs::file_type::not_found ? FailureNumber::FileNotFound
                                                               : FailureNumber::DeviceIoError,
                              QStringLiteral("Inspect"), path);
    }
}

QList<Entry> listFolder(const QString& folder, MissingMeans missing)
{
    QList<Entry> entries;
    const std::error_code error = files::attempt(
        files::SystemCall::ListFolder, folder, [&](std::error_code& e) {
            fs::directory_iterator it(toFsPath(folder), e);
            for (const fs::directory_iterator end; !e && it != end; it.increment(e))
                entries.append({fromFsPath(it->path().filename()), kindOf(*it)});
        });
    if (error)
        raiseFailure(error, QStringLiteral("Read folder"), folder, missing);
    return entries;
}

void copyEntry(const Entry& entry, const QString& from, const QString& to);

void copyEntries(const QList<Entry>& entries, const QString& from, const QString& to)
{
    for (const Entry& entry : entries)
        copyEntry(entry, from, to);
}

void copyEntry(const Entry& entry, const QString& from, const QString& to)
{
    const QString source = joinPath(from, entry.name);
    const QString target = joinPath(to, entry.name);
    switch (entry.kind) {
    case EntryKind::Folder:
        files::makeFolder(target);
        copyEntries(listFolder(source, MissingMeans::FileOrFolder), source, target);
        break;
    case EntryKind::File:
        files::copyFile(source, target, !files::syncsWholeFileSystem);
        break;
    case EntryKind::Link:
        files::copyLink(source, target);
        break;
    case EntryKind::Special:
        break; // reading a pipe or a device would never end
    }
}

QList<Entry> only(const QList<Entry>& entries, std::initializer_list<EntryKind> kinds)
{
    QList<Entry> chosen;
    std::copy_if(entries.begin(), entries.end(), std::back_inserter(chosen), [&](const Entry& e) {
        return std::find(kinds.begin(), kinds.end(), e.kind) != kinds.end();
    });
    return chosen;
}

} // namespace

void copyFolderContents(const QString& from, const QString& to)
{
    const QList<Entry> entries = listFolder(from, MissingMeans::ParentFolder);
    const QList<Entry> folders = only(entries, {EntryKind::Folder});
    if (folders.isEmpty())
        throw NumberedFailure(FailureNumber::PathNotFound, QStringLiteral("Copy folders"), from);
    copyEntries(folders, from, to);
    const QList<Entry> files = only(entries, {EntryKind::File, EntryKind::Link});
    if (files.isEmpty())
        throw NumberedFailure(FailureNumber::FileNotFound, QStringLiteral("Copy files"), from);
    copyEntries(files, from, to);
}

qsizetype longestRelativePath(const QString& folder)
{
    const fs::path root = toFsPath(folder);
    qsizetype longest = 0;
    std::error_code error;
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end;
         it.increment(error))
        longest = std::max(longest, fromFsPath(it->path().lexically_relative(root)).size());
    return longest;
}

} // namespace tk
