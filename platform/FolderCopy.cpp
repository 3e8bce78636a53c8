#include "platform/FolderCopy.h"

#include "platform/FaultInjection.h"
#include "platform/FileServices.h"
#include "platform/NumberedFailure.h"

#include <QDir>
#include <QRegularExpression>

#include <vector>

namespace fs = std::filesystem;

namespace tk {

namespace {

enum class EntryKind { Folder, File };

struct Pattern
{
    QString folder;
    QRegularExpression name;
};

Pattern splitPattern(const QString& source)
{
    const QString normal = QDir::fromNativeSeparators(source);
    const qsizetype slash = normal.lastIndexOf(QLatin1Char('/'));
#ifdef _WIN32
    const auto caseRule = QRegularExpression::CaseInsensitiveOption;
#else
    const auto caseRule = QRegularExpression::NoPatternOption;
#endif
    const QString wildcard = normal.mid(slash + 1);
    return {QDir::toNativeSeparators(normal.left(slash)),
            QRegularExpression(QRegularExpression::wildcardToRegularExpression(wildcard), caseRule)};
}

void raiseIf(const std::error_code& error, const QString& operation, const fs::path& path,
             MissingMeans missing = MissingMeans::FileOrFolder)
{
    if (error)
        raiseFailure(error, operation, fromFsPath(path), missing);
}

bool isFolder(const fs::directory_entry& entry)
{
    std::error_code ignored;
    return entry.symlink_status(ignored).type() == fs::file_type::directory;
}

bool isCopyableFile(const fs::directory_entry& entry)
{
    std::error_code ignored;
    const fs::file_type type = entry.symlink_status(ignored).type();
    return type == fs::file_type::regular || type == fs::file_type::symlink;
}

std::vector<fs::directory_entry> listFolder(const fs::path& folder, MissingMeans missing)
{
    std::vector<fs::directory_entry> entries;
    const std::error_code error = faults::attempt(FileOp::ListFolder, [&](std::error_code& e) {
        fs::directory_iterator it(folder, e);
        for (const fs::directory_iterator end; !e && it != end; it.increment(e))
            entries.push_back(*it);
    });
    raiseIf(error, QStringLiteral("Read folder"), folder, missing);
    return entries;
}

std::vector<fs::directory_entry> matching(const QString& source, EntryKind kind)
{
    const Pattern pattern = splitPattern(source);
    // As with the original object, a missing source folder is "path not found".
    std::vector<fs::directory_entry> found;
    for (const fs::directory_entry& entry :
         listFolder(toFsPath(pattern.folder), MissingMeans::ParentFolder)) {
        const bool wanted = kind == EntryKind::Folder ? isFolder(entry) : isCopyableFile(entry);
        if (wanted && pattern.name.match(fromFsPath(entry.path().filename())).hasMatch())
            found.push_back(entry);
    }
    return found;
}

void copyOneFile(const fs::directory_entry& entry, const fs::path& target, bool overwrite)
{
    std::error_code ignored;
    if (entry.symlink_status(ignored).type() == fs::file_type::symlink) {
        if (overwrite && fs::is_symlink(fs::symlink_status(target, ignored)))
            fs::remove(target, ignored);
        const std::error_code error = faults::attempt(FileOp::CopySymlink, [&](std::error_code& e) {
            fs::copy_symlink(entry.path(), target, e);
        });
        raiseIf(error, QStringLiteral("Copy link"), entry.path());
        return;
    }
    const auto option =
        overwrite ? fs::copy_options::overwrite_existing : fs::copy_options::none;
    const std::error_code error = faults::attempt(FileOp::CopyFile, [&](std::error_code& e) {
        fs::copy_file(entry.path(), target, option, e);
    });
    raiseIf(error, QStringLiteral("Copy file"), entry.path());
}

void copyTree(const fs::path& from, const fs::path& to, bool overwrite)
{
    const std::error_code error = faults::attempt(
        FileOp::MakeFolder, [&](std::error_code& e) { fs::create_directory(to, e); });
    raiseIf(error, QStringLiteral("Make folder"), to, MissingMeans::ParentFolder);
    for (const fs::directory_entry& entry : listFolder(from, MissingMeans::FileOrFolder)) {
        const fs::path target = to / entry.path().filename();
        if (isFolder(entry))
            copyTree(entry.path(), target, overwrite);
        else if (isCopyableFile(entry))
            copyOneFile(entry, target, overwrite);
    }
}

// As with the original object, a folder pattern that matches nothing is "path
// not found" and a file pattern that matches nothing is "file not found".
void copyMatching(const QString& source, const QString& destination, EntryKind kind,
                  bool overwrite)
{
    const std::vector<fs::directory_entry> entries = matching(source, kind);
    if (entries.empty())
        throw NumberedFailure(kind == EntryKind::Folder ? FailureNumber::PathNotFound
                                                        : FailureNumber::FileNotFound,
                              QStringLiteral("Copy"), source);
    const fs::path target = toFsPath(destination);
    for (const fs::directory_entry& entry : entries) {
        const fs::path to = target / entry.path().filename();
        if (kind == EntryKind::Folder)
            copyTree(entry.path(), to, overwrite);
        else
            copyOneFile(entry, to, overwrite);
    }
}

} // namespace

void FileSystemObject::CopyFolder(const QString& source, const QString& destination,
                                  bool overwrite)
{
    copyMatching(source, destination, EntryKind::Folder, overwrite);
}

void FileSystemObject::CopyFile(const QString& source, const QString& destination,
                                bool overwrite)
{
    copyMatching(source, destination, EntryKind::File, overwrite);
}

} // namespace tk
