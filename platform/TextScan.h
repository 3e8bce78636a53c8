#pragma once

// How the program's text is cut into lines, blanks and characters, said once
// for bytes (QByteArrayView) and for decoded text (QStringView) alike, so
// that no reader of a file can come to disagree with another.

#include <QByteArrayView>
#include <QChar>
#include <QStringList>
#include <QStringView>

#include <algorithm>
#include <type_traits>

namespace tk {

// CR, LF and CR LF each end a line.
inline bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

inline bool isLineEnd(QChar c)
{
    return c == u'\r' || c == u'\n';
}

// How many characters the separator at `at` takes: 2 for CR LF, 0 where the
// text ends, else 1 (a lone CR or LF, or whatever else separates).
template<typename View>
qsizetype lineEndLength(View text, qsizetype at)
{
    if (at >= text.size())
        return 0;
    return text.at(at) == u'\r' && at + 1 < text.size() && text.at(at + 1) == u'\n' ? 2 : 1;
}

// Finds line end after line end. Each of CR and LF is searched for with one
// vectorised search per occurrence (memchr for bytes), not a test per
// character: a page of a megabyte on one line costs a pass at memory speed,
// and a page of lone CRs or lone LFs is never searched twice over.
template<typename View>
class LineEnds
{
public:
    explicit LineEnds(View text)
        : m_text(text)
    {
    }

    // The first line end at or after `start`, or the text's size.
    qsizetype from(qsizetype start)
    {
        m_cr = next(u'\r', start, m_cr);
        m_lf = next(u'\n', start, m_lf);
        return std::min(m_cr, m_lf);
    }

private:
    using Char = std::remove_cv_t<typename View::value_type>;

    qsizetype next(char16_t wanted, qsizetype from, qsizetype known) const
    {
        if (known >= from)
            return known;
        const qsizetype found = m_text.indexOf(Char(wanted), from);
        return found < 0 ? m_text.size() : found;
    }

    View m_text;
    qsizetype m_cr = -1;
    qsizetype m_lf = -1;
};

// The text without the blanks (the space character only) that lead or end it:
// tabs and other white space are part of a value.
template<typename View>
View withoutBlanks(View text)
{
    while (!text.isEmpty() && text.front() == u' ')
        text = text.sliced(1);
    while (!text.isEmpty() && text.back() == u' ')
        text.chop(1);
    return text;
}

// One character of UTF-16 text: a surrogate pair counts as one, and half of
// a pair alone as itself, which QChar::isSurrogate then tells apart.
struct Character
{
    char32_t value;
    qsizetype length; // in UTF-16 code units
};

inline Character characterAt(QStringView text, qsizetype at)
{
    const QChar c = text.at(at);
    if (c.isHighSurrogate() && at + 1 < text.size() && text.at(at + 1).isLowSurrogate())
        return {QChar::surrogateToUcs4(c, text.at(at + 1)), 2};
    return {c.unicode(), 1};
}

// One row of CSV as spreadsheets read it, CR LF at its end: a value that
// holds a comma, a quote or a line end is quoted, its quotes doubled.
inline QString csvLine(const QStringList& fields)
{
    QStringList quoted;
    for (QString field : fields) {
        if (field.contains(u',') || field.contains(u'"') || field.contains(u'\n')
            || field.contains(u'\r'))
            field = u'"' + field.replace(QLatin1String("\""), QLatin1String("\"\"")) + u'"';
        quoted << field;
    }
    return quoted.join(u',') + QLatin1String("\r\n");
}

} // namespace tk
