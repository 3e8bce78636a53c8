#pragma once

#include <QString>

namespace tk {

class Student;
struct ClassPageLinks;

// Where the operator is sent for help when something unexpected fails. The one
// place to change it for a school's own help desk.
inline const QString supportEmailAddress = QStringLiteral("support@ilvantis.example");

// The window's own words. Paths are passed as the program holds them; the
// texts show them as the operator reads paths.
namespace messages {

// The paragraph the operator reads before every use.
inline const QString instructions = QStringLiteral(
    "This utility is used to add an intranet folder structure into Ilvantis for new students "
    "that enrol into your school after you have created your Ilvantis structure for the year.  "
    "Type in the new student's surname and given name in the boxes below and choose the Year "
    "and Class that the student has been enrolled into.  If your school has individual login "
    "accounts to the server for each student, also type in this student's login account name, "
    "otherwise leave that field blank.  When ready click the Create button.  Please NOTE: This "
    "utility will only work if you have created your Ilvantis structure using Ilvantis 2004 or "
    "later.");

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
// The same, where the school has the class pages linked: it names the page
// that gets the link, or says why it cannot.
QString confirmation(const Student& student, const ClassPageLinks& page);

QString masterPageConcern(const QString& masterFolderPath);
QString classPageConcern();
QString masterPlaceholderMissing(const QString& masterFolderPath);
QString masterMissing(const QString& masterFolderPath);
QString problem();
QString invalidPath();
QString seriousError(int failureNumber);
QString success(const QString& fullName, const QString& classText);
QString success(const QString& fullName, const QString& classText, const ClassPageLinks& page);
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
