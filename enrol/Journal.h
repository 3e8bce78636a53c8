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

// What a run that was killed or lost its power had left, and the next one finished.
struct Leftovers
{
    qsizetype registered = 0; // folders it had put in place
    qsizetype removed = 0; // folders it had not
};

// Under the lock, before anything else: a folder that a stopped run never
// put in place is removed, and one it put in place is registered, as that
// run would have done next, linking it from its class page first where that
// run was to. A class page that run left half written is removed. Throws NumberedFailure, or
// StartupError for a register that cannot be read.
Leftovers finishInterruptedWork(const SiteData& site, const RegisterLock& lock);

} // namespace tk
