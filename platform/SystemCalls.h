#pragma once

#include <QString>

#include <system_error>

namespace tk::files {

// The system calls that the file services make, named so that the test build
// of this layer can make a chosen one fail: tests run as root, where no
// permission is ever refused, so refusals and full disks are made this way.
enum class SystemCall {
    Length, // stat
    MakeFolder, // mkdir
    ListFolder, // opendir / readdir
    Inspect, // the type of one folder entry
    Open,
    Read,
    Write,
    CopyData, // copy_file_range / CopyFileExW: the system (on a share, the server) copies
    Sync, // fsync of a file
    Close,
    Link, // hard link
    CopyLink, // readlink + symlink
    Rename,
    Remove,
    SyncFolder, // fsync of a folder
    SyncFileSystem, // syncfs
    Lock, // the register's lock file
};

#ifdef TK_TEST_FILE_LAYER
// The errno that the test build fakes for this call on `path`, or 0 to let
// the call go to the system. Defined by the tests, never by the program.
int injectedError(SystemCall call, const QString& path);
#else
// The shipped program asks nobody: every call goes to the system.
constexpr int injectedError(SystemCall /*call*/, const QString& /*path*/)
{
    return 0;
}
#endif

// Runs a std::filesystem-style call, `call(std::error_code&)`, unless the
// test build fakes its failure.
template<typename Call>
std::error_code attempt(SystemCall op, const QString& path, Call call)
{
    if (const int injected = injectedError(op, path))
        return std::make_error_code(static_cast<std::errc>(injected));
    std::error_code error;
    call(error);
    return error;
}

} // namespace tk::files
