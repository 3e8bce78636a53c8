#include "lists/ListDecoding.h"

#include "lists/StudentListReader.h"
#include "platform/SystemText.h"
#include "platform/TextScan.h"

#include <QStringDecoder>

#include <algorithm>
#include <optional>

namespace tk {

namespace {

using Decoder = QString (*)(QByteArrayView);

// Qt's UTF-16 decoder passes half of a character through; the refusals would
// then speak of a surrogate where the operator needs to hear of a bad byte.
QString withLoneSurrogatesReplaced(QString text)
{
    for (qsizetype i = 0, length = 0; i < text.size(); i += length) {
        const Character c = characterAt(text, i);
        if (QChar::isSurrogate(c.value))
            text[i] = QChar::ReplacementCharacter;
        length = c.length;
    }
    return text;
}

QString decodeWith(QStringDecoder decoder, QByteArrayView bytes)
{
    return withLoneSurrogatesReplaced(decoder.decode(bytes));
}

// Stateless, so that a list cut short in a character ends in U+FFFD rather
// than losing its last bytes.
template<QStringConverter::Encoding encoding>
QString decodeAs(QByteArrayView bytes)
{
    return decodeWith(QStringDecoder(encoding, QStringConverter::Flag::Stateless), bytes);
}

bool startsWith(QByteArrayView bytes, const char* mark)
{
    return bytes.startsWith(QByteArrayView(mark));
}

// Little-endian unless a byte-order mark says otherwise, as Windows writes it.
QString decodeUtf16(QByteArrayView bytes)
{
    return startsWith(bytes, "\xFE\xFF") ? decodeAs<QStringConverter::Utf16BE>(bytes)
                                         : decodeAs<QStringConverter::Utf16LE>(bytes);
}

// The bytes that the Windows code pages leave undefined read as C1
// controls, which no refusal looks for.
QString withUndefinedReplaced(QString text)
{
    for (QChar& c : text)
        if (c.unicode() >= 0x80 && c.unicode() < 0xA0)
            c = QChar::ReplacementCharacter;
    return text;
}

QString decodeListWindows1252(QByteArrayView bytes)
{
    return withUndefinedReplaced(decodeWindows1252(bytes));
}

// Excel saves "CSV (Comma delimited)" in the ANSI code page of the machine
// it runs on, which Windows alone knows; elsewhere the list most likely came
// from a Western European Windows machine.
QString decodeCodePage(QByteArrayView bytes)
{
    return withUndefinedReplaced(decodeText(bytes, TextEncoding::CodePage));
}

// Text that Windows saved as "Unicode Text" without its byte-order mark has a
// NUL in every other byte: the high byte of each Latin letter.
std::optional<Decoder> utf16WithoutMark(QByteArrayView bytes)
{
    qsizetype nulAtEven = 0;
    qsizetype nulAtOdd = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i)
        (i % 2 ? nulAtOdd : nulAtEven) += bytes[i] == '\0';
    const qsizetype half = bytes.size() / 2;
    if (nulAtEven == 0 && nulAtOdd > half / 2)
        return decodeAs<QStringConverter::Utf16LE>;
    if (nulAtOdd == 0 && nulAtEven > half / 2)
        return decodeAs<QStringConverter::Utf16BE>;
    return std::nullopt;
}

int lineOf(const QString& text, qsizetype at)
{
    return int(QStringView(text).first(at).count(u'\n')) + 1;
}

QString decodeGuessed(QByteArrayView bytes, QString* problem)
{
    if (startsWith(bytes, "\xFF\xFE") || startsWith(bytes, "\xFE\xFF"))
        return decodeUtf16(bytes);
    // Before UTF-8, which takes NUL as a character.
    if (!startsWith(bytes, "\xEF\xBB\xBF") && bytes.contains('\0')) {
        if (const std::optional<Decoder> decode = utf16WithoutMark(bytes))
            return (*decode)(bytes);
        *problem = QStringLiteral("The list holds NUL bytes, which no CSV file does.  If it was "
                                  "saved as \"Unicode Text\", name its character set with "
                                  "--encoding UTF-16LE; otherwise save it as \"CSV UTF-8\".");
        return QString();
    }
    if (startsWith(bytes, "\xEF\xBB\xBF") || bytes.isValidUtf8())
        return decodeAs<QStringConverter::Utf8>(bytes);
    // One stray byte in a UTF-8 list would turn every accented name into
    // nonsense if the whole were read in the code page instead.
    const QString asUtf8 = decodeAs<QStringConverter::Utf8>(bytes);
    const bool holdsUtf8Letters = std::any_of(asUtf8.begin(), asUtf8.end(), [](QChar c) {
        return c.unicode() >= 0x80 && c != QChar::ReplacementCharacter;
    });
    if (!holdsUtf8Letters)
        return decodeCodePage(bytes);
    *problem = QStringLiteral("Line %1 of the list holds a byte that is not UTF-8, although the "
                              "rest of the list is UTF-8.  Correct that line, or name the list's "
                              "character set with --encoding (for example --encoding "
                              "Windows-1252).")
                   .arg(lineOf(asUtf8, asUtf8.indexOf(QChar::ReplacementCharacter)));
    return QString();
}

struct NamedDecoder
{
    const char* name; // upper case, without blanks, "-" or "_"
    Decoder decode;
};

constexpr NamedDecoder ownDecoders[] = {
    {"UTF8", decodeAs<QStringConverter::Utf8>},
    {"UTF16", decodeUtf16},
    {"UTF16LE", decodeAs<QStringConverter::Utf16LE>},
    {"UTF16BE", decodeAs<QStringConverter::Utf16BE>},
    {"WINDOWS1252", decodeListWindows1252},
    {"CP1252", decodeListWindows1252},
    {"LATIN1", decodeAs<QStringConverter::Latin1>},
    {"ISO88591", decodeAs<QStringConverter::Latin1>},
};

Decoder ownDecoderFor(const QString& name)
{
    QString key = name.toUpper();
    key.removeIf([](QChar c) { return c.isSpace() || c == u'-' || c == u'_'; });
    for (const NamedDecoder& own : ownDecoders)
        if (key == QLatin1String(own.name))
            return own.decode;
    return nullptr;
}

QStringDecoder qtDecoderFor(const QString& name)
{
    return QStringDecoder(name.toLatin1().constData(), QStringConverter::Flag::Stateless);
}

} // namespace

bool isKnownListEncoding(const QString& name)
{
    return ownDecoderFor(name) || qtDecoderFor(name).isValid();
}

QString decodeListText(const QByteArray& bytes, const QString& encoding, QString* problem)
{
    if (encoding.isEmpty())
        return decodeGuessed(bytes, problem);
    if (const Decoder decode = ownDecoderFor(encoding))
        return decode(bytes);
    QStringDecoder decoder = qtDecoderFor(encoding);
    return decoder.isValid() ? decodeWith(std::move(decoder), bytes)
                             : decodeGuessed(bytes, problem);
}

} // namespace tk
