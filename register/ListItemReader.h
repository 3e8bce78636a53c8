#pragma once

#include <QString>

#include <optional>

namespace tk {

// Reads a settings or register file as one stream of comma-separated items in
// which a line end separates items exactly as a comma does, so a record may be
// split over lines and an empty line is one empty item.
class ListItemReader
{
public:
    explicit ListItemReader(QString text);

    bool atEnd() const { return m_position >= m_text.size(); }
    // nullopt when the text ends before the item is complete.
    std::optional<QString> readItem();
    qsizetype position() const { return m_position; }
    // 1-based line of a position; only wanted for error reports.
    int lineNumberAt(qsizetype position) const;

private:
    void skipBlanks();
    void skipToSeparator();
    void consumeSeparator();
    bool atSeparator() const;

    QString m_text;
    qsizetype m_position = 0;
};

// The value of an integer item: a decimal number, rounded to the nearest whole
// number (halves to even) when it has a fraction; an item that is not a number
// reads as 0.
double integerItemValue(const QString& item);

} // namespace tk
