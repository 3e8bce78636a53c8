#pragma once

#include <QString>

namespace tk {

class Student;

// Where the operator is sent for help when something unexpected fails. The one
// place to change it for a school's own help desk.
inline const QString supportEmailAddress = QStringLiteral("support@ilvantis.example");

// The window's own words. Paths are passed as the program holds them; the
// texts show them as the operator reads paths.
namespace messages {

inline const QString confirmTitle = QStringLiteral("Please Verify");
inline const QString concernTitle = QStringLiteral("Possible concern");
inline const QString masterMissingTitle = QStringLiteral("Master Student folder does not exist!");
inline const QString problemTitle = QStringLiteral("Problem!");
inline const QString seriousTitle = QStringLiteral("Something's wrong!");
inline const QString invalidPathTitle = QStringLiteral("Invalid path");
inline const QString successTitle = QStringLiteral("Success");
inline const QString refusalTitle = QStringLiteral("Cannot create");
inline const QString folderLeftTitle = QStringLiteral("Folder left behind");

// The question, with the folder as the operator reads paths.
QString confirmation(const Student& student);

QString masterPageConcern(const QString& masterFolderPath);
QString classPageConcern();
QString masterMissing(const QString& masterFolderPath);
QString problem();
QString invalidPath();
QString seriousError(int failureNumber);
QString success(const QString& fullName, const QString& classText);
QString registerLocked(const QString& lockFilePath);

struct Box
{
    QString title;
    QString text;
};
// What a failure of the given number tells the operator, once the year and
// class are known to exist: a refusal of access or a serious error.
Box failureBox(int failureNumber);
QString registerUnreadable(const QString& problem);
QString folderLeft(const QString& folder);
QString lockLeft(const QString& lockFilePath);
QString logNotWritten(const QString& logPath);
QString leftovers(qsizetype registered, qsizetype removed);

} // namespace messages
} // namespace tk
