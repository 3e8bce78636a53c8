#pragma once

#include <system_error>

namespace tk {

// Every system call of the file services asks here first, so that a test can
// make one chosen call fail with a chosen errno. Tests run as root, where
// permissions deny nothing, so this is how refusals and full disks are
// reproduced. Production code never arms it.
enum class FileOp {
    Length, // stat
    MakeFolder, // mkdir
    ListFolder, // opendir / readdir
    Inspect, // the type of one folder entry
    Open,
    Read,
    Write,
    Sync, // fsync of a file
    Close,
    Link, // hard link
    CopyLink, // readlink + symlink
    Rename,
    Remove,
    SyncFolder, // fsync of a folder
    SyncFileSystem, // syncfs
};

namespace faults {

// Make the (skip + 1)-th call of `op` from now fail with `errnoValue`.
void failOn(FileOp op, int errnoValue, int skip = 0);
void clear();
// How many calls of `op` were made since the last clear(): lets a test find
// out how many injection points a scenario has.
int callCount(FileOp op);

// Make the n-th call from now, of any operation, kill this process with
// SIGKILL before it reaches the system: nothing after it runs, no destructor,
// no handler, as when the power fails or the operator kills the program. A
// crash test runs the work in a child process and looks at what is left on
// disk. n <= 0 disarms it; clear() does too.
void killAtCall(int n);

// Used by the file services: counts the call and returns the errno to fake, or 0.
int take(FileOp op);

// Runs a std::filesystem-style call, `call(std::error_code&)`, unless a test
// has injected a failure for it.
template<typename Call>
std::error_code attempt(FileOp op, Call call)
{
    if (const int injected = take(op))
        return std::make_error_code(static_cast<std::errc>(injected));
    std::error_code error;
    call(error);
    return error;
}

} // namespace faults
} // namespace tk
