#pragma once

#include <QString>

#include <optional>

namespace tk {

// Reads comma-separated items: the settings file as one stream in which a line
// end separates items exactly as a comma does, or one line of the register.
class ListItemReader
{
public:
    explicit ListItemReader(QString text);

    bool atEnd() const { return m_position >= m_text.size(); }
    // nullopt when the text ends before the item is complete.
    std::optional<QString> readItem();
    qsizetype position() const { return m_position; }
    // The text ended right after a comma, which leaves one more, empty, item.
    bool endsAfterComma() const;

private:
    void skipBlanks();
    void skipToSeparator();
    void consumeSeparator();

    QString m_text;
    qsizetype m_position = 0;
};

// The value of an integer item: a decimal number, rounded to the nearest whole
// number (halves to even) when it has a fraction; nothing when the item is
// not a number.
std::optional<double> integerItemValue(const QString& item);

} // namespace tk
