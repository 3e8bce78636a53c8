#include "register/SiteFiles.h"

#include "platform/FileServices.h"
#include "platform/NumberedFailure.h"
#include "register/ListItemReader.h"

#include <QDir>
#include <QSet>

#include <algorithm>
#include <array>
#include <limits>

namespace tk {

StartupError::StartupError(const QString& filePath, const QString& problem)
    : std::runtime_error(problem.toStdString())
    , m_filePath(filePath)
    , m_problem(problem)
{
}

QString StartupError::report() const
{
    return QStringLiteral("Add a New Student cannot start.\n\nFile: %1\n\n%2")
        .arg(nativePath(m_filePath), m_problem);
}

namespace {

const QString byteOrderMark(QChar(0xFEFF));
// The bytes of a UTF-8 byte-order mark, as a file read as Latin-1 holds them.
const QString byteOrderMarkBytes = QStringLiteral("\u00EF\u00BB\u00BF");

// A value that holds a comma or a line break must be quoted, or it would not
// read back as one value. One that opens with what reads as a byte-order mark
// would lose it if it opened the file: a blank before it keeps it, since the
// reader skips blanks before a value, and unlike quotes it works for a value
// that holds a quote.
bool needsQuotes(const QString& value)
{
    // One pass over the value: this runs for every field of every row.
    return std::any_of(value.cbegin(), value.cend(), [](QChar c) {
        return c == QLatin1Char(',') || c == QLatin1Char('\r') || c == QLatin1Char('\n');
    });
}

bool opensWithByteOrderMark(const QString& value)
{
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

QString describeUnreadable(const NumberedFailure& failure, const QString& kind)
{
    if (failure.number() == FailureNumber::FileNotFound
        || failure.number() == FailureNumber::PathNotFound)
        return QStringLiteral("The %1 file could not be found.  It must be in the same folder as "
                              "the program.")
            .arg(kind);
    return QStringLiteral("The %1 file could not be opened for reading (error %2).  Check that "
                          "it is not locked by another program and that you may read it.")
        .arg(kind, QString::number(failure.number()));
}

QByteArray readSiteFile(const QString& path, const QString& kind)
{
    try {
        return files::readWholeFile(path);
    } catch (const NumberedFailure& failure) {
        throw StartupError(path, describeUnreadable(failure, kind));
    }
}

// Items are found on the bytes, each one a Latin-1 character: the separators
// are ASCII, which no multi-byte character of any code page we read holds, so
// the items are the same whichever encoding the values turn out to have.
QString itemText(const QByteArray& bytes)
{
    static const QByteArray systemByteOrderMark = encodeFileText(byteOrderMark);
    if (systemByteOrderMark == "\xEF\xBB\xBF" && bytes.startsWith(systemByteOrderMark))
        return QString::fromLatin1(QByteArrayView(bytes).sliced(3));
    return QString::fromLatin1(bytes);
}

qint16 structureYearFrom(const QString& item, const QString& path)
{
    const double value = integerItemValue(item);
    if (value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max())
        throw StartupError(path,
                           QStringLiteral("The structure year \"%1\" is too large: it must be a "
                                          "number from -32768 to 32767, such as 2026.")
                               .arg(trimBlanks(item)));
    return static_cast<qint16>(value);
}

struct RawRecord
{
    std::array<QString, 4> fields; // Latin-1 stand-ins until the encoding is known
    qsizetype start = 0;
};

class RegisterReader
{
public:
    RegisterReader(const QByteArray& bytes, const QString& path)
        : m_path(path)
        , m_reader(itemText(bytes))
        , m_ascii(!hasHighBytes(bytes))
    {
    }

    ShortcutRegister read()
    {
        QList<RawRecord> records;
        while (!m_reader.atEnd())
            records.append(readRecord(static_cast<int>(records.size()) + 1));
        decideEncoding(records);
        for (qsizetype i = 0; i < records.size(); ++i)
            addRecord(records[i]);
        return std::move(m_register);
    }

private:
    static bool hasHighBytes(const QByteArray& bytes)
    {
        return std::any_of(bytes.begin(), bytes.end(), [](char c) { return c & 0x80; });
    }

    RawRecord readRecord(int recordNumber)
    {
        RawRecord record;
        record.start = m_reader.position();
        if (recordNumber > maxRegisterRows)
            fail(QStringLiteral("The register holds more than %1 students (student %2 begins on "
                                "line %3).  This utility can read at most %1.")
                     .arg(QString::number(maxRegisterRows), QString::number(recordNumber),
                          lineOf(record)));
        for (QString& field : record.fields) {
            const std::optional<QString> item = m_reader.readItem();
            if (!item)
                fail(QStringLiteral("The register ends in the middle of student %1, which begins "
                                    "on line %2.  Each student needs four items: account name, "
                                    "folder name, class and year.")
                         .arg(QString::number(recordNumber), lineOf(record)));
            field = trimBlanks(*item);
        }
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
                     .arg(QString::number(limit), what, value, lineOf(record)));
        list.append(value);
        seen.insert(value);
    }

    QString lineOf(const RawRecord& record) const
    {
        return QString::number(m_reader.lineNumberAt(record.start));
    }

    [[noreturn]] void fail(const QString& problem) const { throw StartupError(m_path, problem); }

    QString m_path;
    ListItemReader m_reader;
    bool m_ascii;
    QSet<QString> m_seenYears;
    QSet<QString> m_seenClasses;
    ShortcutRegister m_register;
};

} // namespace

SiteSettings loadSettings(const QString& appFolder)
{
    const QString path = joinPath(appFolder, settingsFileName);
    ListItemReader reader(itemText(readSiteFile(path, QStringLiteral("settings"))));
    const std::optional<QString> title = reader.readItem();
    const std::optional<QString> year = title ? reader.readItem() : std::nullopt;
    if (!year)
        throw StartupError(path,
                           QStringLiteral("The settings file ends before the structure "
                                          "year.  It must hold a title and the year of "
                                          "the structure, for example: \"Intranet\",2026"));
    const QByteArray titleBytes = trimBlanks(*title).toLatin1();
    const QString titleText = isSystemText(titleBytes) ? decodeSystemText(titleBytes)
                                                       : QString::fromLatin1(titleBytes);
    return {titleText, structureYearFrom(*year, path)};
}

ShortcutRegister parseRegister(const QByteArray& bytes, const QString& path)
{
    return RegisterReader(bytes, path).read();
}

ShortcutRegister loadRegister(const QString& appFolder)
{
    const QString path = joinPath(appFolder, registerFileName);
    return parseRegister(readSiteFile(path, QStringLiteral("register")), path);
}

SiteData loadSite(const QString& appFolder)
{
    const QString folder = QDir::fromNativeSeparators(appFolder);
    SiteSettings settings = loadSettings(folder);
    return {folder, std::move(settings), loadRegister(folder)};
}

} // namespace tk
