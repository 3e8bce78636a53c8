#pragma once

#include "enrol/ClassPage.h"
#include "register/ShortcutRegister.h"

#include <QList>

#include <optional>

namespace tk {

class RegisterLock;
struct SiteData;

// A student's folder is built under a temporary name and put in place whole,
// so that no half-made folder ever stands under a student's name. Before the
// first is made, the run writes down which it makes; a run that a kill or a
// power cut stopped leaves that note, and the next run, under the lock,
// removes what was never put in place and registers what was.
inline const QString journalFileName = QStringLiteral("tkshrtct.jnl");
// What the name under construction adds to the student's folder name.
constexpr int temporarySuffixLength = 8;

struct JournalEntry
{
    QString temporaryName; // in the student's class folder
    RegisterRecord record;
    // Set when the run links its class page: a run that put the folder in
    // place may have linked it already, so the next one links it too and
    // the page never links a student the register will not name.
    std::optional<PageStudent> link;
};

QString journalPathIn(const QString& appFolder);
// A name for a student's folder under construction: unique, never a
// student's, and telling whose it is.
QString newTemporaryFolderName(const QString& folderName);
// Writes the note and makes it durable; throws NumberedFailure.
void writeJournal(const QString& appFolder, const QList<JournalEntry>& entries);
// The note a run left; nothing when there is none. Lines it cannot read are
// passed over: they name nothing this program made.
std::optional<QList<JournalEntry>> readJournal(const QString& appFolder);

// A student's folder moved with one row of the register (remove, move,
// restore), noted before the folder moves. A run stopped before the move
// changed nothing, and the note is dropped; one stopped after it is
// finished: the register is made to match where the folder is.
struct RelocationNote
{
    QString action; // as the log names it
    QString from; // the student's folder, relative to the intranet's root, "/" between names
    QString to;
    std::optional<RegisterRecord> oldRow; // the line that goes
    std::optional<RegisterRecord> newRow; // the line that comes
    // Set when the run links class pages: the student's link then leaves the
    // old class's page and comes into the new one's, after the register.
    std::optional<PageStudent> link;
};

// Writes the note in the journal's place and makes it durable; throws NumberedFailure.
void writeRelocationNote(const QString& appFolder, const RelocationNote& note);
std::optional<RelocationNote> readRelocationNote(const QString& appFolder);
// Rewrites the register from `current` (read under `lock`) as `note` leaves
// it, unless it is so already; false when it was. Throws NumberedFailure.
bool updateRegisterFor(const QString& appFolder, ShortcutRegister current,
                       const RelocationNote& note, const RegisterLock& lock);

// Where `note` has a link: takes it out of the page of the class the folder
// leaves and puts it into the page of the class it comes to, or with `write`
// false says what that would do. Each is done at most once, however often
// this runs, so that the next run can finish what a stopped one began.
QList<PageChange> relocateClassPageLinks(const QString& appFolder, const RelocationNote& note,
                                         bool write);

// What a run that was killed or lost its power had left, and the next one finished.
struct Leftovers
{
    qsizetype registered = 0; // folders it had put in place
    qsizetype removed = 0; // folders it had not
    QList<RelocationNote> relocated; // moves it had made, whose register this run matched
    qsizetype relocationsDropped = 0; // moves it had not begun
    QList<PageChange> relinked; // the class pages of the moves it had made
    bool logNotWritten = false; // what this run finished could not be logged
};

// Under the lock, before anything else: a folder that a stopped run never
// put in place is removed, and one it put in place is registered, as that
// run would have done next, linking it from its class page first where that
// run was to; a class page that run left half written is removed, and a noted
// move is finished or dropped, as above. Throws NumberedFailure, or
// StartupError for a register that cannot be read.
Leftovers finishInterruptedWork(const SiteData& site, const RegisterLock& lock);

} // namespace tk
