#pragma once

#include <QByteArray>
#include <QString>

namespace tk {

inline const QByteArray homePagePlaceholder = QByteArrayLiteral("New Student");

// The page with the first placeholder of every line replaced by `name`. Works
// on bytes so that every other byte of the page stays as it was; CR, CR LF and
// LF end a line, and every line is written back with CR LF.
QByteArray personalisedPage(const QByteArray& page, const QByteArray& name);

// Rewrites index.htm in the student folder through temp.htm, which then takes
// its place in one atomic rename, with `fullName` as HTML text in place of the
// placeholder. Throws NumberedFailure.
void personaliseHomePage(const QString& studentFolderPath, const QString& fullName);

} // namespace tk
