#include "enrol/PageText.h"

#include "platform/SystemText.h"

#include <QList>

#include <optional>

namespace tk {

Charset charsetOf(const QByteArray& page)
{
    if (page.startsWith("\xEF\xBB\xBF"))
        return Charset::Utf8;
    // Browsers look for the declaration in the first 1024 bytes only.
    const QByteArray head = page.left(1024).toLower();
    const qsizetype at = head.indexOf("charset=");
    if (at < 0)
        return Charset::System;
    QByteArrayView declared = QByteArrayView(head).sliced(at + 8);
    while (declared.startsWith('"') || declared.startsWith('\'') || declared.startsWith(' '))
        declared = declared.sliced(1);
    if (declared.startsWith("utf-8") || declared.startsWith("utf8"))
        return Charset::Utf8;
    // Browsers read Latin-1 and ASCII as Windows-1252.
    for (const char* western : {"windows-1252", "cp1252", "iso-8859-1", "latin1", "us-ascii"})
        if (declared.startsWith(western))
            return Charset::Windows1252;
    return Charset::System;
}

QByteArray encoded(const QString& text, Charset charset)
{
    if (charset == Charset::Utf8)
        return text.toUtf8();
    QByteArray bytes;
    for (const char32_t c : text.toUcs4()) {
        const QString character = QString::fromUcs4(&c, 1);
        const std::optional<char> byte = windows1252Byte(c);
        if (charset == Charset::Windows1252 && byte)
            bytes += *byte;
        else if (charset == Charset::System
                 && unstorableCharacters(character, {TextEncoding::System}).isEmpty())
            bytes += encodeFileText(character);
        else
            bytes += "&#" + QByteArray::number(quint32(c)) + ';';
    }
    return bytes;
}

} // namespace tk
