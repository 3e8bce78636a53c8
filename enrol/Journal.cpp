#include "enrol/Journal.h"

#include "platform/FileServices.h"
#include "platform/NumberedFailure.h"
#include "register/RegisterReader.h"
#include "register/RegisterWriter.h"
#include "register/SiteFiles.h"

#include <QMap>
#include <QRandomGenerator>

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

bool names(const ShortcutRegister& shortcuts, const RegisterRecord& record)
{
    return std::any_of(shortcuts.rows.begin(), shortcuts.rows.end(),
                       [&](const RegisterRecord& row) {
                           return row.accountName.compare(record.accountName, Qt::CaseInsensitive)
                               == 0
                               && row.folderName == record.folderName
                               && row.className == record.className
                               && row.yearName == record.yearName;
                       });
}

} // namespace

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
    for (const JournalEntry& entry : *left) {
        const QString classFolder = joinPath(joinPath(site.structureFolder(),
                                                      entry.record.yearName),
                                             entry.record.className);
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
    if (!placed.isEmpty())
        updateRegister(site.appFolder, current, placed, lock);
    files::removeFileIfPresent(journalPathIn(site.appFolder));
    finished.registered = placed.size();
    return finished;
}

} // namespace tk
