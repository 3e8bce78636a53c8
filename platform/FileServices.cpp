#include "platform/FileServices.h"

#include "platform/FaultInjection.h"
#include "platform/NumberedFailure.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <set>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace tk {

QString joinPath(const QString& folder, const QString& name)
{
    return folder + QDir::separator() + name;
}

std::filesystem::path toFsPath(const QString& path)
{
#ifdef _WIN32
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

QString fromFsPath(const std::filesystem::path& path)
{
#ifdef _WIN32
    return QDir::toNativeSeparators(QString::fromStdWString(path.wstring()));
#else
    return QFile::decodeName(QByteArray::fromStdString(path.string()));
#endif
}

namespace files {

namespace {

// A thin, errno-reporting layer over the C run-time: on Windows its _w* calls
// set errno as POSIX does, which keeps a single mapping to failure numbers.
#ifdef _WIN32
int systemOpen(const QString& path, int flags)
{
    return _wopen(reinterpret_cast<const wchar_t*>(path.utf16()),
                  flags | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}
long long systemWrite(int fd, const char* data, qint64 size)
{
    return _write(fd, data, static_cast<unsigned>(qMin<qint64>(size, 1 << 30)));
}
long long systemRead(int fd, char* data, qint64 size)
{
    return _read(fd, data, static_cast<unsigned>(qMin<qint64>(size, 1 << 30)));
}
int systemSync(int fd) { return _commit(fd); }
int systemClose(int fd) { return _close(fd); }
constexpr int readFlags = _O_RDONLY;
constexpr int createOrEmptyFlags = _O_WRONLY | _O_CREAT | _O_TRUNC;
constexpr int createNewFlags = _O_WRONLY | _O_CREAT | _O_EXCL;
#else
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
int systemSync(int fd) { return ::fsync(fd); }
int systemClose(int fd) { return ::close(fd); }
constexpr int readFlags = O_RDONLY;
constexpr int createOrEmptyFlags = O_WRONLY | O_CREAT | O_TRUNC;
constexpr int createNewFlags = O_WRONLY | O_CREAT | O_EXCL;
#endif

std::set<int>& openDescriptors()
{
    static std::set<int> descriptors;
    return descriptors;
}

// Returns the errno of a call: the injected one, or the real one after `call`.
template<typename Call>
int checkedCall(FileOp op, Call call)
{
    if (const int injected = faults::take(op))
        return injected;
    errno = 0;
    return call() ? 0 : (errno ? errno : EIO);
}

int openDescriptor(const QString& path, int flags, const char* operation)
{
    int fd = -1;
    const int error = checkedCall(FileOp::Open, [&] {
        fd = systemOpen(path, flags);
        return fd >= 0;
    });
    if (error)
        raiseFailure(error, QString::fromLatin1(operation), path);
    openDescriptors().insert(fd);
    return fd;
}

int closeDescriptor(int fd)
{
    openDescriptors().erase(fd);
    return checkedCall(FileOp::Close, [&] { return systemClose(fd) == 0; });
}

// Closes a file on a path that is already failing: the first error is the one to report.
void closeQuietly(int fd)
{
    openDescriptors().erase(fd);
    systemClose(fd);
}

bool linkIsUnsupported(const std::error_code& error)
{
    const std::error_condition c = error.default_error_condition();
    return c == std::errc::operation_not_permitted || c == std::errc::not_supported
        || c == std::errc::operation_not_supported || c == std::errc::function_not_supported
        || c == std::errc::cross_device_link || c == std::errc::too_many_links;
}

void copyBytes(const QString& original, const QString& copy)
{
    const QByteArray bytes = readWholeFile(original);
    OutputFile out(copy, OutputFile::Mode::CreateNew);
    out.write(bytes);
    out.flush();
    out.sync();
    out.close();
}

} // namespace

qint64 fileLength(const QString& path)
{
    std::uintmax_t size = 0;
    const std::error_code error = faults::attempt(FileOp::Length, [&](std::error_code& e) {
        size = std::filesystem::file_size(toFsPath(path), e);
    });
    if (error)
        raiseFailure(error, QStringLiteral("Measure file"), path);
    return static_cast<qint64>(size);
}

void makeFolder(const QString& path)
{
    bool made = false;
    std::error_code error = faults::attempt(FileOp::MakeFolder, [&](std::error_code& e) {
        made = std::filesystem::create_directory(toFsPath(path), e);
    });
    if (!error && !made)
        error = std::make_error_code(std::errc::file_exists);
    if (error)
        raiseFailure(error, QStringLiteral("Make folder"), path, MissingMeans::ParentFolder);
}

QByteArray readWholeFile(const QString& path)
{
    const int fd = openDescriptor(path, readFlags, "Open file for reading");
    QByteArray bytes;
    char chunk[65536];
    for (;;) {
        long long got = 0;
        const int error = checkedCall(FileOp::Read, [&] {
            do {
                got = systemRead(fd, chunk, sizeof chunk);
            } while (got < 0 && errno == EINTR);
            return got >= 0;
        });
        if (error) {
            closeQuietly(fd);
            raiseFailure(error, QStringLiteral("Read file"), path);
        }
        if (got == 0)
            break;
        bytes.append(chunk, static_cast<qsizetype>(got));
    }
    closeDescriptor(fd);
    return bytes;
}

void removeFileIfPresent(const QString& path)
{
    const std::error_code error = faults::attempt(
        FileOp::Remove, [&](std::error_code& e) { std::filesystem::remove(toFsPath(path), e); });
    if (error)
        raiseFailure(error, QStringLiteral("Delete file"), path);
}

void renameReplacing(const QString& from, const QString& to)
{
    const std::error_code error = faults::attempt(FileOp::Rename, [&](std::error_code& e) {
        std::filesystem::rename(toFsPath(from), toFsPath(to), e);
    });
    if (error)
        raiseFailure(error, QStringLiteral("Rename file"), from);
}

void linkOrCopy(const QString& original, const QString& copy)
{
    const std::error_code error = faults::attempt(FileOp::Link, [&](std::error_code& e) {
        std::filesystem::create_hard_link(toFsPath(original), toFsPath(copy), e);
    });
    if (!error)
        return;
    if (!linkIsUnsupported(error))
        raiseFailure(error, QStringLiteral("Link file"), original);
    copyBytes(original, copy);
}

void syncFolder(const QString& folder)
{
#ifdef _WIN32
    // NTFS journals its metadata; a folder cannot be opened for flushing here.
    Q_UNUSED(folder);
#else
    const int fd = openDescriptor(folder, O_RDONLY | O_DIRECTORY, "Open folder");
    const int error = checkedCall(FileOp::SyncFolder, [&] { return systemSync(fd) == 0; });
    if (error) {
        closeQuietly(fd);
        raiseFailure(error, QStringLiteral("Flush folder"), folder);
    }
    closeDescriptor(fd);
#endif
}

int openFileCount()
{
    return static_cast<int>(openDescriptors().size());
}

void closeAllFiles()
{
    const std::set<int> descriptors = openDescriptors();
    for (const int fd : descriptors)
        closeQuietly(fd);
}

OutputFile::OutputFile(const QString& path, Mode mode)
    : m_path(path)
    , m_descriptor(openDescriptor(path, mode == Mode::CreateNew ? createNewFlags : createOrEmptyFlags,
                                  "Open file for writing"))
{
}

OutputFile::~OutputFile()
{
    if (m_descriptor >= 0)
        closeQuietly(m_descriptor);
}

void OutputFile::write(const QByteArray& bytes)
{
    m_buffer.append(bytes);
    if (m_buffer.size() >= 64 * 1024)
        flush();
}

void OutputFile::writeLine(const QByteArray& line)
{
    write(line + QByteArrayLiteral("\r\n"));
}

void OutputFile::flush()
{
    // Handing the buffer over is a step of its own, so that a test can fail it
    // before any byte of it has reached the file.
    if (const int error = faults::take(FileOp::Flush))
        raiseFailure(error, QStringLiteral("Write file"), m_path);
    qsizetype done = 0;
    while (done < m_buffer.size()) {
        long long written = 0;
        const int error = checkedCall(FileOp::Write, [&] {
            do {
                written = systemWrite(m_descriptor, m_buffer.constData() + done,
                                      m_buffer.size() - done);
            } while (written < 0 && errno == EINTR);
            if (written == 0)
                errno = ENOSPC; // a write that makes no progress is a full disk
            return written > 0;
        });
        if (error)
            raiseFailure(error, QStringLiteral("Write file"), m_path);
        done += static_cast<qsizetype>(written);
    }
    m_buffer.clear();
}

void OutputFile::sync()
{
    flush();
    if (const int error = checkedCall(FileOp::Sync, [&] { return systemSync(m_descriptor) == 0; }))
        raiseFailure(error, QStringLiteral("Flush file"), m_path);
}

void OutputFile::close()
{
    flush();
    const int fd = m_descriptor;
    m_descriptor = -1;
    // A deferred write error (NFS, quota) may only show at close.
    if (const int error = closeDescriptor(fd))
        raiseFailure(error, QStringLiteral("Close file"), m_path);
}

} // namespace files
} // namespace tk
