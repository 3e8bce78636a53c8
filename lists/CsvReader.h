#pragma once

#include "platform/TextScan.h"

#include <QStringList>

namespace tk {

// A row of values and the line it begins on.
struct CsvRow
{
    int line = 0;
    QStringList fields;
};

// Values as spreadsheets save them: separated by commas, semicolons (where
// the region's list separator is one) or tabs ("Unicode Text"), whichever the
// first row holds most of outside quotes. A quoted field may hold the
// separator, a line break and a doubled quote.
class CsvReader
{
public:
    explicit CsvReader(QString text);

    bool atEnd() const { return m_position >= m_text.size(); }
    QChar separator() const { return m_separator; }
    CsvRow readRow();

private:
    QChar at() const { return m_text.at(m_position); }
    bool atLineEnd() const { return isLineEnd(at()); }
    QChar separatorOfFirstRow() const;
    QString readField();
    QString readQuoted();
    void skipLineEnd();

    QString m_text;
    qsizetype m_position = 0;
    QChar m_separator;
    int m_line = 1;
    qsizetype m_widestRow = 1;
};

} // namespace tk
