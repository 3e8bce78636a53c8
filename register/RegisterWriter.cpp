#include "register/RegisterWriter.h"

#include "platform/FileServices.h"
#include "platform/NumberedFailure.h"
#include "platform/TextScan.h"
#include "register/RegisterLock.h"

#include <algorithm>
#include <vector>

namespace tk {

namespace {

const QString byteOrderMark(QChar(0xFEFF));
// The bytes of a UTF-8 byte-order mark, as a file read as Latin-1 holds them.
const QString byteOrderMarkBytes = QStringLiteral("\u00EF\u00BB\u00BF");

// A value that holds a comma must be quoted, or it would not read back as
// one value. One that opens with what reads as a byte-order mark would lose
// it if it opened the file: a blank before it keeps it, since the reader
// skips blanks before a value, and unlike quotes it works for a value that
// holds a quote.
bool needsQuotes(const QString& value)
{
    return value.contains(QLatin1Char(','));
}

// Asked of every field of every row: the first character settles nearly all.
bool opensWithByteOrderMark(const QString& value)
{
    if (value.isEmpty()
        || (value.front() != byteOrderMark.front() && value.front() != byteOrderMarkBytes.front()))
        return false;
    return value.startsWith(byteOrderMark) || value.startsWith(byteOrderMarkBytes);
}

void appendField(QString& line, const QString& value)
{
    if (opensWithByteOrderMark(value))
        line += QLatin1Char(' ');
    if (!needsQuotes(value)) {
        line += value;
        return;
    }
    line += QLatin1Char('"');
    line += value;
    line += QLatin1Char('"');
}

// Upper-casing every account name would allocate twice per row; the names are
// nearly always ASCII, where upper-casing keeps every position, so the
// allocating comparison is needed only from the first other character on.
bool sortsBefore(const QString& rowAccount, const QString& upperNewAccount)
{
    const qsizetype common = std::min(rowAccount.size(), upperNewAccount.size());
    for (qsizetype i = 0; i < common; ++i) {
        char16_t left = rowAccount.at(i).unicode();
        if (left >= 0x80)
            return rowAccount.mid(i).toUpper() < QStringView(upperNewAccount).mid(i);
        if (left >= u'a' && left <= u'z')
            left = static_cast<char16_t>(left - (u'a' - u'A'));
        const char16_t right = upperNewAccount.at(i).unicode();
        if (left != right)
            return left < right;
    }
    return rowAccount.size() < upperNewAccount.size();
}

qsizetype textSizeOf(const QList<RegisterRecord>& rows)
{
    qsizetype size = 0;
    for (const RegisterRecord& row : rows)
        size += row.accountName.size() + row.folderName.size() + row.className.size()
            + row.yearName.size() + 8;
    return size;
}

} // namespace

void RegisterRecord::appendText(QString& line) const
{
    appendField(line, accountName);
    line += QLatin1Char(',');
    appendField(line, folderName);
    line += QLatin1Char(',');
    appendField(line, className);
    line += QLatin1Char(',');
    appendField(line, yearName);
}

QString RegisterRecord::text() const
{
    QString line;
    appendText(line);
    return line;
}

namespace {

// Where `newRecord` goes among `rows`: see registerTextWith().
template<typename Iterator, typename AccountOf>
Iterator placeFor(Iterator begin, Iterator end, const RegisterRecord& newRecord,
                  AccountOf accountOf)
{
    const QString upperNewAccount = newRecord.accountName.toUpper();
    return std::find_if(begin, end, [&](const auto& row) {
        return !sortsBefore(accountOf(row), upperNewAccount);
    });
}

// A row as it will stand, held by address: the register is not copied.
struct PlacedRow
{
    const RegisterRecord* row;
    const LineBytes* line; // where the row was read from; null for a new one
};

// The rows as they will stand (see registerTextWith()).
std::vector<PlacedRow> rowsInOrder(const ShortcutRegister& shortcuts,
                                   const QList<RegisterRecord>& newRecords)
{
    const bool linesKnown = shortcuts.lines.size() == shortcuts.rows.size();
    std::vector<PlacedRow> rows;
    rows.reserve(size_t(shortcuts.rows.size() + newRecords.size()));
    for (qsizetype i = 0; i < shortcuts.rows.size(); ++i)
        rows.push_back({&shortcuts.rows[i], linesKnown ? &shortcuts.lines[i] : nullptr});
    for (const RegisterRecord& record : newRecords)
        rows.insert(placeFor(rows.begin(), rows.end(), record,
                             [](const PlacedRow& placed) -> const QString& {
                                 return placed.row->accountName;
                             }),
                    {&record, nullptr});
    return rows;
}

// The register's bytes, a line at a time: the same bytes as the whole text
// encoded at once, without the whole text held as well, and each line
// encoded straight into the register's bytes, not into a buffer of its own.
class RegisterBytes
{
public:
    RegisterBytes(TextEncoding encoding, qsizetype expectedSize)
        : m_encoding(encoding)
    {
        m_bytes.reserve(expectedSize);
    }

    // Lines that lie one after another where they were read are copied in
    // one go: a register is nearly always all of them.
    void copy(QByteArrayView line)
    {
        if (!m_copied.isEmpty() && m_copied.end() == line.begin()) {
            m_copied = QByteArrayView(m_copied.begin(), line.end());
            return;
        }
        flushCopied();
        m_copied = line;
    }

    void add(const RegisterRecord& row)
    {
        flushCopied();
        m_line.resize(0); // keeps its room for the next line
        row.appendText(m_line);
        m_line += QLatin1String("\r\n");
        appendFileText(m_bytes, m_line, m_encoding);
    }

    QByteArray take()
    {
        flushCopied();
        return std::move(m_bytes);
    }

private:
    void flushCopied()
    {
        m_bytes.append(m_copied);
        m_copied = {};
    }

    TextEncoding m_encoding;
    QString m_line;
    QByteArray m_bytes;
    QByteArrayView m_copied;
};

} // namespace

QByteArray registerTextWith(const ShortcutRegister& shortcuts,
                            const QList<RegisterRecord>& newRecords)
{
    RegisterBytes bytes(shortcuts.encoding, textSizeOf(shortcuts.rows) + textSizeOf(newRecords));
    const QByteArrayView readFrom = shortcuts.readFrom;
    for (const PlacedRow& placed : rowsInOrder(shortcuts, newRecords)) {
        if (placed.line && placed.line->size > 0)
            bytes.copy(readFrom.sliced(placed.line->start, placed.line->size));
        else
            bytes.add(*placed.row);
    }
    return bytes.take();
}

namespace {

// Whether a register file holds anyone: one that cannot be read holds nobody
// that a rewrite could lose.
bool holdsRows(const QString& path)
{
    try {
        const QByteArray bytes = files::readWholeFile(path);
        return std::any_of(bytes.begin(), bytes.end(),
                           [](char c) { return c != ' ' && !isLineEnd(c); });
    } catch (const NumberedFailure&) {
        return false;
    }
}

std::optional<NumberedFailure>
replaceRegister(const QString& appFolder, const ShortcutRegister& current, const QByteArray& text)
{
    const QString newPath = joinPath(appFolder, newRegisterFileName);
    const QString currentPath = joinPath(appFolder, registerFileName);
    const QString oldPath = joinPath(appFolder, oldRegisterFileName);

    // A fresh name, never a link left in its place, so that nothing outside
    // the intranet is written through it.
    files::File out = files::createAfresh(newPath);
    out.write(text);
    out.sync();
    out.close();

    // tkshrtct.dat is never removed: the backup is made beside it, and the new
    // register replaces it in one atomic rename. An emptied register is no
    // backup: where the backup is then the only copy of the school's
    // register, it stays.
    if (!current.rows.isEmpty() || !holdsRows(oldPath)) {
        files::removeFileIfPresent(oldPath);
        files::linkOrCopy(currentPath, oldPath);
    }
    files::renameReplacing(newPath, currentPath);
    try {
        files::syncFolder(appFolder);
    } catch (const NumberedFailure& failure) {
        return failure;
    }
    return std::nullopt;
}

} // namespace

// `lock` is the caller's proof that it holds the lock while `current` is
// still what is on disk.
std::optional<NumberedFailure> updateRegister(const QString& appFolder,
                                              const ShortcutRegister& current,
                                              const QList<RegisterRecord>& newRecords,
                                              const RegisterLock& /*lock*/)
{
    return replaceRegister(appFolder, current, registerTextWith(current, newRecords));
}

} // namespace tk
