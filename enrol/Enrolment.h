#pragma once

#include "enrol/ClassPage.h"
#include "enrol/Journal.h"
#include "enrol/Student.h"
#include "platform/FileServices.h"
#include "register/SiteFiles.h"

#include <QList>

#include <functional>
#include <optional>

namespace tk {

class NumberedFailure;

// One student to enrol, and the line of the list it came from (0: none).
struct Enrolee
{
    int line = 0;
    Student student;
};

// What happens, or happened, to one student of an enrolment.
enum class StudentOutcome {
    ToAdd, // checked, not yet run
    Added,
    AlreadyAdded, // the register names the student, whose folder is there: skipped
    Refused,
    PageOrPath, // the class page is damaged, or the year or class does not exist
    FolderExists, // a folder of that name is there, and the register does not name it
    Failed,
    NotReached, // an enrolment stopped before it came to this student
};

// The state of a page that a student is built from or linked to.
enum class PageState {
    Sound,
    Short,
    Missing,
    Unreadable,
    NoPlaceholder, // the master page holds no place for the student's name
};

struct StudentReport
{
    StudentOutcome outcome = StudentOutcome::NotReached;
    QString reason; // the refusal, for Refused
    PageState classPage = PageState::Sound; // for PageOrPath
};

// A numbered failure, kept for the report after the files are closed.
struct FailureReport
{
    int number = 0;
    QString operation;
    QString path;

    static FailureReport of(const NumberedFailure& failure);
};

struct EnrolmentResult
{
    // Why the enrolment stopped before its end, if it did.
    enum class Stop {
        None,
        MasterPageShort,
        MasterNoPlaceholder,
        ClassPageShort,
        MasterMissing, // the master page, or a folder on its path, is not there
        PathMissing, // a folder on a student's path is not there; `failure` says which
        Locked, // another copy held the register's lock throughout
        RegisterUnreadable, // read again under the lock; `problem` says what is wrong
        Refused, // a student was refused under the lock, against what is on disk now
        Interrupted, // asked to stop: the students made until then are added
        Failed, // any other failure; `failure` says how
    };

    Stop stop = Stop::None;
    std::optional<FailureReport> failure;
    // What failed once the students were registered: they stay registered.
    std::optional<FailureReport> afterRegistered;
    QString problem; // for RegisterUnreadable and Refused
    QString pagePath; // the folder of the short page
    QList<StudentReport> students; // one for each student, in order
    // Folders made for students who are not registered, which could not be
    // removed again: the operator must.
    QStringList foldersLeft;
    // The lock, when it could not be removed at the end: every other copy
    // waits for it until the operator deletes it.
    std::optional<FailureReport> lockLeft;
    QString lockHolder; // for Locked: the computer whose copy holds it, if it says
    Leftovers leftovers; // what a run that was stopped had left, and this one finished
    // With class pages linked: each page the added students belong to, in
    // the order of its first student; `student` numbers them as `students` does.
    QList<ClassPageLinks> classPages;
    // The log of changes, when the lines of the students added could not be
    // written to it: they are added all the same.
    std::optional<FailureReport> logLeft;

    qsizetype count(StudentOutcome outcome) const;
    bool changedAnything() const;
};

// Told as an enrolment goes, for a caller that shows progress.
struct EnrolmentProgress
{
    std::function<void(qsizetype index)> starting;
    std::function<void(qsizetype index)> folderMade;
    std::function<void(qsizetype count)> registering;
    // Asked before each student: true stops the run there, and the students
    // made until then are added.
    std::function<bool()> stopRequested;
};

// Adds one student or many in one go: checks them against the register as
// read under its lock, makes their folders from the template, makes them
// durable once, and writes the register once. A student whose folder fails
// is removed again, so that no half-made student is ever left behind, and
// the register names exactly the students whose folders are complete.
class Enrolment
{
public:
    enum class Repeats {
        Refuse, // a student the register names already is refused
        Skip, // ... is skipped when its folder is there, so a list can run again
    };

    Enrolment(const SiteData& site, QList<Enrolee> enrolees, Repeats repeats = Repeats::Refuse);

    const SiteData& site() const { return m_site; }
    const QList<Enrolee>& enrolees() const { return m_enrolees; }

    // What each student would come to against `current`, in order, counting
    // the students before it. With `lookOnDisk`, the class pages and the
    // student folders are looked at too; without it nothing on disk is read
    // but the template's depth where Windows limits a path. `classFolders`
    // holds the listings of the class folders that the caller began early,
    // to be read while it did other work; a folder it did not list is asked
    // for each name.
    QList<StudentReport> check(const ShortcutRegister& current, bool lookOnDisk,
                               files::FolderListings classFolders = {}) const;

    // Adds the students; nothing is asked on the way.
    EnrolmentResult run(const EnrolmentProgress& progress = {});

    // Off unless set: each added student is then linked from the class page
    // once the folder is in place and before the register names the student.
    void setLinksClassPages(bool on) { m_linksClassPages = on; }
    bool linksClassPages() const { return m_linksClassPages; }
    // What linking the given students (numbered as enrolees() is) would do
    // to their class pages as they are now; writes nothing.
    QList<ClassPageLinks> plannedClassPages(const QList<qsizetype>& students) const;

private:
    class Run;

    qsizetype templateDepth() const;

    const SiteData& m_site;
    QList<Enrolee> m_enrolees;
    Repeats m_repeats;
    bool m_linksClassPages = false;
    mutable std::optional<qsizetype> m_templateDepth;
};

PageState masterPageOf(const SiteData& site);
PageState classPageOf(const Student& student);
PageStudent pageStudentOf(const Student& student);

// The folders the structure holds for the years, or for the classes of one
// year: what the operator may have meant.
QStringList yearsOnDisk(const SiteData& site);
QStringList classesOnDisk(const SiteData& site, const QString& year);

} // namespace tk
