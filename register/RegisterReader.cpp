#include "register/RegisterReader.h"

#include "platform/TextScan.h"

#include "platform/FileServices.h"
#include "platform/SystemText.h"
#include "register/ListItemReader.h"
#include "register/SiteFiles.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tk {

namespace {

// A UTF-8 byte-order mark is skipped whatever the register's character set:
// it names no student, and a rewrite drops it.
QByteArrayView withoutByteOrderMark(const QByteArray& bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QByteArrayView(bytes).sliced(3);
    return bytes;
}

} // namespace

QString itemText(const QByteArray& bytes)
{
    return QString::fromLatin1(withoutByteOrderMark(bytes));
}

namespace {

// Reads the register a line at a time: a line holds one student, and no
// student ever takes a value from the next line, so one damaged line can
// never shift the students after it. A line of blanks holds nobody.
//
// Each line is read as text on its own, and the values go straight into the
// rows, so that reading a register touches little more memory than the rows
// it gives: every fresh page costs a fault, and the register is read again
// under the lock, while other copies wait.
class RegisterReader
{
public:
    RegisterReader(const QByteArray& bytes, const QString& path)
        : m_path(path)
        , m_bytes(withoutByteOrderMark(bytes))
        , m_skipped(bytes.size() - m_bytes.size())
        , m_ascii(!hasHighBytes(bytes))
    {
    }

    ShortcutRegister read()
    {
        reserveRows();
        int lineNumber = 0;
        int rowCount = 0;
        LineEnds<QByteArrayView> lineEnds(m_bytes);
        for (qsizetype start = 0; start < m_bytes.size();) {
            const qsizetype end = lineEnds.from(start);
            ++lineNumber;
            const QByteArrayView line = m_bytes.sliced(start, end - start);
            if (!withoutBlanks(line).isEmpty()) {
                if (rowCount == maxRegisterRows)
                    fail(QStringLiteral("The register holds more than %1 students (student %2 is "
                                        "on line %3).  This utility can read at most %1.")
                             .arg(QString::number(maxRegisterRows), QString::number(rowCount + 1),
                                  QString::number(lineNumber)));
                const bool valuesAsWritten = readRecord(line, lineNumber);
                ++rowCount;
                const qsizetype size = end - start + lineEndLength(m_bytes, end);
                const bool asWritten = valuesAsWritten
                    && isWrittenForm(m_bytes.sliced(start, size));
                m_register.lines.append({m_skipped + start, asWritten ? size : qsizetype(0)});
            }
            start = end + lineEndLength(m_bytes, end);
        }
        decideEncoding();
        for (qsizetype i = 0; i < m_register.rows.size(); ++i)
            addDistinctValues(m_register.rows[i], m_lines[size_t(i)]);
        // Found while the lines were read, but a damaged line reported first.
        if (m_limitProblem)
            fail(*m_limitProblem);
        return std::move(m_register);
    }

private:
    static bool hasHighBytes(QByteArrayView bytes)
    {
        return std::any_of(bytes.begin(), bytes.end(), [](char c) { return c & 0x80; });
    }

    // Whether a rewrite would write the row of a line whose values are as
    // written, CR LF and all, as these very bytes. A line outside ASCII is
    // written afresh: its bytes hang on the encoding, and a value may open
    // with a byte-order mark.
    bool isWrittenForm(QByteArrayView line) const
    {
        return line.endsWith("\r\n") && (m_ascii || !hasHighBytes(line));
    }

    // Growing the rows a step at a time would copy them each time into fresh
    // memory, and fresh memory is what start-up pays most for.
    void reserveRows()
    {
        const auto lines = std::count(m_bytes.begin(), m_bytes.end(), '\n') + 1;
        const auto rows = std::min<qsizetype>(lines, maxRegisterRows + 1);
        m_register.rows.reserve(rows);
        m_register.lines.reserve(rows);
        m_lines.reserve(size_t(rows));
    }

    // The fields of a row, in the order a line holds them.
    static std::array<QString*, 4> fieldsOf(RegisterRecord& row)
    {
        return {&row.accountName, &row.folderName, &row.className, &row.yearName};
    }

    // The values stay Latin-1 stand-ins until the encoding is known. True
    // when the line holds them as a rewrite writes them: no quotes, and no
    // blank around one.
    bool readRecord(QByteArrayView line, int lineNumber)
    {
        if (!line.contains('"'))
            return readPlainRecord(line, lineNumber);
        readQuotedRecord(QString::fromLatin1(line), lineNumber);
        return false;
    }

    // Most lines quote nothing: their values are what lies between the commas,
    // taken from the bytes without a copy of the line, which halves the time
    // a re-read under the lock keeps other copies waiting.
    bool readPlainRecord(QByteArrayView line, int lineNumber)
    {
        const auto items = static_cast<int>(std::count(line.begin(), line.end(), ',') + 1);
        if (items != 4)
            failItemCount(lineNumber, items);
        std::array<QByteArrayView, 4> values;
        qsizetype start = 0;
        qsizetype kept = 3; // the commas
        for (QByteArrayView& value : values) {
            qsizetype end = line.indexOf(',', start);
            if (end < 0)
                end = line.size();
            value = withoutBlanks(line.sliced(start, end - start));
            kept += value.size();
            start = end + 1;
        }
        RegisterRecord record;
        record.accountName = QString::fromLatin1(values[0]);
        record.folderName = QString::fromLatin1(values[1]);
        record.className = sharedValue(values[2]);
        record.yearName = sharedValue(values[3]);
        addRecord(std::move(record), lineNumber);
        return kept == line.size();
    }

    // A class or a year is named on many rows: each is made once and shared,
    // which spares start-up the memory of thousands of copies.
    QString sharedValue(QByteArrayView bytes)
    {
        const std::string_view key(bytes.data(), std::size_t(bytes.size()));
        if (const auto known = m_sharedValues.find(key); known != m_sharedValues.end())
            return known->second;
        return m_sharedValues.emplace(key, QString::fromLatin1(bytes)).first->second;
    }

    void readQuotedRecord(QString line, int lineNumber)
    {
        RegisterRecord record;
        const std::array<QString*, 4> fields = fieldsOf(record);
        ListItemReader reader(std::move(line));
        int items = 0;
        const auto store = [&](const QString& value) {
            if (items < 4)
                *fields[static_cast<std::size_t>(items)] = trimBlanks(value);
            ++items;
        };
        for (;;) {
            const std::optional<QString> item = reader.readItem();
            if (!item && !reader.atEnd())
                fail(QStringLiteral("Line %1 of the register opens a quoted value that it never "
                                    "closes.  Each line must hold one student: account name, "
                                    "folder name, class and year, separated by commas.")
                         .arg(lineNumber));
            store(item.value_or(QString())); // blanks after the last comma: one empty value
            if (item && !reader.atEnd())
                continue;
            // A comma that ends the line leaves one more, empty, value.
            if (item && reader.endsAfterComma())
                store(QString());
            break;
        }
        if (items != 4)
            failItemCount(lineNumber, items);
        addRecord(std::move(record), lineNumber);
    }

    void addRecord(RegisterRecord&& record, int lineNumber)
    {
        m_register.rows.append(std::move(record));
        m_lines.push_back(lineNumber);
    }

    [[noreturn]] void failItemCount(int lineNumber, int items) const
    {
        fail(QStringLiteral("Line %1 of the register holds %2 %3 where it must hold "
                            "four: account name, folder name, class and year, separated by "
                            "commas.")
                 .arg(QString::number(lineNumber), QString::number(items),
                      items == 1 ? QStringLiteral("item") : QStringLiteral("items")));
    }

    // Decided on the values alone, never on text that a rewrite drops, so
    // that a rewritten register is read back in the character set it was
    // read in. Bytes outside ASCII that are all UTF-8 are taken for UTF-8:
    // text in a code page is hardly ever also valid UTF-8.
    void decideEncoding()
    {
        if (m_ascii)
            return;
        bool outsideAscii = false;
        bool utf8 = true;
        bool codePage = true;
        for (RegisterRecord& row : m_register.rows)
            for (const QString* field : fieldsOf(row)) {
                const QByteArray bytes = field->toLatin1();
                if (!hasHighBytes(bytes))
                    continue;
                outsideAscii = true;
                utf8 = utf8 && bytes.isValidUtf8();
                codePage = codePage && isCodePageText(bytes);
            }
        if (!outsideAscii)
            return;
        m_register.encoding = utf8 ? TextEncoding::Utf8
            : codePage             ? TextEncoding::CodePage
                                   : TextEncoding::Latin1;
        if (m_register.encoding == TextEncoding::Latin1)
            return;
        for (RegisterRecord& row : m_register.rows)
            for (QString* field : fieldsOf(row))
                *field = decodeText(field->toLatin1(), m_register.encoding);
    }

    void addDistinctValues(RegisterRecord& row, int line)
    {
        addDistinct(m_register.years, m_seenYears, row.yearName, maxYears, QStringLiteral("years"),
                    line);
        addDistinct(m_register.classes, m_seenClasses, row.className, maxClasses,
                    QStringLiteral("classes"), line);
    }

    // A value seen before takes the first one's copy, so that a year or class
    // named on hundreds of rows is held once.
    void addDistinct(QStringList& list, TextSet& seen, QString& value, int limit,
                     const QString& what, int line)
    {
        if (const auto known = seen.find(value); known != seen.end()) {
            value = *known;
            return;
        }
        if (m_limitProblem)
            return;
        if (list.size() == limit) {
            m_limitProblem = QStringLiteral("The register names more than %1 different %2 (the "
                                            "next one, \"%3\", is on line %4).  This utility "
                                            "can offer at most %1.")
                                 .arg(QString::number(limit), what, value, QString::number(line));
            return;
        }
        list.append(value);
        seen.insert(value);
    }

    [[noreturn]] void fail(const QString& problem) const { throw StartupError(m_path, problem); }

    QString m_path;
    QByteArrayView m_bytes;
    qsizetype m_skipped; // the byte-order mark's bytes, if any
    bool m_ascii;
    std::optional<QString> m_limitProblem; // the first year or class too many
    std::vector<int> m_lines; // the line of each row, for a report
    TextSet m_seenYears;
    TextSet m_seenClasses;
    std::unordered_map<std::string_view, QString> m_sharedValues;
    ShortcutRegister m_register;
};

} // namespace

ShortcutRegister parseRegister(const QByteArray& bytes, const QString& path)
{
    ShortcutRegister shortcuts = RegisterReader(bytes, path).read();
    shortcuts.readFrom = bytes;
    return shortcuts;
}

ShortcutRegister loadRegister(const QString& appFolder)
{
    const QString path = joinPath(appFolder, registerFileName);
    return parseRegister(readSiteFile(path, QStringLiteral("register")), path);
}

ShortcutRegister reloadRegister(const QString& appFolder, const ShortcutRegister& known)
{
    const QString path = joinPath(appFolder, registerFileName);
    const QByteArray bytes = readSiteFile(path, QStringLiteral("register"));
    // Nearly always nobody else has added anyone: the same bytes give the
    // same rows, and the other copies waiting for the lock wait less.
    if (!known.readFrom.isEmpty() && bytes == known.readFrom)
        return known;
    return parseRegister(bytes, path);
}

} // namespace tk
