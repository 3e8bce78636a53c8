#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <initializer_list>

namespace tk {

// The program's files are 8-bit text in the platform's default code page. A
// register that is not valid in it (one carried over from an older Latin-1
// machine, say) is read as Latin-1 instead and written back the same way, so
// that no name is ever rewritten as replacement characters.
enum class TextEncoding { System, Latin1 };

bool isSystemText(QByteArrayView bytes);
// A byte-order mark is kept as a character: only the reader of a whole file
// may drop the one that opens it.
QString decodeSystemText(QByteArrayView bytes);
QByteArray encodeFileText(const QString& text, TextEncoding encoding = TextEncoding::System);
// The characters of `text` that one of `encodings` cannot store, each once, in order.
QString unstorableCharacters(const QString& text, std::initializer_list<TextEncoding> encodings);

// Leading and trailing blanks (the space character) only: tabs and other white
// space are part of a value.
QString trimBlanks(const QString& text);

} // namespace tk
