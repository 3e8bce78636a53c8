#include "register/RegisterReader.h"

#include "platform/FileServices.h"
#include "register/ListItemReader.h"
#include "register/SiteFiles.h"

#include <QSet>

#include <algorithm>
#include <array>

namespace tk {

QString itemText(const QByteArray& bytes)
{
    static const QByteArray systemByteOrderMark = encodeFileText(QString(QChar(0xFEFF)));
    if (systemByteOrderMark == "\xEF\xBB\xBF" && bytes.startsWith(systemByteOrderMark))
        return QString::fromLatin1(QByteArrayView(bytes).sliced(3));
    return QString::fromLatin1(bytes);
}

namespace {

struct RawRecord
{
    std::array<QString, 4> fields; // Latin-1 stand-ins until the encoding is known
    int line = 0;
};

// Reads the register a line at a time: a line holds one student, and no
// student ever takes a value from the next line, so one damaged line can
// never shift the students after it. A line of blanks holds nobody.
class RegisterReader
{
public:
    RegisterReader(const QByteArray& bytes, const QString& path)
        : m_path(path)
        , m_text(itemText(bytes))
        , m_ascii(!hasHighBytes(bytes))
    {
    }

    ShortcutRegister read()
    {
        QList<RawRecord> records;
        int lineNumber = 0;
        for (qsizetype start = 0; start < m_text.size();) {
            const qsizetype end = lineEndFrom(start);
            ++lineNumber;
            const QStringView line = QStringView(m_text).mid(start, end - start);
            if (!isBlankLine(line)) {
                if (records.size() == maxRegisterRows)
                    fail(QStringLiteral("The register holds more than %1 students (student %2 is "
                                        "on line %3).  This utility can read at most %1.")
                             .arg(QString::number(maxRegisterRows),
                                  QString::number(records.size() + 1),
                                  QString::number(lineNumber)));
                records.append(readRecord(line, lineNumber));
            }
            start = end + lineEndLength(end);
        }
        decideEncoding(records);
        for (const RawRecord& record : records)
            addRecord(record);
        return std::move(m_register);
    }

private:
    static bool hasHighBytes(const QByteArray& bytes)
    {
        return std::any_of(bytes.begin(), bytes.end(), [](char c) { return c & 0x80; });
    }

    static bool isBlankLine(QStringView line)
    {
        return std::all_of(line.begin(), line.end(), [](QChar c) { return c == QLatin1Char(' '); });
    }

    qsizetype lineEndFrom(qsizetype start) const
    {
        for (qsizetype i = start; i < m_text.size(); ++i)
            if (m_text.at(i) == QLatin1Char('\r') || m_text.at(i) == QLatin1Char('\n'))
                return i;
        return m_text.size();
    }

    qsizetype lineEndLength(qsizetype end) const
    {
        if (end >= m_text.size())
            return 0;
        const bool crLf = m_text.at(end) == QLatin1Char('\r') && end + 1 < m_text.size()
            && m_text.at(end + 1) == QLatin1Char('\n');
        return crLf ? 2 : 1;
    }

    RawRecord readRecord(QStringView line, int lineNumber)
    {
        RawRecord record;
        record.line = lineNumber;
        ListItemReader reader(line.toString());
        int items = 0;
        const auto store = [&](const QString& value) {
            if (items < 4)
                record.fields[static_cast<std::size_t>(items)] = trimBlanks(value);
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
            fail(QStringLiteral("Line %1 of the register holds %2 %3 where it must hold "
                                "four: account name, folder name, class and year, separated by "
                                "commas.")
                     .arg(QString::number(lineNumber), QString::number(items),
                          items == 1 ? QStringLiteral("item") : QStringLiteral("items")));
        return record;
    }

    // Decided on the values alone, never on text that a rewrite drops, so
    // that a rewritten register is read back in the encoding it was read in.
    void decideEncoding(QList<RawRecord>& records)
    {
        if (m_ascii)
            return;
        const bool system = std::all_of(records.begin(), records.end(), [](const RawRecord& r) {
            return std::all_of(r.fields.begin(), r.fields.end(),
                               [](const QString& f) { return isSystemText(f.toLatin1()); });
        });
        m_register.encoding = system ? TextEncoding::System : TextEncoding::Latin1;
        if (!system)
            return;
        for (RawRecord& record : records)
            for (QString& field : record.fields)
                field = decodeSystemText(field.toLatin1());
    }

    void addRecord(const RawRecord& raw)
    {
        const auto& f = raw.fields;
        m_register.rows.append({f[0], f[1], f[2], f[3]});
        addDistinct(m_register.years, m_seenYears, f[3], maxYears, QStringLiteral("years"), raw);
        addDistinct(m_register.classes, m_seenClasses, f[2], maxClasses, QStringLiteral("classes"),
                    raw);
    }

    void addDistinct(QStringList& list, QSet<QString>& seen, const QString& value, int limit,
                     const QString& what, const RawRecord& record)
    {
        if (seen.contains(value))
            return;
        if (list.size() == limit)
            fail(QStringLiteral("The register names more than %1 different %2 (the next one, "
                                "\"%3\", is on line %4).  This utility can offer at most %1.")
                     .arg(QString::number(limit), what, value, QString::number(record.line)));
        list.append(value);
        seen.insert(value);
    }

    [[noreturn]] void fail(const QString& problem) const { throw StartupError(m_path, problem); }

    QString m_path;
    QString m_text;
    bool m_ascii;
    QSet<QString> m_seenYears;
    QSet<QString> m_seenClasses;
    ShortcutRegister m_register;
};

} // namespace

ShortcutRegister parseRegister(const QByteArray& bytes, const QString& path)
{
    return RegisterReader(bytes, path).read();
}

ShortcutRegister loadRegister(const QString& appFolder)
{
    const QString path = joinPath(appFolder, registerFileName);
    return parseRegister(readSiteFile(path, QStringLiteral("register")), path);
}

} // namespace tk
