#include "create/HomePage.h"

#include "platform/FileServices.h"
#include "platform/SystemText.h"

#include <cstring>

namespace tk {

namespace {

// Finds line ends with memchr, which is many times faster than a byte loop
// on a large page; each of the two searches runs once over the page.
class LineEnds
{
public:
    explicit LineEnds(QByteArrayView page)
        : m_page(page)
    {
    }

    // The first line end at or after `from`, or the page's size.
    qsizetype next(qsizetype from)
    {
        m_cr = search('\r', from, m_cr);
        m_lf = search('\n', from, m_lf);
        return std::min(m_cr, m_lf);
    }

    qsizetype lengthAt(qsizetype at) const
    {
        const bool crLf = m_page.at(at) == '\r' && at + 1 < m_page.size() && m_page.at(at + 1) == '\n';
        return crLf ? 2 : 1;
    }

private:
    qsizetype search(char wanted, qsizetype from, qsizetype known) const
    {
        if (known >= from)
            return known;
        const void* found = std::memchr(m_page.data() + from, wanted,
                                        static_cast<size_t>(m_page.size() - from));
        return found ? static_cast<const char*>(found) - m_page.data() : m_page.size();
    }

    QByteArrayView m_page;
    qsizetype m_cr = -1;
    qsizetype m_lf = -1;
};

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
    out.reserve(page.size() + page.size() / 8 + name.size() * 4 + 2);
    const QByteArrayView view(page);
    LineEnds lineEnds(view);
    qsizetype lineStart = 0;
    while (lineStart < view.size()) {
        const qsizetype end = lineEnds.next(lineStart);
        appendPersonalisedLine(out, view.sliced(lineStart, end - lineStart), name);
        lineStart = end < view.size() ? end + lineEnds.lengthAt(end) : end;
    }
    return out;
}

void personaliseHomePage(const QString& studentFolderPath, const QString& fullName)
{
    const QString homePage = joinPath(studentFolderPath, QStringLiteral("index.htm"));
    const QString tempPage = joinPath(studentFolderPath, QStringLiteral("temp.htm"));
    const QByteArray page = files::readWholeFile(homePage);

    // The template may hold a temp.htm of its own, even a link: the name is
    // removed and made afresh, so that nothing is written through a link.
    files::removeFileIfPresent(tempPage);
    files::File out(tempPage, files::File::Mode::CreateNew);
    out.write(personalisedPage(page, encodeFileText(fullName)));
    out.sync();
    out.close();
    files::renameReplacing(tempPage, homePage);
}

} // namespace tk
