#include "platform/FileServices.h"

#include "platform/NumberedFailure.h"
#include "platform/SystemCalls.h"
#include "platform/SystemText.h"

#include <QDir>
#include <QFile>
#include <QStringBuilder>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <dirent.h>
#include <unistd.h>
#endif

namespace tk {

QString joinPath(const QString& folder, const QString& name)
{
    return folder % QLatin1Char('/') % name; // one allocation: a list joins thousands
}

QString nativePath(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

std::filesystem::path toFsPath(const QString& path)
{
#ifdef _WIN32
    return std::filesystem::path(nativePath(path).toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

QString fromFsPath(const std::filesystem::path& path)
{
#ifdef _WIN32
    return QDir::fromNativeSeparators(QString::fromStdWString(path.wstring()));
#else
    return QFile::decodeName(QByteArray::fromStdString(path.string()));
#endif
}

bool writeText(std::FILE* stream, const QString& text)
{
#ifdef _WIN32
    const auto console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (GetConsoleMode(console, &mode)) {
        std::fflush(stream);
        DWORD written = 0;
        return WriteConsoleW(console, text.utf16(), static_cast<DWORD>(text.size()), &written,
                             nullptr)
            && written == static_cast<DWORD>(text.size());
    }
#endif
    const QByteArray bytes = text.toUtf8();
    return std::fwrite(bytes.constData(), 1, bytes.size(), stream)
        == static_cast<std::size_t>(bytes.size())
        && std::fflush(stream) == 0;
}

namespace files {

namespace {

// A thin, errno-reporting layer over the C run-time: on Windows its _w* calls
// set errno as POSIX does, which keeps a single mapping to failure numbers.
#ifdef _WIN32
using FileStatus = struct _stat64;
int systemOpen(const QString& path, int flags)
{
    return _wopen(reinterpret_cast<const wchar_t*>(nativePath(path).utf16()),
                  flags | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}
long long systemWrite(int fd, const char* data, qint64 size)
{
    return _write(fd, data, static_cast<unsigned>(std::min<qint64>(size, 1 << 30)));
}
long long systemRead(int fd, char* data, qint64 size)
{
    return _read(fd, data, static_cast<unsigned>(std::min<qint64>(size, 1 << 30)));
}
int systemStatus(int fd, FileStatus* status)
{
    return _fstat64(fd, status);
}
bool isPlainFile(const FileStatus& status)
{
    return (status.st_mode & _S_IFMT) == _S_IFREG;
}
int systemSync(int fd)
{
    return _commit(fd);
}
int systemClose(int fd)
{
    return _close(fd);
}
int flagsFor(File::Mode mode)
{
    switch (mode) {
    case File::Mode::Read:
        return _O_RDONLY;
    case File::Mode::CreateNew:
        return _O_WRONLY | _O_CREAT | _O_EXCL;
    case File::Mode::Folder:
        break;
    }
    return _O_RDONLY; // folders cannot be opened here; nothing asks for one on Windows
}
#else
using FileStatus = struct stat;
int systemOpen(const QString& path, int flags)
{
    int fd;
    do {
        fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}
long long systemWrite(int fd, const char* data, qint64 size)
{
    return ::write(fd, data, static_cast<size_t>(size));
}
long long systemRead(int fd, char* data, qint64 size)
{
    return ::read(fd, data, static_cast<size_t>(size));
}
int systemStatus(int fd, FileStatus* status)
{
    return ::fstat(fd, status);
}
bool isPlainFile(const FileStatus& status)
{
    return S_ISREG(status.st_mode);
}
int systemSync(int fd)
{
    return ::fsync(fd);
}
int systemClose(int fd)
{
    return ::close(fd);
}
int flagsFor(File::Mode mode)
{
    switch (mode) {
    case File::Mode::Read:
        // Opening a pipe for reading would wait for a writer.
        return O_RDONLY | O_NONBLOCK | O_NOCTTY;
    case File::Mode::CreateNew:
        return O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW;
    case File::Mode::Folder:
        return O_RDONLY | O_DIRECTORY;
    }
    return O_RDONLY;
}
#endif

// Returns the errno of a call: the injected one, or the real one after `call`.
template<typename Call>
int checkedCall(SystemCall op, const QString& path, Call call)
{
    if (const int injected = injectedError(op, path))
        return injected;
    errno = 0;
    return call() ? 0 : (errno ? errno : EIO);
}

const char* openingOperation(File::Mode mode)
{
    switch (mode) {
    case File::Mode::Read:
        return "Open file for reading";
    case File::Mode::Folder:
        return "Open folder";
    case File::Mode::CreateNew:
        break;
    }
    return "Open file for writing";
}

bool linkIsUnsupported(const std::error_code& error)
{
    const std::error_condition c = error.default_error_condition();
    return c == std::errc::operation_not_permitted || c == std::errc::not_supported
        || c == std::errc::operation_not_supported || c == std::errc::function_not_supported
        || c == std::errc::cross_device_link || c == std::errc::too_many_links;
}

} // namespace

File::File(const QString& path, Mode mode)
    : m_path(path)
    , m_mode(mode)
{
    const int error = checkedCall(SystemCall::Open, path, [&] {
        m_descriptor = systemOpen(path, flagsFor(mode));
        return m_descriptor >= 0;
    });
    if (error)
        raiseFailure(error, QString::fromLatin1(openingOperation(mode)), path);
    FileStatus status{};
    if (mode == Mode::Read && (systemStatus(m_descriptor, &status) != 0 || !isPlainFile(status))) {
        closeQuietly();
        throw NumberedFailure(FailureNumber::DeviceIoError, QStringLiteral("Read a plain file"),
                              path);
    }
}

File::~File()
{
    closeQuietly();
}

qint64 File::read(char* data, qint64 size)
{
    long long got = 0;
    const int error = checkedCall(SystemCall::Read, m_path, [&] {
        do {
            got = systemRead(m_descriptor, data, size);
        } while (got < 0 && errno == EINTR);
        return got >= 0;
    });
    if (error)
        raiseFailure(error, QStringLiteral("Read file"), m_path);
    return got;
}

qint64 File::sizeHint() const
{
    FileStatus status{};
    return systemStatus(m_descriptor, &status) == 0 ? static_cast<qint64>(status.st_size) : 0;
}

QByteArray File::readAll()
{
    // One more byte than the size, so that the read that finds the end needs no growth.
    QByteArray bytes(std::max<qint64>(sizeHint(), 0) + 1, Qt::Uninitialized);
    qint64 filled = 0;
    for (;;) {
        if (filled == bytes.size())
            bytes.resize(bytes.size() * 2);
        const qint64 got = read(bytes.data() + filled, bytes.size() - filled);
        if (got == 0)
            break;
        filled += got;
    }
    bytes.truncate(filled);
    return bytes;
}

void File::write(QByteArrayView bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        long long written = 0;
        const int error = checkedCall(SystemCall::Write, m_path, [&] {
            do {
                written = systemWrite(m_descriptor, bytes.data() + done, bytes.size() - done);
            } while (written < 0 && errno == EINTR);
            if (written == 0)
                errno = ENOSPC; // a write that makes no progress is a full disk
            return written > 0;
        });
        if (error)
            raiseFailure(error, QStringLiteral("Write file"), m_path);
        done += written;
    }
}

#ifdef __linux__
bool File::copyRestInKernel(File& target)
{
    // Up to the length at the start: one call for most files, where a call
    // that finds the end would cost another (on a share, another round trip).
    qint64 left = sizeHint();
    if (left <= 0)
        return false; // empty, or a length the file system does not know: a read tells
    for (bool first = true; left > 0; first = false) {
        ssize_t copied = 0;
        const int error = checkedCall(SystemCall::CopyData, target.m_path, [&] {
            do {
                copied = ::copy_file_range(m_descriptor, nullptr, target.m_descriptor, nullptr,
                                           static_cast<size_t>(left), 0);
            } while (copied < 0 && errno == EINTR);
            return copied >= 0;
        });
        switch (error) {
        case 0:
            break;
        // No such copy on this file system or between these two; a refused
        // call moves neither offset.
        case EXDEV:
        case EINVAL:
        case EOPNOTSUPP:
        case ENOSYS:
            return false;
        default:
            // Told as a write of the copy, as when the bytes went through here.
            raiseFailure(error, QStringLiteral("Write file"), target.m_path);
        }
        // Some file systems answer 0 at once for a file that has bytes.
        if (copied == 0)
            return !first;
        left -= copied;
    }
    return true;
}
#endif

void File::sync()
{
    const bool folder = m_mode == Mode::Folder;
    const int error = checkedCall(folder ? SystemCall::SyncFolder : SystemCall::Sync, m_path,
                                  [&] { return systemSync(m_descriptor) == 0; });
    if (error)
        raiseFailure(error, folder ? QStringLiteral("Flush folder") : QStringLiteral("Flush file"),
                     m_path);
}

#ifdef __linux__
void File::syncFileSystem()
{
    if (const int error = checkedCall(SystemCall::SyncFileSystem, m_path,
                                      [&] { return ::syncfs(m_descriptor) == 0; }))
        raiseFailure(error, QStringLiteral("Flush file system"), m_path);
}
#endif

void File::close()
{
    const int fd = m_descriptor;
    m_descriptor = -1;
    if (const int error = checkedCall(SystemCall::Close, m_path,
                                      [&] { return systemClose(fd) == 0; }))
        raiseFailure(error, QStringLiteral("Close file"), m_path);
}

// On a path that is already failing the first error is the one to report.
void File::closeQuietly()
{
    if (m_descriptor >= 0)
        systemClose(m_descriptor);
    m_descriptor = -1;
}

qint64 fileLength(const QString& path)
{
    std::uintmax_t size = 0;
    const std::error_code error = attempt(SystemCall::Length, path, [&](std::error_code& e) {
        size = std::filesystem::file_size(toFsPath(path), e);
    });
    if (error)
        raiseFailure(error, QStringLiteral("Measure file"), path);
    return static_cast<qint64>(size);
}

void makeFolder(const QString& path)
{
    bool made = false;
    std::error_code error = attempt(SystemCall::MakeFolder, path, [&](std::error_code& e) {
        made = std::filesystem::create_directory(toFsPath(path), e);
    });
    if (!error && !made)
        error = std::make_error_code(std::errc::file_exists);
    if (error)
        raiseFailure(error, QStringLiteral("Make folder"), path, MissingMeans::ParentFolder);
}

QByteArray readWholeFile(const QString& path)
{
    File file(path, File::Mode::Read);
    QByteArray bytes = file.readAll();
    file.close();
    return bytes;
}

void removeFileIfPresent(const QString& path)
{
    const std::error_code error = attempt(SystemCall::Remove, path, [&](std::error_code& e) {
        std::filesystem::remove(toFsPath(path), e);
    });
    if (error)
        raiseFailure(error, QStringLiteral("Delete file"), path);
}

File createAfresh(const QString& path)
{
    // Most names are free: the first try costs no removal.
    try {
        return File(path, File::Mode::CreateNew);
    } catch (const NumberedFailure& failure) {
        if (failure.systemError() != EEXIST)
            throw;
    }
    removeFileIfPresent(path);
    return File(path, File::Mode::CreateNew);
}

void renameReplacing(const QString& from, const QString& to)
{
#ifdef _WIN32
    // The C run-time's rename refuses an existing target, and std::filesystem
    // reports every other refusal as one error: call Windows itself. Write
    // through, so that the rename is on the disk when this returns.
    const int error = checkedCall(SystemCall::Rename, from, [&] {
        if (MoveFileExW(reinterpret_cast<const wchar_t*>(nativePath(from).utf16()),
                        reinterpret_cast<const wchar_t*>(nativePath(to).utf16()),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        errno = errnoForWindowsError(GetLastError());
        return false;
    });
    if (error)
        raiseFailure(error, QStringLiteral("Rename file"), from);
#else
    const std::error_code error = attempt(SystemCall::Rename, from, [&](std::error_code& e) {
        std::filesystem::rename(toFsPath(from), toFsPath(to), e);
    });
    if (error)
        raiseFailure(error, QStringLiteral("Rename file"), from);
#endif
}

// Not QFile::rename: when another process puts a file at `to` after it looked,
// it falls back to a copy that replaces that file.
bool moveUnlessTaken(const QString& from, const QString& to)
{
    const int error = checkedCall(SystemCall::Rename, from, [&] {
#ifdef _WIN32
        if (MoveFileExW(reinterpret_cast<const wchar_t*>(nativePath(from).utf16()),
                        reinterpret_cast<const wchar_t*>(nativePath(to).utf16()),
                        MOVEFILE_WRITE_THROUGH))
            return true;
        errno = errnoForWindowsError(GetLastError());
        return false;
#else
        const QByteArray source = QFile::encodeName(from);
        const QByteArray target = QFile::encodeName(to);
#ifdef __linux__
        if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(),
                        RENAME_NOREPLACE)
            == 0)
            return true;
        if (errno != EINVAL) // some network file systems have no such rename; all have links
            return false;
#endif
        if (::link(source.constData(), target.constData()) != 0)
            return false;
        if (::unlink(source.constData()) == 0)
            return true;
        const int unlinkError = errno;
        ::unlink(target.constData());
        errno = unlinkError;
        return false;
#endif
    });
    if (error == EEXIST || error == ENOENT)
        return false;
    if (error)
        raiseFailure(error, QStringLiteral("Rename file"), from);
    return true;
}

namespace {

#ifdef _WIN32
struct FlushOnceCopied
{
    QString path;
    int error = 0;
    bool done = false;
};

// CopyFileExW reports its progress with the copy's own handle: a flush through
// it is one round trip to the server, where opening the copy again to flush it
// would be three (open, flush, close).
DWORD CALLBACK flushOnceCopied(LARGE_INTEGER totalSize, LARGE_INTEGER totalCopied,
                               LARGE_INTEGER /*streamSize*/, LARGE_INTEGER /*streamCopied*/,
                               DWORD /*stream*/, DWORD reason, HANDLE /*source*/, HANDLE target,
                               LPVOID data)
{
    auto* flush = static_cast<FlushOnceCopied*>(data);
    // An empty file has no chunk to report, only the start of its stream.
    const bool copied = totalCopied.QuadPart == totalSize.QuadPart
        && (reason == CALLBACK_CHUNK_FINISHED || totalSize.QuadPart == 0);
    if (flush->done || !copied)
        return PROGRESS_CONTINUE;
    flush->error = checkedCall(SystemCall::Sync, flush->path, [&] {
        if (FlushFileBuffers(target))
            return true;
        errno = errnoForWindowsError(GetLastError());
        return false;
    });
    flush->done = flush->error == 0;
    // Cancelled, CopyFileExW deletes the copy it made.
    return flush->done ? PROGRESS_CONTINUE : PROGRESS_CANCEL;
}

int windowsCall(SystemCall op, const QString& path, const std::function<bool()>& call)
{
    return checkedCall(op, path, [&] {
        if (call())
            return true;
        errno = errnoForWindowsError(GetLastError());
        return false;
    });
}

// On a share the redirector asks the server to copy (SMB2 copy-chunk), so
// the bytes never cross the network.
void copyFileBySystem(const QString& from, const QString& to, bool syncIt)
{
    const std::wstring source = nativePath(from).toStdWString();
    const std::wstring target = nativePath(to).toStdWString();
    FlushOnceCopied flush{to};
    const LPPROGRESS_ROUTINE progress = syncIt ? &flushOnceCopied : nullptr;
    // COPY_FILE_FAIL_IF_EXISTS: an existing name, link or not, is never replaced.
    const int error = windowsCall(SystemCall::CopyData, to, [&] {
        return CopyFileExW(source.c_str(), target.c_str(), progress, &flush, nullptr,
                           COPY_FILE_FAIL_IF_EXISTS);
    });
    if (flush.error)
        raiseFailure(flush.error, QStringLiteral("Flush file"), to);
    // A full disk is the copy's side, told as on Linux, where the kernel's copy fails as a write.
    if (error == ENOSPC)
        raiseFailure(error, QStringLiteral("Write file"), to);
    if (error)
        raiseFailure(error, QStringLiteral("Copy file"), error == EEXIST ? to : from);
    // The copy takes the template's attributes. A read-only one could be
    // neither rewritten (the home page) nor removed (an enrolment undone), as
    // a file made afresh can. Asked right after the copy closed it, the
    // attributes come from the redirector's cache, not the server.
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        const DWORD writable = attributes & ~DWORD(FILE_ATTRIBUTE_READONLY);
        if (const int e = windowsCall(SystemCall::CopyData, to, [&] {
                return SetFileAttributesW(target.c_str(),
                                          writable ? writable : FILE_ATTRIBUTE_NORMAL);
            }))
            raiseFailure(e, QStringLiteral("Copy file"), to);
    }
    if (!syncIt || flush.done)
        return;
    // No progress was reported for this file: it is flushed as a file written here would be.
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (const int e = windowsCall(SystemCall::Open, to, [&] {
            handle = CreateFileW(target.c_str(), GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            return handle != INVALID_HANDLE_VALUE;
        }))
        raiseFailure(e, QStringLiteral("Open file for writing"), to);
    const int syncError = windowsCall(SystemCall::Sync, to,
                                      [&] { return FlushFileBuffers(handle); });
    const int closeError = windowsCall(SystemCall::Close, to, [&] { return CloseHandle(handle); });
    if (syncError)
        raiseFailure(syncError, QStringLiteral("Flush file"), to);
    if (closeError)
        raiseFailure(closeError, QStringLiteral("Close file"), to);
}
#else
void copyByReadingAndWriting(File& source, File& target)
{
    // One buffer for every file of a copy: a fresh one per file would cost an
    // allocation (and, at this size, a mapping) each time.
    thread_local std::vector<char> buffer(std::size_t(256) * 1024);
    for (;;) {
        const qint64 got = source.read(buffer.data(), static_cast<qint64>(buffer.size()));
        if (got == 0)
            break;
        target.write(QByteArrayView(buffer.data(), got));
    }
}

void copyFileBySystem(const QString& from, const QString& to, bool syncIt)
{
    File source(from, File::Mode::Read);
    File target(to, File::Mode::CreateNew);
#ifdef __linux__
    if (!source.copyRestInKernel(target))
#endif
        copyByReadingAndWriting(source, target);
    if (syncIt)
        target.sync();
    target.close();
    source.close();
}
#endif

} // namespace

void copyFile(const QString& from, const QString& to, bool syncIt)
{
    copyFileBySystem(from, to, syncIt);
}

void copyLink(const QString& from, const QString& to)
{
    const std::error_code error = attempt(SystemCall::CopyLink, from, [&](std::error_code& e) {
        std::filesystem::copy_symlink(toFsPath(from), toFsPath(to), e);
    });
    if (error)
        raiseFailure(error, QStringLiteral("Copy link"), from);
}

void linkOrCopy(const QString& original, const QString& copy)
{
    const std::error_code error = attempt(SystemCall::Link, original, [&](std::error_code& e) {
        std::filesystem::create_hard_link(toFsPath(original), toFsPath(copy), e);
    });
    if (!error)
        return;
    if (!linkIsUnsupported(error))
        raiseFailure(error, QStringLiteral("Link file"), original);
    copyFile(original, copy, true);
}

void syncFolder(const QString& folder)
{
#ifdef _WIN32
    // NTFS journals its metadata; a folder cannot be opened for flushing here.
    Q_UNUSED(folder);
#else
    File handle(folder, File::Mode::Folder);
    handle.sync();
    handle.close();
#endif
}

void syncFileSystemOf(const QString& folder)
{
#ifdef __linux__
    File handle(folder, File::Mode::Folder);
    handle.syncFileSystem();
    handle.close();
#else
    // Each file was synced as it was written; what is left is the entries of
    // the folder and its own entry in its parent.
    syncFolder(folder);
    syncFolder(folder.left(folder.lastIndexOf(QLatin1Char('/'))));
#endif
}

void removeFolderTree(const QString& folder)
{
    const std::error_code error = attempt(SystemCall::Remove, folder, [&](std::error_code& e) {
        std::filesystem::remove_all(toFsPath(folder), e);
    });
    if (error)
        raiseFailure(error, QStringLiteral("Remove folder"), folder);
}

bool nameExists(const QString& path)
{
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::symlink_status(toFsPath(path), ignored));
}

namespace {

#ifndef _WIN32
// An ASCII name, as a student's folder name nearly always is, is decoded by
// a copy: decoding each name of a large folder cost more than reading it.
QString nameKeyOf(const char* name)
{
    const QByteArrayView bytes(name);
    const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return caseFoldedKey(ascii ? QString::fromLatin1(bytes) : QFile::decodeName(name));
}
#endif

// The case-folded names in `folder`, as FolderListings asks of them.
void listNameKeys(const QString& folder, TextSet* keys, std::error_code& error)
{
#ifdef _WIN32
    for (std::filesystem::directory_iterator it(toFsPath(folder), error), end; !error && it != end;
         it.increment(error))
        keys->insert(caseFoldedKey(fromFsPath(it->path().filename())));
#else
    // readdir, not std::filesystem, whose paths cost more than the listing.
    const QByteArray path = QFile::encodeName(folder);
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(path.constData()), ::closedir);
    if (!listing) {
        error.assign(errno, std::generic_category());
        return;
    }
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(listing.get());
        if (!entry)
            break;
        keys->insert(nameKeyOf(entry->d_name));
    }
    if (errno != 0)
        error.assign(errno, std::generic_category());
#endif
}

std::optional<TextSet> nameKeysOf(const QString& folder)
{
    TextSet keys;
    const std::error_code error = attempt(SystemCall::ListFolder, folder, [&](std::error_code& e) {
        listNameKeys(folder, &keys, e);
    });
    if (!error)
        return keys;
    if (error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory)
        return TextSet(); // holds nothing
    return std::nullopt;
}

} // namespace

// Where no thread can be started, the listing waits for the first question.
void FolderListings::begin(const QString& folder)
{
    if (m_keys.count(folder) == 0)
        m_keys.emplace(folder,
                       std::async(std::launch::async | std::launch::deferred, nameKeysOf, folder));
}

bool FolderListings::holds(const QString& folder, const QString& name)
{
    if (const auto listing = m_keys.find(folder); listing != m_keys.end()) {
        const Keys& keys = listing->second.get();
        if (keys && keys->count(caseFoldedKey(name)) == 0)
            return false;
    }
    return nameExists(joinPath(folder, name));
}

QStringList subfolderNames(const QString& folder)
{
    QStringList names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(toFsPath(folder), error), end; !error && it != end;
         it.increment(error)) {
        std::error_code ignored;
        if (it->is_directory(ignored))
            names << fromFsPath(it->path().filename());
    }
    names.sort(Qt::CaseInsensitive);
    return names;
}

} // namespace files
} // namespace tk
