#pragma once

#include "register/ShortcutRegister.h"

#include <QList>

#include <optional>

namespace tk {

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

} // namespace tk
