#pragma once

#include "enrol/Enrolment.h"

namespace tk {

// Where a removed student's folder is kept, at the intranet's root: never
// deleted, so that a wrong removal costs nobody their work.
inline const QString holdingFolderName = QStringLiteral("removed");

// How the operator names a registered student: by the account, in any letter
// case, or, when it is empty, by the year, class and folder.
struct StudentChoice
{
    QString account;
    QString year;
    QString className;
    QString folder;

    bool picks(const RegisterRecord& row) const;
};

// A change to one registered student that moves the student's folder and
// changes the student's line of the register with it.
struct RelocationRequest
{
    enum class Kind { Remove, Move, Restore };

    Kind kind = Kind::Remove;
    StudentChoice student; // for Restore, the account it gets back
    // Move: where it goes (empty: where it is); Restore: where it goes back to.
    QString toYear;
    QString toClass;
    QString held; // Restore: its folder's name in the holding folder
    // The student's link leaves the class page the folder leaves and comes
    // into the one it comes to, as an add links it.
    bool linkClassPages = false;
};

// What a request comes to against a register, before anything changes.
struct RelocationPlan
{
    enum class Verdict {
        Ready,
        NotRegistered, // no line picks the student
        Ambiguous, // several lines do: `matches` of them
        OddFolder, // the line's folder is no plain name, and could reach outside its class
        NoSuchClass, // the year or the class to go to is not there
        SameClass, // a move to where the student is
        FolderGone, // a move of a student whose folder is not there
        FolderTaken, // a folder stands where the student's would go
        RowTaken, // a line names the account or the folder already: `row` is it
        NotHeld, // Restore: no such folder in the holding folder
        BadAccount, // Restore: an account that the register cannot store
        RegisterFull, // the register would hold more students, years or classes than it can
    };

    Verdict verdict = Verdict::NotRegistered;
    RegisterRecord row; // the student's line, or for RowTaken the one in the way
    qsizetype matches = 0;
    bool folderGone = false; // Remove: the register names a folder that is not there
    RelocationNote note; // when Ready: what the change does
    QList<PageChange> pages; // when Ready and linking: what the class pages would get
};

RelocationPlan planRelocation(const SiteData& site, const ShortcutRegister& current,
                              const RelocationRequest& request);

struct RelocationResult
{
    enum class Stop { None, Refused, Locked, RegisterUnreadable, Failed };

    Stop stop = Stop::None;
    RelocationPlan plan; // as found under the lock
    std::optional<FailureReport> failure;
    QString problem; // for RegisterUnreadable
    QString lockHolder; // for Locked
    // A stopped run of this same change had moved the folder, and this one
    // finished it; `plan.note` says what it did.
    bool finishedEarlier = false;
    // For Failed: the folder moved and could not be moved back; the note
    // stays, and the next run of any command finishes the change.
    bool leftHalfway = false;
    std::optional<FailureReport> logLeft; // the change stands; its line could not be logged
    std::optional<FailureReport> lockLeft;
    Leftovers leftovers;
    QList<PageChange> pages; // when done and linking: what the class pages got
};

// Under the register's lock, after what a stopped run left is finished: the
// request is checked again against the register and the disk, noted, the
// folder moved, the register rewritten once, the change logged.
RelocationResult relocate(const SiteData& site, const RelocationRequest& request);

} // namespace tk
