#include "register/ListItemReader.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace tk {

namespace {

bool isLineEnd(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

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
    if (atEnd())
        return;
    const QChar c = m_text.at(m_position++);
    if (c == QLatin1Char('\r') && !atEnd() && m_text.at(m_position) == QLatin1Char('\n'))
        ++m_position;
}

std::optional<double> integerItemValue(const QString& item)
{
    static const QRegularExpression number(
        QStringLiteral("^ *[+-]?([0-9]+(\\.[0-9]*)?|\\.[0-9]+) *$"));
    if (!number.match(item).hasMatch())
        return std::nullopt;
    return std::nearbyint(item.trimmed().toDouble());
}

} // namespace tk
