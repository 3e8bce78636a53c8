#include "create/HomePage.h"

#include "platform/FileServices.h"
#include "platform/SystemText.h"

namespace tk {

namespace {

// Length of the line end at `at`, or 0.
int lineEndLength(const QByteArray& page, qsizetype at)
{
    if (page.at(at) == '\n')
        return 1;
    if (page.at(at) != '\r')
        return 0;
    return at + 1 < page.size() && page.at(at + 1) == '\n' ? 2 : 1;
}

void appendPersonalisedLine(QByteArray& out, QByteArrayView line, const QByteArray& name)
{
    const qsizetype found = line.indexOf(homePagePlaceholder);
    if (found < 0) {
        out.append(line);
    } else {
        out.append(line.first(found));
        out.append(name);
        out.append(line.sliced(found + homePagePlaceholder.size()));
    }
    out.append("\r\n", 2);
}

} // namespace

QByteArray personalisedPage(const QByteArray& page, const QByteArray& name)
{
    QByteArray out;
    out.reserve(page.size() + page.size() / 16 + name.size() * 4);
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < page.size(); ++i) {
        const int endLength = lineEndLength(page, i);
        if (endLength == 0)
            continue;
        appendPersonalisedLine(out, QByteArrayView(page).sliced(lineStart, i - lineStart), name);
        i += endLength - 1;
        lineStart = i + 1;
    }
    if (lineStart < page.size())
        appendPersonalisedLine(out, QByteArrayView(page).sliced(lineStart), name);
    return out;
}

void PersonaliseHomePage(const QString& studentFolderPath, const QString& fullName)
{
    const QString homePage = joinPath(studentFolderPath, QStringLiteral("index.htm"));
    const QString tempPage = joinPath(studentFolderPath, QStringLiteral("temp.htm"));
    const QByteArray page = files::readWholeFile(homePage);

    files::OutputFile out(tempPage, files::OutputFile::Mode::CreateOrEmpty);
    out.write(personalisedPage(page, encodeFileText(fullName)));
    out.sync();
    out.close();
    files::renameReplacing(tempPage, homePage);
}

} // namespace tk
