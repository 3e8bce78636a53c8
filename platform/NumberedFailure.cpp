#include "platform/NumberedFailure.h"

#include <QFileInfo>

#include <cerrno>
#ifdef _WIN32
#include <windows.h>
#endif

namespace tk {

NumberedFailure::NumberedFailure(int number, const QString& operation, const QString& path,
                                 int systemError)
    : std::runtime_error(QStringLiteral("%1 failed (%2): %3")
                             .arg(operation, QString::number(number), path)
                             .toStdString())
    , m_number(number)
    , m_systemError(systemError)
    , m_operation(operation)
    , m_path(path)
{
}

namespace {

int numberForMissing(const QString& path, MissingMeans missing)
{
    if (missing == MissingMeans::ParentFolder)
        return FailureNumber::PathNotFound;
    // The platform's own file services say "file not found" only when the
    // folder that should hold the file is there.
    const QFileInfo parent(QFileInfo(path).absolutePath());
    return parent.isDir() ? FailureNumber::FileNotFound : FailureNumber::PathNotFound;
}

} // namespace

QString failureMeaning(int number)
{
    switch (number) {
    case FailureNumber::BadFileName:
        return QStringLiteral("the name is too long or not allowed by the file system");
    case FailureNumber::FileNotFound:
        return QStringLiteral("the file is missing");
    case FailureNumber::DiskFull:
        return QStringLiteral("the disk or the quota is full");
    case FailureNumber::TooManyFiles:
        return QStringLiteral("too many files are open");
    case FailureNumber::RenameAcrossDrives:
        return QStringLiteral("a file would have to move to another drive");
    case FailureNumber::PathFileAccess:
        return QStringLiteral("access was refused, or the name exists already");
    case FailureNumber::PathNotFound:
        return QStringLiteral("a folder on the path is missing");
    default:
        return QStringLiteral("an input/output error");
    }
}

int failureNumberForErrno(int errnoValue, const QString& path, MissingMeans missing)
{
    switch (errnoValue) {
    case ENOENT:
        return numberForMissing(path, missing);
    case ENOTDIR:
    case ELOOP:
        return FailureNumber::PathNotFound;
    case EEXIST:
    case EACCES:
    case EPERM:
    case EROFS:
    case EBUSY:
    case ENOTEMPTY:
    case EISDIR:
        return FailureNumber::PathFileAccess;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG:
        return FailureNumber::DiskFull;
    case EMFILE:
    case ENFILE:
        return FailureNumber::TooManyFiles;
    case EXDEV:
        return FailureNumber::RenameAcrossDrives;
    case ENAMETOOLONG:
    case EINVAL:
        return FailureNumber::BadFileName;
    default:
        return FailureNumber::DeviceIoError;
    }
}

void raiseFailure(int errnoValue, const QString& operation, const QString& path,
                  MissingMeans missing)
{
    throw NumberedFailure(failureNumberForErrno(errnoValue, path, missing), operation, path,
                          errnoValue);
}

#ifdef _WIN32
int errnoForWindowsError(unsigned long error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
        return ENOENT;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_NETWORK_ACCESS_DENIED:
        return EACCES;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_DIR_NOT_EMPTY:
        return ENOTEMPTY;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    case ERROR_NOT_SAME_DEVICE:
        return EXDEV;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY:
        return EINVAL;
    default:
        return EIO;
    }
}
#endif

void raiseFailure(const std::error_code& error, const QString& operation, const QString& path,
                  MissingMeans missing)
{
    // std::filesystem reports errno values, except where a Windows call failed:
    // then the code is the Windows error itself.
    const std::error_condition condition = error.default_error_condition();
    int errnoValue = condition.category() == std::generic_category() ? condition.value() : EIO;
#ifdef _WIN32
    if (error.category() == std::system_category())
        errnoValue = errnoForWindowsError(static_cast<unsigned long>(error.value()));
#endif
    raiseFailure(errnoValue, operation, path, missing);
}

} // namespace tk
