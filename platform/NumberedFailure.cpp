#include "platform/NumberedFailure.h"

#include <QFileInfo>

#include <cerrno>

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

void raiseFailure(const std::error_code& error, const QString& operation, const QString& path,
                  MissingMeans missing)
{
    // std::filesystem reports native codes; their portable condition is errno-like
    // on every platform we build for.
    const std::error_condition condition = error.default_error_condition();
    const int errnoValue =
        condition.category() == std::generic_category() ? condition.value() : EIO;
    raiseFailure(errnoValue, operation, path, missing);
}

} // namespace tk
