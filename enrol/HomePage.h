#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace tk {

inline const QByteArray homePagePlaceholder = QByteArrayLiteral("New Student");

// Rewrites a page as it streams through in blocks, so that a large page costs
// no more memory than a block: the first placeholder of every line becomes
// the name, and every line ends in CR LF. CR, CR LF and LF end a line, also
// when a block boundary splits a CR LF.
class PageRewriter
{
public:
    // Every read and write of a block costs a system call: at 64 KiB these
    // were a tenth of a large page's rewrite. Memory is touched only as far
    // as the page fills it, so a small page costs no more for the size.
    static constexpr qsizetype inputBlock = qsizetype(256) * 1024;
    static constexpr qsizetype outputBlock = qsizetype(256) * 1024;

    PageRewriter(QByteArray name, std::function<void(QByteArrayView)> write);
    void feed(QByteArrayView data);
    void finish();

private:
    bool holdsPlaceholder(QByteArrayView data, qsizetype start, qsizetype end);
    void copyUnchanged(QByteArrayView lines);
    void emitLineOf(QByteArrayView data, qsizetype start, qsizetype end);
    void emitLine(QByteArrayView line);
    void passOnPartialLine(QByteArrayView start);
    void passOnThroughCarry(QByteArrayView start);
    void passOn(QByteArrayView part);
    void appendReplaced(QByteArrayView line, qsizetype placeholderAt);
    void endLine();
    void flushIfFull();

    QByteArray m_name;
    std::function<void(QByteArrayView)> m_write;
    QByteArray m_out;
    QByteArray m_carry; // the end of a line that the next block goes on with
    qsizetype m_nextPlaceholder = -1;
    bool m_skipLineFeed = false;
    bool m_midLine = false; // a line that began in an earlier block has not ended
    bool m_lineReplaced = false; // the placeholder of the current line is replaced
};

// The page with the first placeholder of every line replaced by `name`. Works
// on bytes so that every other byte of the page stays as it was; CR, CR LF and
// LF end a line, and every line is written back with CR LF.
QByteArray personalisedPage(const QByteArray& page, const QByteArray& name);

// Rewrites index.htm in the student folder through temp.htm, which then takes
// its place in one atomic rename, with `fullName` as HTML text in place of the
// placeholder. Throws NumberedFailure.
void personaliseHomePage(const QString& studentFolderPath, const QString& fullName);

} // namespace tk
