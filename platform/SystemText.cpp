#include "platform/SystemText.h"

#include "platform/TextScan.h"

#include <QList>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <array>
#include <charconv>
#include <iterator>
#include <string_view>

namespace tk {

namespace {

constexpr std::array<char16_t, 32> windows1252From0x80{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t windows1252Character(unsigned char byte)
{
    return byte >= 0x80 && byte < 0xA0 ? windows1252From0x80[byte - 0x80] : char16_t(byte);
}

// A Windows machine set to UTF-8 as its ANSI code page would otherwise
// write a register that every other machine reads wrong.
bool codePageIsSystem()
{
#ifdef Q_OS_WIN
    static const bool systemIsUtf8 = QByteArray(
                                         QStringEncoder(QStringConverter::System).encode(u"\u00E9"))
        == "\xC3\xA9";
    return !systemIsUtf8;
#else
    return false;
#endif
}

QStringConverter::Encoding qtEncoding(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8:
        return QStringConverter::Utf8;
    case TextEncoding::Latin1:
        return QStringConverter::Latin1;
    case TextEncoding::CodePage:
    case TextEncoding::System:
        break;
    }
    return QStringConverter::System;
}

bool isWindows1252(TextEncoding encoding)
{
    return encoding == TextEncoding::CodePage && !codePageIsSystem();
}

} // namespace

QString decodeWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char byte : bytes)
        *out++ = QChar(windows1252Character(static_cast<unsigned char>(byte)));
    return text;
}

std::optional<char> windows1252Byte(char32_t character)
{
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF))
        return static_cast<char>(character);
    const auto* found = std::find(windows1252From0x80.begin(), windows1252From0x80.end(),
                                  character);
    if (found == windows1252From0x80.end())
        return std::nullopt;
    return static_cast<char>(0x80 + (found - windows1252From0x80.begin()));
}

bool isCodePageText(QByteArrayView bytes)
{
    if (!codePageIsSystem())
        return std::none_of(bytes.begin(), bytes.end(), [](char byte) {
            const auto code = static_cast<unsigned char>(byte);
            return code >= 0x80 && code < 0xA0 && windows1252Character(code) == code;
        });
    QStringDecoder decoder(QStringConverter::System,
                           QStringConverter::Flag::Stateless
                               | QStringConverter::Flag::ConvertInitialBom);
    const QString ignored = decoder.decode(bytes);
    return !decoder.hasError();
}

QString decodeText(QByteArrayView bytes, TextEncoding encoding)
{
    if (isWindows1252(encoding))
        return decodeWindows1252(bytes);
    QStringDecoder decoder(qtEncoding(encoding), QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

void appendFileText(QByteArray& bytes, QStringView text, TextEncoding encoding)
{
    if (isWindows1252(encoding)) {
        for (const char32_t c : text.toUcs4())
            bytes += windows1252Byte(c).value_or('?');
        return;
    }
    QStringEncoder encoder(qtEncoding(encoding));
    const qsizetype used = bytes.size();
    bytes.resize(used + encoder.requiredSpace(text.size()));
    const char* end = encoder.appendToBuffer(bytes.data() + used, text);
    bytes.truncate(end - bytes.constData());
}

QByteArray encodeFileText(const QString& text, TextEncoding encoding)
{
    QByteArray bytes;
    appendFileText(bytes, text, encoding);
    return bytes;
}

namespace {

// Some code pages put a stand-in such as "?" in place of what they lack and
// report nothing, so only the round trip tells.
bool survivesRoundTrip(const QString& character, TextEncoding encoding)
{
    return decodeText(encodeFileText(character, encoding), encoding) == character;
}

} // namespace

QString unstorableCharacters(const QString& text, std::initializer_list<TextEncoding> encodings)
{
    QString unstorable;
    for (qsizetype i = 0, length = 0; i < text.size(); i += length) {
        length = characterAt(text, i).length;
        const QString character = text.mid(i, length);
        if (character.at(0).unicode() < 0x80 || unstorable.contains(character))
            continue;
        const bool stored = std::all_of(encodings.begin(), encodings.end(), [&](TextEncoding e) {
            return survivesRoundTrip(character, e);
        });
        if (!stored)
            unstorable += character;
    }
    return unstorable;
}

QString trimBlanks(const QString& text)
{
    const QStringView trimmed = withoutBlanks(QStringView(text));
    return trimmed.size() == text.size() ? text : trimmed.toString();
}

bool isAscii(QStringView text)
{
    // Without an early exit the loop is vectorised: names are short, and
    // nearly all of them ASCII.
    char16_t all = 0;
    for (const QChar c : text)
        all |= c.unicode();
    return all < 0x80;
}

QString lowerCased(QString text)
{
    if (!isAscii(text))
        return std::move(text).toLower();
    const auto isUpper = [](QChar c) { return c >= u'A' && c <= u'Z'; };
    if (std::none_of(text.cbegin(), text.cend(), isUpper))
        return text;
    // Without a branch, so that the compiler vectorises it. Taking the
    // characters to write copies a shared text, once.
    for (QChar& c : text)
        c = QChar(char16_t(c.unicode() + (isUpper(c) ? u'a' - u'A' : 0)));
    return text;
}

Decimal::Decimal(qint64 value)
    : m_length(int(std::to_chars(std::begin(m_digits), std::end(m_digits), value).ptr - m_digits))
{
}

std::size_t TextHash::operator()(const QString& text) const noexcept
{
    const QStringView view(text);
    return std::hash<std::u16string_view>()(
        std::u16string_view(view.utf16(), std::size_t(view.size())));
}

QString caseFoldedKey(QString text)
{
    // In ASCII, which nearly every name is, folding is lowering and composing
    // changes nothing; Qt's general folding costs many times more.
    if (isAscii(text))
        return lowerCased(std::move(text));
    return text.normalized(QString::NormalizationForm_C).toCaseFolded();
}

} // namespace tk
