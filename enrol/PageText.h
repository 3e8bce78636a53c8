#pragma once

#include <QByteArray>
#include <QString>

namespace tk {

// A page is read and written in the character set a browser would read it in.
enum class Charset { Utf8, Windows1252, System };

// From a byte-order mark or the charset the page declares in its first 1024
// bytes; else the system's code page, as the page's own editor wrote it.
Charset charsetOf(const QByteArray& page);

// `text` in `charset`; what the charset cannot hold goes in as a character
// reference, which every browser reads whatever the page's charset.
QByteArray encoded(const QString& text, Charset charset);

} // namespace tk
