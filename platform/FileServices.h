#pragma once

#include <QByteArray>
#include <QString>

#include <filesystem>

namespace tk {

// Joins with the platform's own separator, the form the operator sees in messages.
QString joinPath(const QString& folder, const QString& name);
std::filesystem::path toFsPath(const QString& path);
QString fromFsPath(const std::filesystem::path& path);

// Every operation below throws NumberedFailure when the operating system refuses.
namespace files {

qint64 fileLength(const QString& path);
// Makes exactly one folder; an existing one is a failure, never reused.
void makeFolder(const QString& path);
QByteArray readWholeFile(const QString& path);
void removeFileIfPresent(const QString& path);
// Atomically puts `from` in the place of `to`, replacing it.
void renameReplacing(const QString& from, const QString& to);
// `copy` becomes a byte-identical copy of `original`, which is never touched:
// a hard link where the file system has them, else a synced copy.
void linkOrCopy(const QString& original, const QString& copy);
// Makes a finished rename survive a power cut.
void syncFolder(const QString& folder);

// Files the program holds open; every way of ending the program closes them.
int openFileCount();
void closeAllFiles();

// A file written from scratch, every step checked. Nothing reaches the disk
// for sure until sync() has returned.
class OutputFile
{
public:
    enum class Mode { CreateOrEmpty, CreateNew };

    OutputFile(const QString& path, Mode mode);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void write(const QByteArray& bytes);
    void writeLine(const QByteArray& line); // followed by CR LF
    void flush();
    void sync();
    void close();

private:
    QString m_path;
    int m_descriptor = -1;
    QByteArray m_buffer;
};

} // namespace files
} // namespace tk
