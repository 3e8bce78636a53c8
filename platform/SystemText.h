#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <initializer_list>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace tk {

// The register's character set is the register's own, never the writing
// machine's: the office's Windows PCs, Linux machines and the intranet's
// pages and scripts must all read the same bytes as the same names.
//
// CodePage is the Windows code page: the ANSI code page on Windows, and
// Windows-1252 elsewhere, since the register's readers are nearly always
// Western European Windows machines. Latin1 is for a register holding bytes
// that Windows-1252 leaves undefined: read and written as Latin-1, it loses
// none of them. System, the machine's own, is for the pages the program
// writes, which a browser on that machine reads.
enum class TextEncoding { CodePage, Utf8, Latin1, System };

// Whether every byte of `bytes` is a character of the Windows code page.
bool isCodePageText(QByteArrayView bytes);
// A byte-order mark is kept as a character: only the reader of a whole file
// may drop the one that opens it.
QString decodeText(QByteArrayView bytes, TextEncoding encoding);
// What `encoding` cannot store becomes "?".
QByteArray encodeFileText(const QString& text, TextEncoding encoding = TextEncoding::System);
void appendFileText(QByteArray& bytes, QStringView text, TextEncoding encoding);
// The characters of `text` that one of `encodings` cannot store, each once, in order.
QString unstorableCharacters(const QString& text, std::initializer_list<TextEncoding> encodings);

// Qt built without ICU, as the static Windows build is, has no Windows-1252
// codec. The five bytes it leaves undefined read as the C1 controls of the
// same number, as Windows reads them, so that a page read and written again
// keeps them; a reader that must not take them as text looks for them.
QString decodeWindows1252(QByteArrayView bytes);
std::optional<char> windows1252Byte(char32_t character);

// Leading and trailing blanks (the space character) only: tabs and other white
// space are part of a value.
QString trimBlanks(const QString& text);

bool isAscii(QStringView text);
// As QString::toLower, without its general tables for ASCII, which nearly
// every name is: a list lowers thousands.
QString lowerCased(QString text);
// An integer's digits, for a text built without QString::number's own
// allocation: a list numbers thousands of lines.
class Decimal
{
public:
    explicit Decimal(qint64 value);
    QLatin1String digits() const { return QLatin1String(m_digits, m_length); }

private:
    char m_digits[20];
    int m_length;
};

// What a name is compared by where case does not count: composed and case
// folded. Taken by value: a key built for the purpose is folded where it lies.
QString caseFoldedKey(QString text);

// The hash of a text, for the standard unordered containers. Qt 6.4's own
// (qHash, in QHash and QSet) returns with the AVX registers' upper halves in
// use, and on the benchmark machine the SSE code after each call then lost
// about 220 ns: the preview of 1,000 students took 1.6 ms (10%) longer.
struct TextHash
{
    std::size_t operator()(const QString& text) const noexcept;
};
template<typename Value>
using TextMap = std::unordered_map<QString, Value, TextHash>;
using TextSet = std::unordered_set<QString, TextHash>;

} // namespace tk
