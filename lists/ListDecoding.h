#pragma once

#include <QByteArray>
#include <QString>

namespace tk {

// The text of a list, in the character set `encoding` names or, when it is
// empty, in the one its bytes show. A byte that cannot be read becomes U+FFFD
// in its place, so that the row holding it is refused rather than changed.
// Bytes that show no one character set (UTF-8 with a stray byte, NUL bytes
// in no UTF-16 pattern) are not guessed at: `problem` says why.
QString decodeListText(const QByteArray& bytes, const QString& encoding, QString* problem);

} // namespace tk
