#include "enrol/HomePage.h"

#include "enrol/PageText.h"
#include "platform/FileServices.h"
#include "platform/TextScan.h"

#include <string_view>

namespace tk {

QByteArray personalisedPage(const QByteArray& page, const QByteArray& name)
{
    // Qt's search for a longer needle hashes every byte it passes; the standard
    // library's jumps from one first byte to the next with memchr.
    const std::string_view placeholder(homePagePlaceholder.constData(),
                                       size_t(homePagePlaceholder.size()));
    QByteArray out;
    // A name per line and CR LF for lone line ends rarely grow a page by half:
    // the page is then built without ever being copied to grow it.
    out.reserve(page.size() + page.size() / 2);
    LineEnds<QByteArrayView> lineEnds(page);
    for (qsizetype start = 0; start < page.size();) {
        const qsizetype end = lineEnds.from(start);
        std::string_view line(page.constData() + start, size_t(end - start));
        if (const size_t found = line.find(placeholder); found != std::string_view::npos) {
            out.append(line.data(), qsizetype(found));
            out.append(name);
            line.remove_prefix(found + placeholder.size());
        }
        out.append(line.data(), qsizetype(line.size()));
        out.append("\r\n", 2);
        start = end + lineEndLength(QByteArrayView(page), end);
    }
    return out;
}

void personaliseHomePage(const QString& studentFolderPath, const QString& fullName)
{
    const QString homePage = joinPath(studentFolderPath, QStringLiteral("index.htm"));
    const QString tempPage = joinPath(studentFolderPath, QStringLiteral("temp.htm"));
    files::File in(homePage, files::File::Mode::Read);
    // The template may hold a temp.htm of its own, even a link.
    files::File out = files::createAfresh(tempPage);
    const QByteArray page = in.readAll();
    // The name is text on an HTML page: "Tom & Jerry" must not start an entity.
    out.write(personalisedPage(page, encoded(fullName.toHtmlEscaped(), charsetOf(page))));
    in.close();
    // Where the whole file system is synced once the folder is complete,
    // a sync of this one file would only cost time.
    if (!files::syncsWholeFileSystem)
        out.sync();
    out.close();
    files::renameReplacing(tempPage, homePage);
}

} // namespace tk
