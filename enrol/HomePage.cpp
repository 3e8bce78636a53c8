#include "enrol/HomePage.h"

#include "platform/FileServices.h"
#include "platform/SystemText.h"

#include <cstring>
#include <memory>
#include <string_view>

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
        const bool crLf = m_page.at(at) == '\r' && at + 1 < m_page.size()
            && m_page.at(at + 1) == '\n';
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

// Qt's search for a longer needle hashes every byte it passes; the standard
// library's jumps from one first byte to the next with memchr, several times
// faster over a page where the placeholder is rare.
qsizetype placeholderIn(QByteArrayView data, qsizetype from = 0)
{
    const std::string_view text(data.data(), static_cast<size_t>(data.size()));
    const size_t found = text.find(std::string_view(homePagePlaceholder.constData(),
                                                    static_cast<size_t>(
                                                        homePagePlaceholder.size())),
                                   static_cast<size_t>(from));
    return found == std::string_view::npos ? -1 : static_cast<qsizetype>(found);
}

// The most bytes at a block's end that may begin a placeholder.
qsizetype placeholderTail()
{
    return homePagePlaceholder.size() - 1;
}

} // namespace

PageRewriter::PageRewriter(QByteArray name, std::function<void(QByteArrayView)> write)
    : m_name(std::move(name))
    , m_write(std::move(write))
{
    m_out.reserve(outputBlock + 4096);
}

void PageRewriter::feed(QByteArrayView data)
{
    qsizetype position = 0;
    if (m_skipLineFeed && !data.isEmpty()) {
        m_skipLineFeed = false;
        position = data.at(0) == '\n' ? 1 : 0;
    }
    LineEnds lineEnds(data);
    m_nextPlaceholder = -1;
    // Lines that end in CR LF and hold no placeholder come out as they went
    // in: they are copied a run at a time rather than a line at a time.
    qsizetype unchangedFrom = position;
    while (position < data.size()) {
        const qsizetype end = lineEnds.next(position);
        if (end == data.size())
            break;
        const bool crAtEnd = data.at(end) == '\r' && end + 1 == data.size();
        const qsizetype endLength = crAtEnd ? 1 : lineEnds.lengthAt(end);
        if (!m_midLine && endLength == 2 && !holdsPlaceholder(data, position, end)) {
            position = end + 2;
            continue;
        }
        copyUnchanged(data.sliced(unchangedFrom, position - unchangedFrom));
        emitLineOf(data, position, end);
        m_skipLineFeed = crAtEnd; // the LF of this CR LF may open the next block
        position = end + endLength;
        unchangedFrom = position;
    }
    copyUnchanged(data.sliced(unchangedFrom, position - unchangedFrom));
    passOnPartialLine(data.sliced(position));
}

// A line that goes on in the next block is passed on as far as it can be:
// all of it once its placeholder is replaced, else all but the few bytes
// that may begin one. A page on one line then costs no more memory than a
// block, where holding the line whole cost a fresh page of memory, and its
// fault, for every 4 KiB of it.
void PageRewriter::passOnPartialLine(QByteArrayView start)
{
    if (start.isEmpty())
        return;
    m_midLine = true;
    const qsizetype tail = placeholderTail();
    if (!m_lineReplaced && !m_carry.isEmpty()) {
        if (start.size() < tail) {
            passOnThroughCarry(start);
            return;
        }
        // A placeholder begun in the bytes held back ends within this block's
        // first bytes; only those are joined to them, never the whole block.
        passOnThroughCarry(start.first(tail));
        if (m_lineReplaced) {
            passOn(start.sliced(tail));
            return;
        }
        m_carry.clear(); // it holds just the joined bytes, looked at again below
    }
    if (!m_lineReplaced) {
        const qsizetype found = placeholderIn(start);
        if (found < 0) {
            const qsizetype kept = std::min(start.size(), tail);
            m_carry.append(start.last(kept));
            passOn(start.first(start.size() - kept));
            return;
        }
        passOn(start.first(found));
        m_out.append(m_name);
        m_lineReplaced = true;
        start = start.sliced(found + homePagePlaceholder.size());
    }
    passOn(start);
}

// Joins a few bytes to those held back, replaces a placeholder among them,
// and passes on all that cannot begin one.
void PageRewriter::passOnThroughCarry(QByteArrayView start)
{
    m_carry.append(start);
    if (const qsizetype found = placeholderIn(m_carry); found >= 0) {
        appendReplaced(QByteArrayView(m_carry).first(found + homePagePlaceholder.size()), found);
        m_carry.remove(0, found + homePagePlaceholder.size());
        m_lineReplaced = true;
    }
    const qsizetype kept = m_lineReplaced ? 0 : std::min(m_carry.size(), placeholderTail());
    passOn(QByteArrayView(m_carry).first(m_carry.size() - kept));
    m_carry.remove(0, m_carry.size() - kept);
}

void PageRewriter::passOn(QByteArrayView part)
{
    if (part.size() < outputBlock / 2) {
        m_out.append(part);
        flushIfFull();
        return;
    }
    // Most of a block of one long line: written where it is, not copied once more.
    if (!m_out.isEmpty())
        m_write(m_out);
    m_out.resize(0);
    m_write(part);
}

bool PageRewriter::holdsPlaceholder(QByteArrayView data, qsizetype start, qsizetype end)
{
    if (m_nextPlaceholder != data.size() && m_nextPlaceholder < start) {
        m_nextPlaceholder = placeholderIn(data, start);
        if (m_nextPlaceholder < 0)
            m_nextPlaceholder = data.size();
    }
    return m_nextPlaceholder + homePagePlaceholder.size() <= end;
}

void PageRewriter::copyUnchanged(QByteArrayView lines)
{
    if (lines.isEmpty())
        return;
    m_out.append(lines);
    flushIfFull();
}

void PageRewriter::finish()
{
    if (m_midLine) {
        emitLine(m_carry);
        m_carry.clear();
    }
    if (!m_out.isEmpty())
        m_write(m_out);
    m_out.clear();
}

// The placeholder is searched for once per block rather than once per line:
// most lines of a page hold none, and are copied without a look.
void PageRewriter::emitLineOf(QByteArrayView data, qsizetype start, qsizetype end)
{
    if (m_midLine) {
        m_carry.append(data.sliced(start, end - start));
        emitLine(m_carry);
        m_carry.clear();
        return;
    }
    const QByteArrayView line = data.sliced(start, end - start);
    if (holdsPlaceholder(data, start, end))
        appendReplaced(line, m_nextPlaceholder - start);
    else
        m_out.append(line);
    endLine();
}

void PageRewriter::emitLine(QByteArrayView line)
{
    const qsizetype found = m_lineReplaced ? -1 : placeholderIn(line);
    if (found < 0)
        m_out.append(line);
    else
        appendReplaced(line, found);
    endLine();
}

void PageRewriter::appendReplaced(QByteArrayView line, qsizetype placeholderAt)
{
    m_out.append(line.first(placeholderAt));
    m_out.append(m_name);
    m_out.append(line.sliced(placeholderAt + homePagePlaceholder.size()));
}

void PageRewriter::endLine()
{
    m_midLine = false;
    m_lineReplaced = false;
    m_out.append("\r\n", 2);
    flushIfFull();
}

void PageRewriter::flushIfFull()
{
    if (m_out.size() >= outputBlock) {
        m_write(m_out);
        m_out.resize(0); // keeps its capacity, where clear() would free it
    }
}

QByteArray personalisedPage(const QByteArray& page, const QByteArray& name)
{
    QByteArray out;
    PageRewriter rewriter(name, [&out](QByteArrayView block) { out.append(block); });
    rewriter.feed(page);
    rewriter.finish();
    return out;
}

namespace {

// A page that says it is UTF-8 must get the name in UTF-8, whatever the
// system's code page: a browser reads the page as the page says.
bool declaresUtf8(QByteArrayView page)
{
    // Browsers look for the declaration in the first 1024 bytes only.
    const QByteArray lower =
        page.first(std::min<qsizetype>(page.size(), 1024)).toByteArray().toLower();
    for (qsizetype at = lower.indexOf("charset="); at >= 0;
         at = lower.indexOf("charset=", at + 1)) {
        qsizetype value = at + 8;
        while (value < lower.size()
               && (lower.at(value) == '"' || lower.at(value) == '\'' || lower.at(value) == ' '))
            ++value;
        const QByteArrayView declared = QByteArrayView(lower).sliced(value);
        if (declared.startsWith("utf-8") || declared.startsWith("utf8"))
            return true;
    }
    return false;
}

QByteArray nameForPage(const QString& fullName, QByteArrayView head)
{
    // The name is text on an HTML page: "Tom & Jerry" must not start an entity.
    const QString text = fullName.toHtmlEscaped();
    return declaresUtf8(head) ? text.toUtf8() : encodeFileText(text);
}

} // namespace

void personaliseHomePage(const QString& studentFolderPath, const QString& fullName)
{
    const QString homePage = joinPath(studentFolderPath, QStringLiteral("index.htm"));
    const QString tempPage = joinPath(studentFolderPath, QStringLiteral("temp.htm"));
    files::File in(homePage, files::File::Mode::Read);

    // The template may hold a temp.htm of its own, even a link.
    files::File out = files::createAfresh(tempPage);
    // Left uninitialised, the block costs memory only as far as pages fill it.
    thread_local const std::unique_ptr<char[]> block(new char[PageRewriter::inputBlock]);
    qint64 got = in.read(block.get(), PageRewriter::inputBlock);
    PageRewriter rewriter(nameForPage(fullName, QByteArrayView(block.get(), got)),
                          [&out](QByteArrayView data) { out.write(data); });
    for (; got > 0; got = in.read(block.get(), PageRewriter::inputBlock))
        rewriter.feed(QByteArrayView(block.get(), got));
    rewriter.finish();
    in.close();
    // Where the whole file system is synced once the folder is complete,
    // a sync of this one file would only cost time.
    if (!files::syncsWholeFileSystem)
        out.sync();
    out.close();
    files::renameReplacing(tempPage, homePage);
}

} // namespace tk
