#include "lists/StudentListReader.h"

#include "lists/ListDecoding.h"

#include <array>

namespace tk {

namespace {

// Comma-separated values as spreadsheets write them: a quoted field may hold
// the separator, a line break and a doubled quote.
class ListReader
{
public:
    explicit ListReader(QString text)
        : m_text(std::move(text))
        , m_separator(separatorOfFirstLine())
    {
    }

    bool atEnd() const { return m_position >= m_text.size(); }
    int line() const { return m_line; }

    QStringList readRow()
    {
        QStringList fields{readField()};
        while (!atEnd() && at() == m_separator) {
            ++m_position;
            fields << readField();
        }
        skipLineEnd();
        return fields;
    }

private:
    QChar at() const { return m_text.at(m_position); }
    bool atLineEnd() const { return at() == QLatin1Char('\r') || at() == QLatin1Char('\n'); }

    QChar separatorOfFirstLine() const
    {
        const QString first = m_text.left(m_text.indexOf(QLatin1Char('\n')));
        return first.count(QLatin1Char(';')) > first.count(QLatin1Char(',')) ? QLatin1Char(';')
                                                                             : QLatin1Char(',');
    }

    QString readField()
    {
        QString field;
        if (!atEnd() && at() == QLatin1Char('"'))
            field = readQuoted();
        while (!atEnd() && at() != m_separator && !atLineEnd())
            field += m_text.at(m_position++);
        return field;
    }

    QString readQuoted()
    {
        QString field;
        for (++m_position; !atEnd(); ++m_position) {
            if (at() == QLatin1Char('"')) {
                if (m_position + 1 >= m_text.size()
                    || m_text.at(m_position + 1) != QLatin1Char('"'))
                    break;
                ++m_position;
            } else if (at() == QLatin1Char('\n')) {
                ++m_line;
            }
            field += at();
        }
        ++m_position;
        return field;
    }

    void skipLineEnd()
    {
        if (atEnd())
            return;
        if (at() == QLatin1Char('\r') && m_position + 1 < m_text.size()
            && m_text.at(m_position + 1) == QLatin1Char('\n'))
            ++m_position;
        ++m_position;
        ++m_line;
    }

    QString m_text;
    QChar m_separator;
    qsizetype m_position = 0;
    int m_line = 1;
};

constexpr std::array<const char*, 5> columnNames{"surname", "given", "year", "class", "login"};
constexpr std::size_t requiredColumns = 4; // login is optional

bool isBlankRow(const QStringList& fields)
{
    return fields.size() == 1 && fields.first().trimmed().isEmpty();
}

StudentInputs inputsFrom(const QStringList& fields, const std::array<int, 5>& columns)
{
    const auto field = [&](std::size_t which) {
        return columns[which] < 0 ? QString() : fields.value(columns[which]);
    };
    return {field(0), field(1), field(4), field(2), field(3)};
}

} // namespace

StudentList readStudentList(const QByteArray& bytes, const QString& encoding)
{
    StudentList list;
    ListReader reader(decodeListText(bytes, encoding));
    std::array<int, 5> columns{-1, -1, -1, -1, -1};
    const QStringList header = reader.atEnd() ? QStringList() : reader.readRow();
    for (qsizetype i = 0; i < header.size(); ++i) {
        const QString name = header.at(i).trimmed().toLower();
        for (std::size_t c = 0; c < columnNames.size(); ++c)
            if (name == QLatin1String(columnNames[c]) && columns[c] < 0)
                columns[c] = int(i);
    }
    for (std::size_t c = 0; c < requiredColumns; ++c)
        if (columns[c] < 0)
            list.problems.append({1,
                                  QStringLiteral("The header row names no column \"%1\".  It must "
                                                 "name surname, given, year and class.")
                                      .arg(QLatin1String(columnNames[c]))});
    const int needed = *std::max_element(columns.begin(), columns.end()) + 1;
    while (!reader.atEnd()) {
        const int line = reader.line();
        const QStringList fields = reader.readRow();
        if (isBlankRow(fields))
            continue;
        if (fields.size() < needed)
            list.problems.append(
                {line,
                 QStringLiteral("The row has %1 fields; the header has %2.")
                     .arg(QString::number(fields.size()), QString::number(header.size()))});
        else
            list.rows.append({line, inputsFrom(fields, columns)});
    }
    return list;
}

} // namespace tk
