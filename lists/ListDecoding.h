#pragma once

#include <QByteArray>
#include <QString>

namespace tk {

// The text of a list, in the character set `encoding` names or, when it is
// empty, in the one its bytes show. A byte that cannot be read becomes U+FFFD
// in its place, so that the row holding it is refused rather than changed.
QString decodeListText(const QByteArray& bytes, const QString& encoding);

} // namespace tk
