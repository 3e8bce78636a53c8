#include "lists/CsvReader.h"

#include <algorithm>
#include <iterator>

namespace tk {

namespace {

// On a tie the comma wins, as the list's own form.
constexpr QChar separators[] = {u',', u';', u'\t'};

bool isSeparator(QChar c)
{
    return std::find(std::begin(separators), std::end(separators), c) != std::end(separators);
}

bool isFiller(QChar c)
{
    return c.isSpace() || isSeparator(c);
}

// The header is the first row that holds more than separators and blanks or,
// in a list of nothing else, the first that holds a separator. A heading may
// hold a comma ("Notes, medical") in quotes: only what lies outside counts.
QStringView headerRowOf(const QString& text)
{
    const auto textAt = std::find_if_not(text.begin(), text.end(), isFiller);
    if (textAt == text.end())
        return QStringView(std::find_if(text.begin(), text.end(), isSeparator), text.end());
    return QStringView(text).sliced(QStringView(text.begin(), textAt).lastIndexOf(u'\n') + 1);
}

// Excel's own first line, "sep=;", names the separator where the region's
// list separator differs from the file's: where that line ends, else 0.
// Said without a regular expression, whose compiling cost a list's preview
// more than reading its first hundred rows.
qsizetype declarationEnd(QStringView text)
{
    if (text.size() < 5 || !text.startsWith(u"sep=") || !isSeparator(text.at(4)))
        return 0;
    qsizetype at = text.size() > 5 && text.at(5) == u'\r' ? 6 : 5;
    if (at == text.size())
        return at;
    return text.at(at) == u'\n' ? at + 1 : 0;
}

} // namespace

CsvReader::CsvReader(QString text)
    : m_text(std::move(text))
{
    if (const qsizetype end = declarationEnd(m_text); end > 0) {
        m_separator = m_text.at(4);
        m_position = end;
        m_line = 2;
        return;
    }
    m_separator = separatorOfFirstRow();
}

CsvRow CsvReader::readRow()
{
    CsvRow row{m_line, {}};
    row.fields.reserve(m_widestRow); // a list's rows are mostly as wide as each other
    row.fields << readField();
    while (!atEnd() && at() == m_separator) {
        ++m_position;
        row.fields << readField();
    }
    skipLineEnd();
    m_widestRow = std::max(m_widestRow, row.fields.size());
    return row;
}

QChar CsvReader::separatorOfFirstRow() const
{
    qsizetype counts[std::size(separators)] = {};
    bool quoted = false;
    for (const QChar c : headerRowOf(m_text)) {
        if (!quoted && isLineEnd(c))
            break;
        quoted = quoted != (c == u'"');
        for (std::size_t i = 0; i < std::size(separators); ++i)
            counts[i] += !quoted && c == separators[i] ? 1 : 0;
    }
    return separators[std::max_element(std::begin(counts), std::end(counts)) - std::begin(counts)];
}

QString CsvReader::readField()
{
    QString field = !atEnd() && at() == u'"' ? readQuoted() : QString();
    const QStringView rest = QStringView(m_text).sliced(m_position);
    const QStringView unquoted(rest.begin(),
                               std::find_if(rest.begin(), rest.end(), [this](QChar c) {
                                   return c == m_separator || isLineEnd(c);
                               }));
    m_position += unquoted.size();
    if (field.isNull())
        return unquoted.toString();
    field += unquoted;
    return field;
}

QString CsvReader::readQuoted()
{
    QString field;
    for (++m_position; !atEnd(); ++m_position) {
        if (at() == u'"') {
            if (m_position + 1 >= m_text.size() || m_text.at(m_position + 1) != u'"')
                break;
            ++m_position;
        } else if (at() == u'\n') {
            ++m_line;
        }
        field += at();
    }
    if (!atEnd())
        ++m_position; // the closing quote
    return field;
}

void CsvReader::skipLineEnd()
{
    if (atEnd())
        return;
    m_position += lineEndLength(QStringView(m_text), m_position);
    ++m_line;
}

} // namespace tk
