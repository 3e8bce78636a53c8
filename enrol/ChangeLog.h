#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace tk {

struct FailureReport;

// Who changed which student and when, for the school to look up later: the
// register itself keeps no history. One CSV file at the intranet's root, with
// a header, in UTF-8, so that a spreadsheet opens it as it is.
inline const QString changeLogFileName = QStringLiteral("tkaddstudent-log.csv");
inline const QString changeLogNewFileName = QStringLiteral("tkaddstudent-log.new");

struct ChangeLogLine
{
    QString action; // add, remove, move, restore
    QString account;
    QString folder; // where the student's folder is now, relative to the root
    QString oldFolder; // where it was, for what moves a folder
};

// The folder relative to the intranet's root, with "/", as the log names it.
QString folderInSite(const QString& appFolder, const QString& path);

// Under the register's lock, so that two copies never write it at once. The
// log is written whole under a name of its own and put in place, so that a
// kill never leaves half a line. A change stands whether or not its line can
// be written: what failed is returned, for the operator to be told.
std::optional<FailureReport> appendToChangeLog(const QString& appFolder,
                                               const QList<ChangeLogLine>& lines);

} // namespace tk
