#include "cli/ListReport.h"

#include "platform/FileServices.h"
#include "platform/NumberedFailure.h"
#include "platform/TextScan.h"
#include "register/SiteFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <filesystem>

namespace tk::cli {

namespace fs = std::filesystem;

namespace {

// Compared as files, not as names: a link, a hard link, another letter case
// or a share reached by two names is still the same file.
bool sameFile(const QString& a, const QString& b)
{
    std::error_code error;
    return fs::equivalent(toFsPath(a), toFsPath(b), error) && !error;
}

// What the program keeps in the intranet's root folder, which a report
// there would replace.
const struct
{
    const char* name;
    const char* what;
} siteFiles[] = {
    {"tkshrtct.dat", "the register file tkshrtct.dat"},
    {"tkshrtct.old", "tkshrtct.old, the register as it was before its last change"},
    {"tkshrtct.new", "tkshrtct.new, the register while it is being written"},
    {"tkshrtct.lck", "tkshrtct.lck, the lock of the register"},
    {"tkshrtct.ini", "the settings file tkshrtct.ini"},
    {"tkshrtct.jnl", "tkshrtct.jnl, the note of the student folders a run is making"},
    {"tkaddstudent-log.csv", "tkaddstudent-log.csv, the log of every change"},
    {"tkaddstudent-log.new", "tkaddstudent-log.new, the log while it is being written"},
    {"removed", "removed, the folder that keeps removed students' folders"},
};

QString failureWords(const NumberedFailure& failure)
{
    return QStringLiteral("%1 (error %2)")
        .arg(failureMeaning(failure.number()), QString::number(failure.number()));
}

} // namespace

ListReport::ListReport(const QString& path)
    : m_path(QFileInfo(QDir::fromNativeSeparators(path)).absoluteFilePath())
{
}

ListReport::~ListReport()
{
    m_file.reset();
    if (m_partial.isEmpty())
        return;
    try {
        files::removeFileIfPresent(m_partial);
    } catch (const NumberedFailure&) {
        // A stray partial report harms nothing; the command's own outcome is what counts.
    }
}

QString ListReport::begin(const SiteData& site, const QString& list)
{
    const QString shown = nativePath(m_path);
    std::error_code error;
    if (fs::exists(fs::symlink_status(toFsPath(m_path), error))) {
        const fs::file_status target = fs::status(toFsPath(m_path), error);
        if (fs::is_directory(target))
            return QStringLiteral("--report %1 names a folder: name a file.").arg(shown);
        if (!fs::is_regular_file(target))
            return QStringLiteral("--report %1 names something that is not a file (a device, a "
                                  "pipe or a broken link): name a file.")
                .arg(shown);
    }
    const QFileInfo report(m_path);
    if (!QFileInfo(report.absolutePath()).isDir())
        return QStringLiteral("--report %1 cannot be made: the folder %2 does not exist.")
            .arg(shown, nativePath(report.absolutePath()));
    if (QString harm = harmTo(site, list); !harm.isEmpty())
        return harm;
    m_partial = joinPath(report.absolutePath(),
                         QStringLiteral(".%1.%2.part")
                             .arg(report.fileName(),
                                  QString::number(QCoreApplication::applicationPid())));
    try {
        m_file = std::make_unique<files::File>(m_partial, files::File::Mode::CreateNew);
    } catch (const NumberedFailure& failure) {
        m_partial.clear();
        return QStringLiteral("--report %1 cannot be made: %2.").arg(shown, failureWords(failure));
    }
    return QString();
}

QString ListReport::harmTo(const SiteData& site, const QString& list) const
{
    const QString shown = nativePath(m_path);
    const bool exists = QFileInfo::exists(m_path);
    const QFileInfo report(m_path);
    // Where the report lands once every link on its way is followed.
    const QFileInfo resolved(
        exists ? report.canonicalFilePath()
               : joinPath(QFileInfo(report.absolutePath()).canonicalFilePath(), report.fileName()));
    for (const auto& file : siteFiles) {
        const QString name = QString::fromLatin1(file.name);
        // Without case, as on the Windows share that many intranets are.
        if ((sameFile(resolved.absolutePath(), site.appFolder)
             && resolved.fileName().compare(name, Qt::CaseInsensitive) == 0)
            || (exists && sameFile(m_path, joinPath(site.appFolder, name))))
            return QStringLiteral("--report %1 names %2, which the report would replace: name "
                                  "another file.")
                .arg(shown, QLatin1String(file.what));
    }
    if (list != QLatin1String("-")
        && (sameFile(m_path, list)
            || QFileInfo(QDir::fromNativeSeparators(list)).absoluteFilePath() == m_path))
        return QStringLiteral("--report %1 names the list itself, which the report would "
                              "replace: name another file.")
            .arg(shown);
    for (QDir folder(resolved.absolutePath());;) {
        if (sameFile(folder.path(), site.structureFolder()))
            return QStringLiteral("--report %1 is inside the structure folder %2, which holds "
                                  "the pages and the students' folders: name a file outside it.")
                .arg(shown, nativePath(site.structureFolder()));
        if (!folder.cdUp())
            break;
    }
    return QString();
}

QString ListReport::write(const QList<QStringList>& rows)
{
    if (!m_file)
        return QString();
    QString text = QChar(0xFEFF)
        + QStringLiteral("line,surname,given name,year,class,account,folder,outcome,message\r\n");
    for (const QStringList& row : rows)
        text += csvLine(row);
    // A report is never left half written over an earlier one.
    try {
        m_file->write(text.toUtf8());
        m_file->sync();
        m_file->close();
        m_file.reset();
        files::renameReplacing(m_partial, m_path);
        m_partial.clear();
    } catch (const NumberedFailure& failure) {
        m_file.reset();
        return QStringLiteral("The report %1 could not be written: %2.")
            .arg(nativePath(m_path), failureWords(failure));
    }
    return QString();
}

} // namespace tk::cli
