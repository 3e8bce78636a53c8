#include "enrol/Journal.h"

#include "enrol/ChangeLog.h"
#include "enrol/Enrolment.h"
#include "platform/FileServices.h"
#include "platform/NumberedFailure.h"
#include "register/RegisterReader.h"
#include "register/RegisterWriter.h"
#include "register/SiteFiles.h"

#include <QMap>
#include <QRandomGenerator>
#include <QUrl>

#include <algorithm>

namespace tk {

QString journalPathIn(const QString& appFolder)
{
    return joinPath(appFolder, journalFileName);
}

namespace {

const QString temporaryMark = QStringLiteral(".~");

bool isTemporaryNameOf(const QString& name, const QString& folderName)
{
    return name.size() == folderName.size() + temporarySuffixLength
        && name.startsWith(folderName + temporaryMark);
}

} // namespace

QString newTemporaryFolderName(const QString& folderName)
{
    // The part before the first dot, which Windows reads for a device name,
    // stays the student's; the random part keeps it apart from what an
    // earlier run may have left.
    QString name = folderName + temporaryMark;
    while (name.size() < folderName.size() + temporarySuffixLength)
        name += QLatin1Char(
            "0123456789abcdefghijklmnopqrstuvwxyz"[QRandomGenerator::system()->bounded(36)]);
    return name;
}

void writeJournal(const QString& appFolder, const QList<JournalEntry>& entries)
{
    QByteArray text;
    for (const JournalEntry& entry : entries) {
        text += (entry.temporaryName + QLatin1Char(',') + entry.record.text()).toUtf8() + "\r\n";
        // Four values, so that a copy of the program that knows no links passes it over.
        if (entry.link)
            text += QStringLiteral("link,%1,%2,%3")
                        .arg(entry.temporaryName, entry.link->surname, entry.link->givenName)
                        .toUtf8()
                + "\r\n";
    }
    files::File file = files::createAfresh(journalPathIn(appFolder));
    file.write(text);
    file.sync();
    file.close();
}

std::optional<QList<JournalEntry>> readJournal(const QString& appFolder)
{
    const QString path = journalPathIn(appFolder);
    if (!files::nameExists(path))
        return std::nullopt;
    QList<JournalEntry> entries;
    for (const QByteArray& line : files::readWholeFile(path).split('\n')) {
        const QStringList fields = QString::fromUtf8(line.trimmed()).split(QLatin1Char(','));
        // Never anything but a name this program makes, whatever the file says.
        if (fields.size() == 5 && isTemporaryNameOf(fields[0], fields[2])
            && !fields[2].contains(QLatin1Char('/')) && !fields[2].contains(QLatin1Char('\\')))
            entries.append({fields[0], {fields[1], fields[2], fields[3], fields[4]}, {}});
        else if (fields.size() == 4 && fields[0] == QLatin1String("link") && !entries.isEmpty()
                 && entries.last().temporaryName == fields[1])
            entries.last().link = PageStudent{fields[2], fields[3],
                                              entries.last().record.folderName};
    }
    return entries;
}

namespace {

bool sameRow(const RegisterRecord& row, const RegisterRecord& record)
{
    return row.accountName.compare(record.accountName, Qt::CaseInsensitive) == 0
        && row.folderName == record.folderName && row.className == record.className
        && row.yearName == record.yearName;
}

bool names(const ShortcutRegister& shortcuts, const RegisterRecord& record)
{
    return std::any_of(shortcuts.rows.begin(), shortcuts.rows.end(),
                       [&](const RegisterRecord& row) { return sameRow(row, record); });
}

} // namespace

namespace {

const QString relocationMark = QStringLiteral("relocate");
// A line of its own, which a copy of the program that knows no links passes over.
const QString relocationLinkMark = QStringLiteral("relocate-link");

QString parentOf(const QString& path)
{
    return path.section(QLatin1Char('/'), 0, -2);
}

QString encoded(const QString& field)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(field));
}

QString decoded(const QString& field)
{
    return QUrl::fromPercentEncoding(field.toLatin1());
}

// A note names folders of this intranet, never one outside it, whatever the file says.
bool staysInside(const QString& relative)
{
    return !relative.isEmpty() && !relative.startsWith(QLatin1Char('/'))
        && !relative.contains(QLatin1Char('\\')) && !relative.contains(QLatin1Char(':'))
        && !relative.split(QLatin1Char('/')).contains(QStringLiteral(".."));
}

QStringList fieldsOf(const std::optional<RegisterRecord>& row)
{
    if (!row)
        return {QString(), QString(), QString(), QString()};
    return {row->accountName, row->folderName, row->className, row->yearName};
}

std::optional<RegisterRecord> rowOf(const QStringList& fields, qsizetype at)
{
    if (fields.mid(at, 4).join(QString()).isEmpty())
        return std::nullopt;
    return RegisterRecord{fields[at], fields[at + 1], fields[at + 2], fields[at + 3]};
}

// Before the move the register is as it was and the folder where it was:
// nothing to undo. After it, the register follows the folder.
void finishRelocation(const SiteData& site, const RelocationNote& note, const RegisterLock& lock,
                      Leftovers& finished)
{
    if (files::nameExists(joinPath(site.appFolder, note.from))
        && !files::nameExists(joinPath(site.appFolder, note.to))) {
        ++finished.relocationsDropped;
        return;
    }
    const ShortcutRegister current = reloadRegister(site.appFolder, site.shortcuts);
    // A stopped run that got as far as the register logged the change itself
    // but for a kill between the two: a line twice would be worse than none.
    if (updateRegisterFor(site.appFolder, current, note, lock)
        && appendToChangeLog(site.appFolder,
                             {{note.action, (note.newRow ? note.newRow : note.oldRow)->accountName,
                               note.to, note.from}}))
        finished.logNotWritten = true;
    finished.relocated << note;
    if (note.link) {
        // A page the stopped run was writing, which never took the page's place.
        for (const QString& folder : {note.from, note.to})
            files::removeFileIfPresent(
                joinPath(parentOf(joinPath(site.appFolder, folder)), classPageTempName));
        finished.relinked = relocateClassPageLinks(site.appFolder, note, true);
    }
}

} // namespace

void writeRelocationNote(const QString& appFolder, const RelocationNote& note)
{
    QStringList fields{relocationMark, note.action, note.from, note.to};
    fields << fieldsOf(note.oldRow) << fieldsOf(note.newRow);
    for (QString& field : fields)
        field = encoded(field);
    files::File file = files::createAfresh(journalPathIn(appFolder));
    QByteArray text = fields.join(QLatin1Char(',')).toUtf8() + "\r\n";
    if (note.link)
        text += QStringList{relocationLinkMark, encoded(note.link->surname),
                            encoded(note.link->givenName)}
                    .join(QLatin1Char(','))
                    .toUtf8()
            + "\r\n";
    file.write(text);
    file.sync();
    file.close();
}

std::optional<RelocationNote> readRelocationNote(const QString& appFolder)
{
    const QString path = journalPathIn(appFolder);
    if (!files::nameExists(path))
        return std::nullopt;
    std::optional<RelocationNote> found;
    for (const QByteArray& line : files::readWholeFile(path).split('\n')) {
        QStringList fields = QString::fromUtf8(line.trimmed()).split(QLatin1Char(','));
        for (QString& field : fields)
            field = decoded(field);
        if (found && fields.size() == 3 && fields[0] == relocationLinkMark) {
            found->link = PageStudent{fields[1], fields[2],
                                      (found->newRow ? found->newRow : found->oldRow)->folderName};
            continue;
        }
        if (found || fields.size() != 12 || fields[0] != relocationMark)
            continue;
        RelocationNote note{fields[1],        fields[2],        fields[3],
                            rowOf(fields, 4), rowOf(fields, 8), std::nullopt};
        if (staysInside(note.from) && staysInside(note.to) && (note.oldRow || note.newRow))
            found = note;
    }
    return found;
}

QList<PageChange> relocateClassPageLinks(const QString& appFolder, const RelocationNote& note,
                                         bool write)
{
    QList<PageChange> changes;
    if (!note.link)
        return changes;
    if (note.oldRow)
        changes << unlinkClassPage(parentOf(joinPath(appFolder, note.from)),
                                   note.oldRow->folderName, write);
    if (note.newRow)
        changes << relinkClassPage(parentOf(joinPath(appFolder, note.to)), *note.link, write);
    return changes;
}

bool updateRegisterFor(const QString& appFolder, ShortcutRegister current,
                       const RelocationNote& note, const RegisterLock& lock)
{
    bool changed = false;
    if (note.oldRow) {
        const auto row = std::find_if(current.rows.begin(), current.rows.end(),
                                      [&](const RegisterRecord& r) {
                                          return sameRow(r, *note.oldRow);
                                      });
        if (row != current.rows.end()) {
            current.rows.erase(row);
            current.readFrom.clear();
            changed = true;
        }
    }
    QList<RegisterRecord> added;
    if (note.newRow && !names(current, *note.newRow)) {
        added << *note.newRow;
        changed = true;
    }
    if (changed)
        updateRegister(appFolder, current, added, lock);
    return changed;
}

Leftovers finishInterruptedWork(const SiteData& site, const RegisterLock& lock)
{
    Leftovers finished;
    const std::optional<QList<JournalEntry>> left = readJournal(site.appFolder);
    if (!left)
        return finished;
    const ShortcutRegister current = reloadRegister(site.appFolder, site.shortcuts);
    QList<RegisterRecord> placed;
    QStringList classFolders;
    QMap<QString, QList<PageStudent>> toLink; // by class folder
    QList<ChangeLogLine> lines;
    for (const JournalEntry& entry : *left) {
        const QString classFolder = site.classFolder(entry.record.yearName, entry.record.className);
        if (!classFolders.contains(classFolder))
            classFolders << classFolder;
        const QString unplaced = joinPath(classFolder, entry.temporaryName);
        if (files::nameExists(unplaced)) {
            files::removeFolderTree(unplaced);
            ++finished.removed;
        } else if (files::nameExists(joinPath(classFolder, entry.record.folderName))
                   && !names(current, entry.record)) {
            placed << entry.record;
            if (entry.link)
                toLink[classFolder] << *entry.link;
            lines.append(
                {QStringLiteral("add"),
                 entry.record.accountName,
                 folderInSite(site.appFolder, joinPath(classFolder, entry.record.folderName)),
                 {}});
        }
    }
    for (const QString& classFolder : classFolders)
        files::removeFileIfPresent(joinPath(classFolder, classPageTempName));
    // A page that links the folder already is left as it is.
    for (auto it = toLink.cbegin(); it != toLink.cend(); ++it) {
        QList<qsizetype> numbers;
        for (qsizetype i = 0; i < it->size(); ++i)
            numbers << i;
        QByteArray before;
        linkClassPage(it.key(), *it, numbers, &before);
    }
    if (!placed.isEmpty()) {
        updateRegister(site.appFolder, current, placed, lock);
        finished.logNotWritten = appendToChangeLog(site.appFolder, lines).has_value();
    }
    if (const std::optional<RelocationNote> note = readRelocationNote(site.appFolder))
        finishRelocation(site, *note, lock, finished);
    files::removeFileIfPresent(journalPathIn(site.appFolder));
    finished.registered = placed.size();
    return finished;
}

} // namespace tk
