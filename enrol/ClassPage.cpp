#include "enrol/ClassPage.h"

#include "platform/FileServices.h"
#include "platform/SystemText.h"

#include <QSettings>
#include <QUrl>

#include <optional>

namespace tk {

bool classPageLinksWanted(const QString& appFolder)
{
    const QString path = joinPath(appFolder, programSettingsFileName);
    if (!files::nameExists(path))
        return false;
    const QSettings settings(path, QSettings::IniFormat);
    const QString value = settings.value(QStringLiteral("class pages/link")).toString().trimmed();
    for (const char* yes : {"yes", "true", "on", "1"})
        if (value.compare(QLatin1String(yes), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QList<qsizetype> ClassPageLinks::linked() const
{
    QList<qsizetype> numbers;
    for (const PageLinkOutcome& outcome : students)
        if (outcome.problem == LinkProblem::None)
            numbers << outcome.student;
    return numbers;
}

QList<PageLinkOutcome> ClassPageLinks::notLinked() const
{
    QList<PageLinkOutcome> outcomes;
    for (const PageLinkOutcome& outcome : students)
        if (outcome.problem != LinkProblem::None)
            outcomes << outcome;
    return outcomes;
}

namespace {

// A page is read and written in the character set a browser would read it in.
enum class Charset { Utf8, Windows1252, System };

Charset charsetOf(const QByteArray& page)
{
    if (page.startsWith("\xEF\xBB\xBF"))
        return Charset::Utf8;
    // Browsers look for the declaration in the first 1024 bytes only.
    const QByteArray head = page.first(std::min<qsizetype>(page.size(), 1024)).toLower();
    const qsizetype at = head.indexOf("charset=");
    if (at < 0)
        return Charset::System; // as the home page takes it
    qsizetype value = at + 8;
    while (value < head.size() && (head[value] == '"' || head[value] == '\'' || head[value] == ' '))
        ++value;
    const QByteArrayView declared = QByteArrayView(head).sliced(value);
    if (declared.startsWith("utf-8") || declared.startsWith("utf8"))
        return Charset::Utf8;
    // Browsers read Latin-1 and ASCII as Windows-1252.
    for (const char* western : {"windows-1252", "cp1252", "iso-8859-1", "latin1", "us-ascii"})
        if (declared.startsWith(western))
            return Charset::Windows1252;
    return Charset::System;
}

QString decoded(QByteArrayView bytes, Charset charset)
{
    switch (charset) {
    case Charset::Utf8:
        return QString::fromUtf8(bytes);
    case Charset::System:
        return decodeText(bytes, TextEncoding::System);
    case Charset::Windows1252:
        break;
    }
    return decodeWindows1252(bytes);
}

// What the charset cannot hold goes in as a character reference, which
// every browser reads whatever the page's charset.
QByteArray encoded(const QString& text, Charset charset)
{
    if (charset == Charset::Utf8)
        return text.toUtf8();
    QByteArray bytes;
    for (const char32_t c : text.toUcs4()) {
        const QString character = QString::fromUcs4(&c, 1);
        if (charset == Charset::Windows1252) {
            if (const std::optional<char> byte = windows1252Byte(c)) {
                bytes += *byte;
                continue;
            }
        } else if (unstorableCharacters(character, {TextEncoding::System}).isEmpty()) {
            bytes += encodeFileText(character);
            continue;
        }
        bytes += "&#" + QByteArray::number(quint32(c)) + ';';
    }
    return bytes;
}

QString withoutEntities(const QString& text)
{
    if (!text.contains(QLatin1Char('&')))
        return text;
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype end = text.indexOf(QLatin1Char(';'), i);
        if (text[i] != QLatin1Char('&') || end < 0 || end - i > 10) {
            out += text[i];
            continue;
        }
        const QString name = text.mid(i + 1, end - i - 1);
        static const QList<std::pair<QString, QString>> named{{"amp", "&"},  {"lt", "<"},
                                                              {"gt", ">"},   {"quot", "\""},
                                                              {"apos", "'"}, {"nbsp", " "}};
        QString replacement;
        for (const auto& [entity, character] : named)
            if (name == entity)
                replacement = character;
        if (name.startsWith(QLatin1Char('#'))) {
            bool ok = false;
            const uint code = name.startsWith(QLatin1String("#x"), Qt::CaseInsensitive)
                ? name.mid(2).toUInt(&ok, 16)
                : name.mid(1).toUInt(&ok, 10);
            if (ok && code > 0 && code <= 0x10FFFF) {
                const auto c = static_cast<char32_t>(code);
                replacement = QString::fromUcs4(&c, 1);
            }
        }
        if (replacement.isEmpty()) {
            out += text[i];
            continue;
        }
        out += replacement;
        i = end;
    }
    return out;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

// A link as the page holds it.
struct Anchor
{
    qsizetype start = 0; // "<a"
    qsizetype end = 0; // after "</a>"
    qsizetype hrefStart = -1; // the address's bytes, without quotes
    qsizetype hrefEnd = -1;
    char quote = 0; // around the address, or 0
    qsizetype textStart = -1; // the text's bytes, inside any tags around it
    qsizetype textEnd = -1;
    QString address; // as the browser reads it
    QString text;
};

// The tag's end, past quoted values; the page's end if it has none.
qsizetype tagEnd(const QByteArray& page, qsizetype from)
{
    char quote = 0;
    for (qsizetype i = from; i < page.size(); ++i) {
        const char c = page[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return i + 1;
        }
    }
    return page.size();
}

bool startsTag(const QByteArray& lower, qsizetype at, const char* name)
{
    const qsizetype length = qsizetype(qstrlen(name));
    if (!QByteArrayView(lower).sliced(at).startsWith(QByteArrayView(name, length)))
        return false;
    return at + length < lower.size() && (isSpace(lower[at + length]) || lower[at + length] == '>');
}

void readHref(const QByteArray& page, const QByteArray& lower, qsizetype from, qsizetype to,
              Anchor* anchor)
{
    qsizetype i = from;
    while (i < to) {
        while (i < to && (isSpace(page[i]) || page[i] == '/'))
            ++i;
        const qsizetype nameStart = i;
        while (i < to && !isSpace(page[i]) && page[i] != '=' && page[i] != '>')
            ++i;
        const QByteArray name = lower.mid(nameStart, i - nameStart);
        while (i < to && isSpace(page[i]))
            ++i;
        if (i >= to || page[i] != '=') {
            if (i == nameStart)
                ++i;
            continue;
        }
        ++i;
        while (i < to && isSpace(page[i]))
            ++i;
        qsizetype valueStart = i;
        qsizetype valueEnd = i;
        char quote = 0;
        if (i < to && (page[i] == '"' || page[i] == '\'')) {
            quote = page[i];
            valueStart = i + 1;
            valueEnd = page.indexOf(quote, valueStart);
            if (valueEnd < 0 || valueEnd >= to)
                return;
            i = valueEnd + 1;
        } else {
            while (valueEnd < to && !isSpace(page[valueEnd]) && page[valueEnd] != '>')
                ++valueEnd;
            i = valueEnd;
        }
        if (name == "href" && anchor->hrefStart < 0) {
            anchor->hrefStart = valueStart;
            anchor->hrefEnd = valueEnd;
            anchor->quote = quote;
        }
    }
}

// The text between the tags that open and close inside the link, so that
// "<a ...><b>Name</b></a>" keeps its bold.
void readText(const QByteArray& page, qsizetype from, qsizetype to, Anchor* anchor)
{
    qsizetype start = from;
    for (;;) {
        while (start < to && isSpace(page[start]))
            ++start;
        if (start < to && page[start] == '<')
            start = std::min(tagEnd(page, start), to);
        else
            break;
    }
    qsizetype end = to;
    for (;;) {
        while (end > start && isSpace(page[end - 1]))
            --end;
        if (end > start && page[end - 1] == '>') {
            const qsizetype open = page.lastIndexOf('<', end - 1);
            if (open < start)
                break;
            end = open;
        } else {
            break;
        }
    }
    if (end > start && !QByteArrayView(page).sliced(start, end - start).contains('<')) {
        anchor->textStart = start;
        anchor->textEnd = end;
    }
}

QList<Anchor> anchorsOf(const QByteArray& page, const QByteArray& lower, Charset charset)
{
    QList<Anchor> anchors;
    qsizetype at = page.indexOf('<');
    while (at >= 0) {
        if (QByteArrayView(page).sliced(at).startsWith("<!--")) {
            const qsizetype close = page.indexOf("-->", at + 4);
            if (close < 0)
                break;
            at = page.indexOf('<', close + 3);
            continue;
        }
        if (!startsTag(lower, at, "<a")) {
            at = page.indexOf('<', at + 1);
            continue;
        }
        Anchor anchor;
        anchor.start = at;
        const qsizetype open = tagEnd(page, at);
        readHref(page, lower, at + 2, open - 1, &anchor);
        const qsizetype close = lower.indexOf("</a", open);
        anchor.end = close < 0 ? open : tagEnd(page, close);
        if (close >= 0)
            readText(page, open, close, &anchor);
        if (anchor.hrefStart >= 0) {
            QString address = withoutEntities(
                                  decoded(QByteArrayView(page).sliced(
                                              anchor.hrefStart, anchor.hrefEnd - anchor.hrefStart),
                                          charset))
                                  .trimmed();
            if (address.contains(QLatin1Char('%')))
                address = QUrl::fromPercentEncoding(address.toUtf8());
            anchor.address = address;
        }
        if (anchor.textStart >= 0)
            anchor.text = withoutEntities(
                              decoded(QByteArrayView(page).sliced(
                                          anchor.textStart, anchor.textEnd - anchor.textStart),
                                      charset))
                              .simplified();
        anchors << anchor;
        at = page.indexOf('<', anchor.end);
    }
    return anchors;
}

// The folder a relative address leads into, or nothing: "x/index.htm" and
// "./x/" lead into x, "../../index.htm" and "http://..." into none.
QString folderOf(const QString& address)
{
    QString path = address;
    if (path.startsWith(QLatin1String("./")))
        path = path.mid(2);
    const qsizetype slash = path.indexOf(QLatin1Char('/'));
    QString first = path.left(slash);
    if (slash <= 0 || first == QLatin1String("..") || first == QLatin1String(".")
        || first.contains(QLatin1Char(':')) || first.contains(QLatin1Char('\\'))
        || first.contains(QLatin1Char('?')) || first.contains(QLatin1Char('#')))
        return QString();
    return first;
}

// The form the program writes: the folder, then its home page.
bool isStudentLink(const Anchor& anchor)
{
    const QString folder = folderOf(anchor.address);
    return !folder.isEmpty() && !anchor.address.startsWith(QLatin1String("./"))
        && anchor.address.mid(folder.size())
               .compare(QLatin1String("/index.htm"), Qt::CaseInsensitive)
        == 0;
}

struct Span
{
    qsizetype start = -1;
    qsizetype end = -1;
    bool valid() const { return start >= 0; }
};

// The item "<li>...</li>" that holds the link and nothing but it.
Span itemOf(const QByteArray& lower, const Anchor& anchor)
{
    qsizetype open = anchor.start;
    while ((open = lower.lastIndexOf("<li", open - 1)) >= 0 && !startsTag(lower, open, "<li")) { }
    if (open < 0)
        return {};
    const QByteArrayView before = QByteArrayView(lower).sliced(open, anchor.start - open);
    if (before.contains("</li") || before.contains("<ul") || before.contains("<ol")
        || before.contains("</ul") || before.contains("</ol"))
        return {};
    const qsizetype close = lower.indexOf("</li", anchor.end);
    if (close < 0)
        return {};
    const QByteArrayView after = QByteArrayView(lower).sliced(anchor.end, close - anchor.end);
    if (after.contains("<li") || after.contains("<a") || after.contains("</ul")
        || after.contains("</ol"))
        return {};
    const qsizetype end = lower.indexOf('>', close);
    return end < 0 ? Span{} : Span{open, end + 1};
}

// The item with the blanks before it and its line end, when it has its line
// to itself: a new item then gets a line of its own too.
Span unitOf(const QByteArray& page, Span item)
{
    qsizetype lineStart = item.start;
    while (lineStart > 0 && (page[lineStart - 1] == ' ' || page[lineStart - 1] == '\t'))
        --lineStart;
    if (lineStart > 0 && page[lineStart - 1] != '\n' && page[lineStart - 1] != '\r')
        return item;
    qsizetype lineEnd = item.end;
    while (lineEnd < page.size() && (page[lineEnd] == ' ' || page[lineEnd] == '\t'))
        ++lineEnd;
    if (lineEnd == page.size() || (page[lineEnd] != '\r' && page[lineEnd] != '\n'))
        return item;
    if (page[lineEnd] == '\r' && lineEnd + 1 < page.size() && page[lineEnd + 1] == '\n')
        ++lineEnd;
    return {lineStart, lineEnd + 1};
}

// A neighbour's surname and given name, as its text shows them: the text is
// "Given Surname", and the folder name, surname_given in lower case without
// blanks, tells where the surname begins. A text edited by hand falls back on
// the folder name's two parts.
std::pair<QString, QString> namesOf(const Anchor& anchor, const QString& folder)
{
    const QStringList words = anchor.text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (qsizetype k = 1; k < words.size(); ++k) {
        const QString given = words.mid(0, k).join(QLatin1Char(' '));
        const QString surname = words.mid(k).join(QLatin1Char(' '));
        QString folderName = surname.toLower() + QLatin1Char('_') + given.toLower();
        folderName.remove(QLatin1Char(' '));
        if (folderName.compare(folder, Qt::CaseInsensitive) == 0)
            return {surname, given};
    }
    const qsizetype underscore = folder.indexOf(QLatin1Char('_'));
    return {folder.left(underscore), underscore < 0 ? QString() : folder.mid(underscore + 1)};
}

bool sortsAfter(const std::pair<QString, QString>& neighbour, const PageStudent& student)
{
    if (const int bySurname = neighbour.first.compare(student.surname, Qt::CaseInsensitive))
        return bySurname > 0;
    return neighbour.second.compare(student.givenName, Qt::CaseInsensitive) > 0;
}

// Percent-encoded where a browser would read the character as part of the
// address's syntax, escaped where HTML would.
QString addressOf(const QString& folderName, char quote)
{
    QString address;
    for (const QChar c : folderName) {
        if (c == QLatin1Char('%') || c == QLatin1Char('#') || c == QLatin1Char('?')
            || c == QLatin1Char('"') || c == QLatin1Char('<') || c == QLatin1Char('>')
            || c == QLatin1Char('`') || (c == QLatin1Char('\'') && quote != '"'))
            address += QStringLiteral("%%1").arg(c.unicode(), 2, 16, QLatin1Char('0')).toUpper();
        else if (c == QLatin1Char('&'))
            address += QStringLiteral("&amp;");
        else
            address += c;
    }
    return address;
}

QString byHandLine(const PageStudent& student)
{
    return QStringLiteral("<li><a href=\"%1/index.htm\">%2</a></li>")
        .arg(addressOf(student.folderName, '"'), student.fullName().toHtmlEscaped());
}

// One link into the page, or why not.
LinkProblem linkOne(QByteArray* page, const PageStudent& student)
{
    const QByteArray lower = page->toLower();
    const Charset charset = charsetOf(*page);
    const QList<Anchor> anchors = anchorsOf(*page, lower, charset);
    for (const Anchor& anchor : anchors)
        if (folderOf(anchor.address).compare(student.folderName, Qt::CaseInsensitive) == 0)
            return LinkProblem::AlreadyLinked;
    const auto first = std::find_if(anchors.begin(), anchors.end(), isStudentLink);
    if (first == anchors.end()) {
        const bool intoFolders = std::any_of(anchors.begin(), anchors.end(), [](const Anchor& a) {
            return !folderOf(a.address).isEmpty();
        });
        return intoFolders ? LinkProblem::OtherForm : LinkProblem::NoList;
    }
    const Span item = itemOf(lower, *first);
    if (!item.valid() || first->textStart < 0)
        return LinkProblem::OtherForm;

    // The list's students: its links of the same form, up to where it ends.
    qsizetype listEnd = lower.size();
    for (const char* close : {"</ul", "</ol"})
        if (const qsizetype at = lower.indexOf(close, item.end); at >= 0)
            listEnd = std::min(listEnd, at);
    Span place;
    bool before = false;
    for (auto it = first; it != anchors.end() && it->start < listEnd; ++it) {
        if (!isStudentLink(*it))
            continue;
        const Span neighbour = itemOf(lower, *it);
        if (!neighbour.valid())
            continue;
        place = unitOf(*page, neighbour);
        if (sortsAfter(namesOf(*it, folderOf(it->address)), student)) {
            before = true;
            break;
        }
    }

    const Span unit = unitOf(*page, item);
    QByteArray copy = page->mid(unit.start, unit.end - unit.start);
    // The later span first, so that the earlier one's offsets still hold.
    const qsizetype segmentEnd = page->indexOf('/', first->hrefStart);
    copy.replace(first->textStart - unit.start, first->textEnd - first->textStart,
                 encoded(student.fullName().toHtmlEscaped(), charset));
    copy.replace(first->hrefStart - unit.start, segmentEnd - first->hrefStart,
                 encoded(addressOf(student.folderName, first->quote), charset));
    page->insert(before ? place.start : place.end, copy);
    return LinkProblem::None;
}

QByteArray pageIn(const QString& classFolder)
{
    return files::readWholeFile(joinPath(classFolder, QStringLiteral("index.htm")));
}

ClassPageLinks numbered(const QString& classFolder, const LinkedPage& page,
                        const QList<qsizetype>& numbers)
{
    ClassPageLinks links{classFolder, page.outcomes};
    for (PageLinkOutcome& outcome : links.students)
        outcome.student = numbers.at(outcome.student);
    return links;
}

} // namespace

LinkedPage withStudentLinks(const QByteArray& page, const QList<PageStudent>& students)
{
    LinkedPage linked{page, {}, false};
    for (qsizetype i = 0; i < students.size(); ++i) {
        const LinkProblem problem = linkOne(&linked.bytes, students[i]);
        const bool needsLine = problem == LinkProblem::NoList || problem == LinkProblem::OtherForm;
        linked.outcomes.append({i, problem, needsLine ? byHandLine(students[i]) : QString()});
        linked.changed = linked.changed || problem == LinkProblem::None;
    }
    return linked;
}

ClassPageLinks plannedLinks(const QString& classFolder, const QList<PageStudent>& students,
                            const QList<qsizetype>& numbers)
{
    QByteArray page;
    try {
        page = pageIn(classFolder);
    } catch (const std::exception&) {
        ClassPageLinks links{classFolder, {}};
        for (qsizetype i = 0; i < students.size(); ++i)
            links.students.append(
                {numbers.at(i), LinkProblem::Unreadable, byHandLine(students[i])});
        return links;
    }
    return numbered(classFolder, withStudentLinks(page, students), numbers);
}

ClassPageLinks linkClassPage(const QString& classFolder, const QList<PageStudent>& students,
                             const QList<qsizetype>& numbers, QByteArray* before)
{
    *before = pageIn(classFolder);
    const LinkedPage page = withStudentLinks(*before, students);
    if (page.changed)
        replaceClassPage(classFolder, page.bytes);
    return numbered(classFolder, page, numbers);
}

void replaceClassPage(const QString& classFolder, const QByteArray& bytes)
{
    const QString temp = joinPath(classFolder, classPageTempName);
    try {
        files::File out = files::createAfresh(temp);
        out.write(bytes);
        // Flushed before the rename: after a power cut the page is the old
        // one or the new one, never an empty one.
        out.sync();
        out.close();
        files::renameReplacing(temp, joinPath(classFolder, QStringLiteral("index.htm")));
    } catch (...) {
        try {
            files::removeFileIfPresent(temp);
        } catch (...) {
            // The next run removes it; the failure to report is the first.
        }
        throw;
    }
}

LinkedPage withoutStudentLink(const QByteArray& page, const QString& folderName)
{
    LinkedPage unlinked{page, {{0, LinkProblem::NotLinked, QString()}}, false};
    const QByteArray lower = page.toLower();
    const QList<Anchor> anchors = anchorsOf(page, lower, charsetOf(page));
    // From the end, so that each span's offsets still hold.
    for (auto it = anchors.rbegin(); it != anchors.rend(); ++it) {
        if (folderOf(it->address).compare(folderName, Qt::CaseInsensitive) != 0)
            continue;
        const Span item = isStudentLink(*it) ? itemOf(lower, *it) : Span{};
        if (!item.valid()) {
            // Taken out by hand, where its markup is the page author's own.
            if (!unlinked.changed) {
                unlinked.outcomes[0].problem = LinkProblem::OtherForm;
                unlinked.outcomes[0].byHand = QStringLiteral("the link to %1/").arg(folderName);
            }
            continue;
        }
        const Span unit = unitOf(page, item);
        unlinked.bytes.remove(unit.start, unit.end - unit.start);
        unlinked.outcomes[0] = {0, LinkProblem::None, QString()};
        unlinked.changed = true;
    }
    return unlinked;
}

PageStudent pageStudentFor(const QString& classFolder, const QString& folderName,
                           const QString& account)
{
    if (!classFolder.isEmpty()) {
        try {
            const QByteArray page = pageIn(classFolder);
            for (const Anchor& anchor : anchorsOf(page, page.toLower(), charsetOf(page)))
                if (isStudentLink(anchor)
                    && folderOf(anchor.address).compare(folderName, Qt::CaseInsensitive) == 0) {
                    const auto [surname, given] = namesOf(anchor, folderName);
                    if (!given.isEmpty() && anchor.text == given + QLatin1Char(' ') + surname)
                        return {surname, given, folderName};
                }
        } catch (const std::exception&) {
        }
    }
    const QStringList words = account.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (qsizetype k = 1; k < words.size(); ++k) {
        const QString surname = words.mid(0, k).join(QLatin1Char(' '));
        const QString given = words.mid(k).join(QLatin1Char(' '));
        QString folder = surname.toLower() + QLatin1Char('_') + given.toLower();
        folder.remove(QLatin1Char(' '));
        if (folder.compare(folderName, Qt::CaseInsensitive) == 0)
            return {surname, given, folderName};
    }
    const qsizetype underscore = folderName.indexOf(QLatin1Char('_'));
    return {folderName.left(underscore),
            underscore < 0 ? QString() : folderName.mid(underscore + 1), folderName};
}

PageChange unlinkClassPage(const QString& classFolder, const QString& folderName, bool write)
{
    const QString byHand = QStringLiteral("the link to %1/").arg(folderName);
    PageChange change{classFolder, true, {0, LinkProblem::Unreadable, byHand}};
    LinkedPage page;
    try {
        page = withoutStudentLink(pageIn(classFolder), folderName);
    } catch (const std::exception&) {
        return change;
    }
    change.outcome = page.outcomes.at(0);
    try {
        if (write && page.changed)
            replaceClassPage(classFolder, page.bytes);
    } catch (const std::exception&) {
        change.outcome = {0, LinkProblem::Unwritable, byHand};
    }
    return change;
}

PageChange relinkClassPage(const QString& classFolder, const PageStudent& student, bool write)
{
    PageChange change{classFolder, false, plannedLinks(classFolder, {student}, {0}).students.at(0)};
    if (!write || change.outcome.problem != LinkProblem::None)
        return change;
    try {
        QByteArray before;
        change.outcome = linkClassPage(classFolder, {student}, {0}, &before).students.at(0);
    } catch (const std::exception&) {
        change.outcome = {0, LinkProblem::Unwritable, byHandLine(student)};
    }
    return change;
}

QString linkProblemText(LinkProblem problem)
{
    switch (problem) {
    case LinkProblem::None:
        break;
    case LinkProblem::NoList:
        return QStringLiteral("it has no list of links to its students' folders");
    case LinkProblem::OtherForm:
        return QStringLiteral("it links its students' folders in another form than list items "
                              "such as <li><a href=\"folder/index.htm\">Name</a></li>");
    case LinkProblem::AlreadyLinked:
        return QStringLiteral("it links the student's folder already");
    case LinkProblem::Unreadable:
        return QStringLiteral("it cannot be read");
    case LinkProblem::Unwritable:
        return QStringLiteral("it cannot be written");
    case LinkProblem::NotLinked:
        return QStringLiteral("it does not link the student's folder");
    }
    return QString();
}

} // namespace tk
