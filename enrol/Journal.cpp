#include "enrol/Journal.h"

#include "platform/FileServices.h"
#include "platform/NumberedFailure.h"

#include <QRandomGenerator>

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
    for (const JournalEntry& entry : entries)
        text += (entry.temporaryName + QLatin1Char(',') + entry.record.text()).toUtf8() + "\r\n";
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
            entries.append({fields[0], {fields[1], fields[2], fields[3], fields[4]}});
    }
    return entries;
}

} // namespace tk
