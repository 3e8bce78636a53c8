#pragma once

#include <QString>

#include <stdexcept>
#include <system_error>

namespace tk {

// The failure numbers that the operator's messages tell apart, plus the ones we
// give to the other refusals of the operating system. The numbers follow the
// run-time error codes that the Ilvantis tools have always reported, so that the
// code in a "serious error" message means the same thing to the support desk.
namespace FailureNumber {
constexpr int BadFileName = 52; // ENAMETOOLONG, EINVAL
constexpr int FileNotFound = 53; // ENOENT on a file whose folder exists
constexpr int DeviceIoError =
    57; // EIO, a page that is not a plain file, every error not listed here
constexpr int DiskFull = 61; // ENOSPC, EDQUOT, EFBIG
constexpr int TooManyFiles = 67; // EMFILE, ENFILE
constexpr int RenameAcrossDrives = 74; // EXDEV
constexpr int PathFileAccess = 75; // EEXIST, EACCES, EPERM, EROFS, EBUSY, ENOTEMPTY, EISDIR
constexpr int PathNotFound = 76; // ENOENT on the folder path, ENOTDIR, ELOOP

// Whether the failure means that something is not there, rather than that it
// could not be used: the one place that tells the two apart.
constexpr bool meansMissing(int number)
{
    return number == FileNotFound || number == PathNotFound;
}
} // namespace FailureNumber

// The one failure type of every file and folder operation: the number decides
// what the Create command tells the operator; the rest is for the developer.
class NumberedFailure : public std::runtime_error
{
public:
    NumberedFailure(int number, const QString& operation, const QString& path, int systemError = 0);

    int number() const { return m_number; }
    // The errno behind the number, where there is one: several share a number.
    int systemError() const { return m_systemError; }
    const QString& operation() const { return m_operation; }
    const QString& path() const { return m_path; }

private:
    int m_number;
    int m_systemError;
    QString m_operation;
    QString m_path;
};

// What a failure number means, in plain words for whoever reads a report.
QString failureMeaning(int number);

// Whether an ENOENT means the file itself (53) or a folder on its path (76).
enum class MissingMeans { FileOrFolder, ParentFolder };

int failureNumberForErrno(int errnoValue, const QString& path,
                          MissingMeans missing = MissingMeans::FileOrFolder);

[[noreturn]] void raiseFailure(int errnoValue, const QString& operation, const QString& path,
                               MissingMeans missing = MissingMeans::FileOrFolder);
#ifdef _WIN32
// For the Windows calls that report GetLastError() rather than errno.
int errnoForWindowsError(unsigned long error);
#endif

[[noreturn]] void raiseFailure(const std::error_code& error, const QString& operation,
                               const QString& path,
                               MissingMeans missing = MissingMeans::FileOrFolder);

} // namespace tk
