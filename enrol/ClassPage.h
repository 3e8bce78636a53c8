#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace tk {

// Where a class page is written before it takes the page's place.
inline const QString classPageTempName = QStringLiteral("index.htm.tkaddstudent");

// Whether the school asked, in tkaddstudent.ini, for new students to be
// linked from their class page: "[class pages]" with "link=yes". No file,
// no entry or any other value: no, so that nothing changes unless asked.
bool classPageLinksWanted(const QString& appFolder);

// What a class page needs to know of a student.
struct PageStudent
{
    QString surname;
    QString givenName;
    QString folderName;

    QString fullName() const { return givenName + QLatin1Char(' ') + surname; }
};

enum class LinkProblem {
    None, // linked
    NoList, // the page links no student folder
    OtherForm, // it links student folders, but not as items "folder/index.htm" of a list
    AlreadyLinked, // it links the student's folder already
    Unreadable, // the page could not be read
    Unwritable, // the page could not be written
    NotLinked, // taking a link out: the page does not link the student's folder
};

struct PageLinkOutcome
{
    qsizetype student = -1; // as the caller numbers its students
    LinkProblem problem = LinkProblem::None;
    QString byHand; // the line to add to the page by hand, where one is needed
};

// What became (or would become) of one class page.
struct ClassPageLinks
{
    QString classFolder;
    QList<PageLinkOutcome> students; // in the caller's order

    QList<qsizetype> linked() const;
    QList<PageLinkOutcome> notLinked() const;
};

struct LinkedPage
{
    QByteArray bytes; // the page with every link that could go in
    QList<PageLinkOutcome> outcomes; // `student` numbers the input from 0
    bool changed = false;
};

// `page` with a link to each student's home page, one at a time, each a copy
// of the item that holds the page's first link to a student folder with only
// its address and text changed, put in sorted order (README: "Class page
// links"). Every other byte stays as it was.
LinkedPage withStudentLinks(const QByteArray& page, const QList<PageStudent>& students);

// What linking the page in `classFolder` would do; reads, writes nothing.
ClassPageLinks plannedLinks(const QString& classFolder, const QList<PageStudent>& students,
                            const QList<qsizetype>& numbers);

// Links the students from the page in `classFolder`, replacing the page whole
// through classPageTempName: written, flushed, renamed. `before` gets the
// page's bytes as they were. Throws NumberedFailure, leaving the page as it was.
ClassPageLinks linkClassPage(const QString& classFolder, const QList<PageStudent>& students,
                             const QList<qsizetype>& numbers, QByteArray* before);
// Puts `bytes` back as the page, the same way. Throws NumberedFailure.
void replaceClassPage(const QString& classFolder, const QByteArray& bytes);

// The student whose folder the page in `classFolder` links, named as the
// link's text shows; else as `account` reads as "Surname Given"; else by the
// folder name's two parts. An empty `classFolder` reads no page.
PageStudent pageStudentFor(const QString& classFolder, const QString& folderName,
                           const QString& account);

// A link taken out of, or put into, one class page for a student moving
// between classes.
struct PageChange
{
    QString classFolder;
    bool takenOut = false; // else put in
    PageLinkOutcome outcome;
};

// Takes the student's link out of the page in `classFolder`, or with `write`
// false only says what that would do. A page that cannot be read or written
// is left as it is, and the outcome says so.
PageChange unlinkClassPage(const QString& classFolder, const QString& folderName, bool write);
// The same for putting a link in, as an add does.
PageChange relinkClassPage(const QString& classFolder, const PageStudent& student, bool write);

// Why a link was not made, for the operator: "it links no student folder".
QString linkProblemText(LinkProblem problem);

} // namespace tk
