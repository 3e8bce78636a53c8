#include "register/ListItemReader.h"

#include "platform/TextScan.h"

#include <algorithm>
#include <cmath>

namespace tk {

namespace {

bool isSeparator(QChar c)
{
    return c == QLatin1Char(',') || isLineEnd(c);
}

} // namespace

ListItemReader::ListItemReader(QString text)
    : m_text(std::move(text))
{
}

std::optional<QString> ListItemReader::readItem()
{
    skipBlanks();
    if (atEnd())
        return std::nullopt;
    if (m_text.at(m_position) == QLatin1Char('"')) {
        const qsizetype closing = m_text.indexOf(QLatin1Char('"'), m_position + 1);
        if (closing < 0)
            return std::nullopt;
        const QString value = m_text.mid(m_position + 1, closing - m_position - 1);
        m_position = closing + 1;
        // Anything between the closing quote and the separator is not part of the value.
        skipToSeparator();
        consumeSeparator();
        return value;
    }
    const qsizetype start = m_position;
    skipToSeparator();
    const QString value = m_text.mid(start, m_position - start);
    consumeSeparator();
    return value;
}

bool ListItemReader::endsAfterComma() const
{
    return atEnd() && m_position > 0 && m_text.at(m_position - 1) == QLatin1Char(',');
}

void ListItemReader::skipBlanks()
{
    while (!atEnd() && m_text.at(m_position) == QLatin1Char(' '))
        ++m_position;
}

// Every character of a register passes here: one search, not a call per character.
void ListItemReader::skipToSeparator()
{
    m_position = std::find_if(m_text.cbegin() + m_position, m_text.cend(), isSeparator)
        - m_text.cbegin();
}

void ListItemReader::consumeSeparator()
{
    m_position += lineEndLength(QStringView(m_text), m_position);
}

namespace {

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Blanks, an optional sign, then digits with at most one point among or
// around them. Read by hand: compiling a pattern for it cost more than the
// rest of reading the settings at start-up.
bool isDecimalNumber(QStringView item)
{
    // A line end may follow the last blank, as it always could.
    if (item.endsWith(QLatin1Char('\n')))
        item.chop(1);
    item = withoutBlanks(item);
    if (item.startsWith(QLatin1Char('+')) || item.startsWith(QLatin1Char('-')))
        item = item.sliced(1);
    const auto digits = std::count_if(item.begin(), item.end(), isDigit);
    const auto points = std::count(item.begin(), item.end(), QLatin1Char('.'));
    return digits > 0 && points <= 1 && digits + points == item.size();
}

} // namespace

std::optional<double> integerItemValue(const QString& item)
{
    if (!isDecimalNumber(item))
        return std::nullopt;
    return std::nearbyint(item.trimmed().toDouble());
}

} // namespace tk
