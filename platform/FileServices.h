#pragma once

#include "platform/SystemText.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <filesystem>
#include <future>
#include <map>
#include <optional>

namespace tk {

// Paths inside the program are written with "/" on every platform. They take
// the platform's own form only where the operating system is called and where
// the operator reads them.
QString joinPath(const QString& folder, const QString& name);
QString nativePath(const QString& path);
std::filesystem::path toFsPath(const QString& path);
QString fromFsPath(const std::filesystem::path& path);

// The one way the program writes text to a standard stream: to a Windows
// console in UTF-16, the only form in which it shows every letter whatever
// its code page; to a file or pipe in UTF-8, as scripts and editors read it.
// False when the text did not all go out.
bool writeText(std::FILE* stream, const QString& text);

// The command line's complaints, and the reports of a window started from a console.
inline void writeStandardError(const QString& text)
{
    writeText(stderr, text);
}

// Every operation below throws NumberedFailure when the operating system refuses.
namespace files {

// An open file or folder and its one owner: whatever way a function is left,
// the descriptor is closed exactly once.
class File
{
public:
    enum class Mode {
        Read, // plain files only: a pipe or device is refused, never waited on
        CreateNew, // fails when the name exists, link or not
        Folder, // for syncing it
    };

    File(const QString& path, Mode mode);
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    const QString& path() const { return m_path; }
    bool isOpen() const { return m_descriptor >= 0; }

    // Up to `size` bytes; 0 at the end of the file.
    qint64 read(char* data, qint64 size);
    QByteArray readAll();
    // Every byte, or a failure.
    void write(QByteArrayView bytes);
#ifdef __linux__
    // Has the kernel copy the rest of this file (up to the length it has now)
    // to `target`, so that the bytes never pass through this process, and on
    // a network share never cross the network: the server copies. False when
    // the file system cannot; both files are then left at the offsets where a
    // read-and-write copy goes on.
    bool copyRestInKernel(File& target);
#endif
    // Nothing written (for a folder: no entry made in it) is sure to be on
    // the disk before this returns.
    void sync();
#ifdef __linux__
    // The same for every file and folder of the file system that holds this one.
    void syncFileSystem();
#endif
    // Reports a write error that the system deferred until the close.
    void close();

private:
    qint64 sizeHint() const;
    void closeQuietly();

    QString m_path;
    Mode m_mode;
    int m_descriptor = -1;
};

// Linux can flush a whole file system in one call, far cheaper than a sync
// per file; elsewhere each copied file is synced as it is written.
#ifdef __linux__
constexpr bool syncsWholeFileSystem = true;
#else
constexpr bool syncsWholeFileSystem = false;
#endif

qint64 fileLength(const QString& path);
// Makes exactly one folder; an existing one is a failure, never reused.
void makeFolder(const QString& path);
QByteArray readWholeFile(const QString& path);
// Removes the name itself, never what a link points to.
void removeFileIfPresent(const QString& path);
// A new file at `path`, made exclusively. A file or link left there is
// removed first, so that nothing is ever written through a link.
File createAfresh(const QString& path);
// Atomically puts `from` in the place of `to`, replacing it.
void renameReplacing(const QString& from, const QString& to);
// Moves `from` to `to` in one step, never over an existing `to`. False when
// `to` exists or `from` is gone: another process got there first.
bool moveUnlessTaken(const QString& from, const QString& to);
// `to` is made new; an existing name is a failure. The system copies, where
// it can on the file server itself (copy_file_range, CopyFileExW).
void copyFile(const QString& from, const QString& to, bool syncIt);
void copyLink(const QString& from, const QString& to);
// `copy` becomes a byte-identical copy of `original`, which is never touched:
// a hard link where the file system has them, else a synced copy.
void linkOrCopy(const QString& original, const QString& copy);
// Makes a finished rename in `folder` survive a power cut.
void syncFolder(const QString& folder);
// Makes everything written under `folder` survive a power cut (on Linux,
// everything written to its file system).
void syncFileSystemOf(const QString& folder);
// Removes a folder that this run made, with everything in it. Links inside
// are removed as names: nothing outside the folder is ever touched.
void removeFolderTree(const QString& folder);

// For what the operator is told, not for what is done: no failure is raised.
bool nameExists(const QString& path);
QStringList subfolderNames(const QString& folder);

// Whether names exist in folders, for asking it of many names at once: one
// listing of each folder, where a lookup for each name costs a round trip to
// a file server and, in a large folder out of the cache, a search of its
// index each. A name listed under any case is looked up itself, so that the
// file system, which may or may not tell case, has the last word.
//
// Each listing runs on a thread of its own from the moment its folder is
// named: a large folder out of the cache, or on a file server, takes as long
// to read as the checks of a whole list take to run meanwhile.
class FolderListings
{
public:
    // Begins listing `folder`, unless that is begun already.
    void begin(const QString& folder);
    // Waits for the listing of `folder`, if one was begun; else looks up the
    // one name, which costs less than listing a folder for it.
    bool holds(const QString& folder, const QString& name);

private:
    using Keys = std::optional<TextSet>; // none where the folder could not be listed
    std::map<QString, std::shared_future<Keys>> m_keys;
};

} // namespace files
} // namespace tk
