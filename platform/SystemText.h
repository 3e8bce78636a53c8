#pragma once

#include <QByteArray>
#include <QString>

namespace tk {

// The program's files are 8-bit text in the platform's default code page. A
// file that is not valid in it (a register carried over from an older Latin-1
// machine, say) is read as Latin-1 instead and written back the same way, so
// that no name is ever rewritten as replacement characters.
enum class TextEncoding { System, Latin1 };

struct DecodedText
{
    QString text;
    TextEncoding encoding = TextEncoding::System;
};

DecodedText decodeFileText(const QByteArray& bytes);
QByteArray encodeFileText(const QString& text, TextEncoding encoding = TextEncoding::System);

// Leading and trailing blanks (the space character) only: tabs and other white
// space are part of a value.
QString trimBlanks(const QString& text);

} // namespace tk
