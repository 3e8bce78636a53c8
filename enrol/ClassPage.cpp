#include "enrol/ClassPage.h"

#include "enrol/PageText.h"
#include "enrol/Student.h"
#include "platform/FileServices.h"
#include "platform/SystemText.h"

#include <QHash>
#include <QSettings>
#include <QUrl>

#include <functional>
#include <optional>

namespace tk {

bool classPageLinksWanted(const QString& appFolder)
{
    // Not tkshrtct.ini: other programs read its format, which takes nothing new.
    const QString path = joinPath(appFolder, QStringLiteral("tkaddstudent.ini"));
    if (!files::nameExists(path))
        return false;
    const QSettings settings(path, QSettings::IniFormat);
    const QString value = settings.value(QStringLiteral("class pages/link")).toString().trimmed();
    return QStringList{"yes", "true", "on", "1"}.contains(value, Qt::CaseInsensitive);
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

// The character that "&name;" stands for, or nothing.
QString referencedCharacter(const QString& name)
{
    static const QHash<QString, QString> named{{"amp", "&"},   {"lt", "<"},   {"gt", ">"},
                                               {"quot", "\""}, {"apos", "'"}, {"nbsp", " "}};
    if (!name.startsWith(QLatin1Char('#')))
        return named.value(name);
    bool ok = false;
    const uint code = name.startsWith(QLatin1String("#x"), Qt::CaseInsensitive)
        ? name.mid(2).toUInt(&ok, 16)
        : name.mid(1).toUInt(&ok, 10);
    const auto c = static_cast<char32_t>(code);
    return ok && code > 0 && code <= 0x10FFFF ? QString::fromUcs4(&c, 1) : QString();
}

QString withoutEntities(QString text)
{
    // From each "&" on, past what it is replaced with: "&amp;lt;" reads as "&lt;".
    for (qsizetype i = text.indexOf(QLatin1Char('&')); i >= 0;
         i = text.indexOf(QLatin1Char('&'), i + 1)) {
        const qsizetype end = text.indexOf(QLatin1Char(';'), i);
        const QString character = end >= 0 && end - i <= 10
            ? referencedCharacter(text.mid(i + 1, end - i - 1))
            : QString();
        if (!character.isEmpty())
            text.replace(i, end - i + 1, character);
    }
    return text;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

qsizetype pastSpaces(const QByteArray& page, qsizetype from, qsizetype to)
{
    while (from < to && isSpace(page[from]))
        ++from;
    return from;
}

struct Span
{
    qsizetype start = -1;
    qsizetype end = -1;
    bool valid() const { return start >= 0; }
    qsizetype size() const { return end - start; }
};

// A link as the page holds it.
struct Anchor
{
    Span tag; // "<a" to after "</a>"
    Span href; // the address's bytes, without quotes
    Span textBytes; // inside any tags around the text
    QString address; // as the browser reads it
    QString folder; // the folder the address leads into, or none
    QString text;
};

// The tag's end, past quoted values; the page's end if it has none.
qsizetype tagEnd(const QByteArray& page, qsizetype from)
{
    char quote = 0;
    for (qsizetype i = from; i < page.size(); ++i) {
        if (quote) {
            if (page[i] == quote)
                quote = 0;
        } else if (page[i] == '"' || page[i] == '\'') {
            quote = page[i];
        } else if (page[i] == '>') {
            return i + 1;
        }
    }
    return page.size();
}

bool startsTag(const QByteArray& lower, qsizetype at, QByteArrayView name)
{
    const qsizetype after = at + name.size();
    return QByteArrayView(lower).sliced(at).startsWith(name) && after < lower.size()
        && (isSpace(lower[after]) || lower[after] == '>');
}

// The bytes of the tag's first href value, without quotes.
Span hrefOf(const QByteArray& page, const QByteArray& lower, qsizetype i, qsizetype to)
{
    while (i < to) {
        while (i < to && (isSpace(page[i]) || page[i] == '/'))
            ++i;
        const qsizetype nameStart = i;
        while (i < to && !isSpace(page[i]) && page[i] != '=' && page[i] != '>')
            ++i;
        const bool isHref = lower.mid(nameStart, i - nameStart) == "href";
        i = pastSpaces(page, i, to);
        if (i >= to || page[i] != '=') {
            if (i == nameStart)
                ++i;
            continue;
        }
        i = pastSpaces(page, i + 1, to);
        Span value{i, i};
        if (i < to && (page[i] == '"' || page[i] == '\'')) {
            value = {i + 1, page.indexOf(page[i], i + 1)};
            if (value.end < 0 || value.end >= to)
                return {};
            i = value.end + 1;
        } else {
            while (value.end < to && !isSpace(page[value.end]) && page[value.end] != '>')
                ++value.end;
            i = value.end;
        }
        if (isHref)
            return value;
    }
    return {};
}

// The text between the tags that open and close inside the link, so that
// "<a ...><b>Name</b></a>" keeps its bold.
Span textOf(const QByteArray& page, qsizetype from, qsizetype to)
{
    qsizetype start = pastSpaces(page, from, to);
    while (start < to && page[start] == '<')
        start = pastSpaces(page, std::min(tagEnd(page, start), to), to);
    const auto pastSpacesBack = [&](qsizetype end) {
        while (end > start && isSpace(page[end - 1]))
            --end;
        return end;
    };
    qsizetype end = pastSpacesBack(to);
    while (end > start && page[end - 1] == '>') {
        const qsizetype open = page.lastIndexOf('<', end - 1);
        if (open < start)
            break;
        end = pastSpacesBack(open);
    }
    if (end > start && !QByteArrayView(page).sliced(start, end - start).contains('<'))
        return {start, end};
    return {};
}

// The folder a relative address leads into, or nothing: "x/index.htm" and
// "./x/" lead into x, "../../index.htm" and "http://..." into none.
QString folderOf(const QString& address)
{
    const QString path = address.startsWith(QLatin1String("./")) ? address.mid(2) : address;
    const qsizetype slash = path.indexOf(QLatin1Char('/'));
    const QString first = path.left(slash);
    const bool intoFolder = slash > 0 && first != QLatin1String("..") && first != QLatin1String(".")
        && !std::any_of(first.begin(), first.end(),
                        [](QChar c) { return QStringView(u":\\?#").contains(c); });
    return intoFolder ? first : QString();
}

// The span's text as a browser shows it; none for no span.
QString readable(const QByteArray& page, Span span, Charset charset)
{
    if (!span.valid())
        return QString();
    const QByteArrayView bytes = QByteArrayView(page).sliced(span.start, span.size());
    if (charset == Charset::Utf8)
        return withoutEntities(QString::fromUtf8(bytes));
    return withoutEntities(charset == Charset::System ? decodeText(bytes, TextEncoding::System)
                                                      : decodeWindows1252(bytes));
}

QList<Anchor> anchorsOf(const QByteArray& page, const QByteArray& lower, Charset charset)
{
    QList<Anchor> anchors;
    for (qsizetype at = page.indexOf('<'); at >= 0; at = page.indexOf('<', at + 1)) {
        if (QByteArrayView(page).sliced(at).startsWith("<!--")) {
            const qsizetype close = page.indexOf("-->", at + 4);
            if (close < 0)
                break;
            at = close + 2;
            continue;
        }
        if (!startsTag(lower, at, "<a"))
            continue;
        Anchor anchor;
        const qsizetype open = tagEnd(page, at);
        anchor.href = hrefOf(page, lower, at + 2, open - 1);
        const qsizetype close = lower.indexOf("</a", open);
        anchor.tag = {at, close < 0 ? open : tagEnd(page, close)};
        if (close >= 0)
            anchor.textBytes = textOf(page, open, close);
        anchor.address = readable(page, anchor.href, charset).trimmed();
        if (anchor.address.contains(QLatin1Char('%')))
            anchor.address = QUrl::fromPercentEncoding(anchor.address.toUtf8());
        anchor.folder = folderOf(anchor.address);
        anchor.text = readable(page, anchor.textBytes, charset).simplified();
        anchors << anchor;
        at = anchor.tag.end - 1;
    }
    return anchors;
}

// The form the program writes: the folder, then its home page.
bool isStudentLink(const Anchor& anchor)
{
    return !anchor.folder.isEmpty()
        && anchor.address.compare(anchor.folder + QLatin1String("/index.htm"), Qt::CaseInsensitive)
        == 0;
}

// The item with the blanks before it and its line end, when it has its line
// to itself: a new item then gets a line of its own too.
Span unitOf(const QByteArray& page, Span item)
{
    qsizetype start = item.start;
    while (start > 0 && (page[start - 1] == ' ' || page[start - 1] == '\t'))
        --start;
    qsizetype end = item.end;
    while (end < page.size() && (page[end] == ' ' || page[end] == '\t'))
        ++end;
    const QByteArrayView rest = QByteArrayView(page).sliced(end);
    if ((start > 0 && page[start - 1] != '\n' && page[start - 1] != '\r')
        || !(rest.startsWith('\r') || rest.startsWith('\n')))
        return item;
    return {start, end + (rest.startsWith("\r\n") ? 2 : 1)};
}

// The item "<li>...</li>" that holds a link of the program's form and nothing
// but it, as unitOf() takes it; none for any other link.
Span itemOf(const QByteArray& lower, const Anchor& anchor)
{
    if (!isStudentLink(anchor))
        return {};
    // Qt searches back from the end for a negative start: stop at the page's start.
    qsizetype open = anchor.tag.start;
    do
        open = open > 0 ? lower.lastIndexOf("<li", open - 1) : -1;
    while (open >= 0 && !startsTag(lower, open, "<li"));
    const qsizetype close = lower.indexOf("</li", anchor.tag.end);
    const qsizetype end = close < 0 ? -1 : lower.indexOf('>', close);
    if (open < 0 || end < 0)
        return {};
    const QByteArrayView before = QByteArrayView(lower).sliced(open, anchor.tag.start - open);
    const QByteArrayView after = QByteArrayView(lower).sliced(anchor.tag.end,
                                                              close - anchor.tag.end);
    if (before.contains("</li") || before.contains("<ul") || before.contains("<ol")
        || before.contains("</ul") || before.contains("</ol") || after.contains("<li")
        || after.contains("<a") || after.contains("</ul") || after.contains("</ol"))
        return {};
    // The blanks and line ends around it are the same bytes in `lower`.
    return unitOf(lower, {open, end + 1});
}

// The surname and given name of a name, split where the folder name, surname_given
// in lower case without blanks, says; else the folder name's two parts.
std::pair<QString, QString> namesOf(const QString& name, const QString& folder, bool surnameFirst)
{
    const QStringList words = name.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (qsizetype k = 1; k < words.size(); ++k) {
        QString surname = words.mid(0, k).join(QLatin1Char(' '));
        QString given = words.mid(k).join(QLatin1Char(' '));
        if (!surnameFirst)
            std::swap(surname, given);
        if (Student::folderNameOf(surname, given).compare(folder, Qt::CaseInsensitive) == 0)
            return {surname, given};
    }
    const qsizetype underscore = folder.indexOf(QLatin1Char('_'));
    return {folder.left(underscore), underscore < 0 ? QString() : folder.mid(underscore + 1)};
}

// Percent-encoded where a browser would read the character as part of the
// address's syntax, escaped where HTML would. `quote` is the byte before the
// address: a double quote only when the address is in double quotes.
QString addressOf(const QString& folderName, char quote)
{
    QString address;
    for (const QChar c : folderName) {
        if (QStringView(u"%#?\"<>`").contains(c) || (c == QLatin1Char('\'') && quote != '"'))
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
        if (anchor.folder.compare(student.folderName, Qt::CaseInsensitive) == 0)
            return LinkProblem::AlreadyLinked;
    const auto first = std::find_if(anchors.begin(), anchors.end(), isStudentLink);
    if (first == anchors.end()) {
        const bool intoFolders = std::any_of(anchors.begin(), anchors.end(),
                                             [](const Anchor& a) { return !a.folder.isEmpty(); });
        return intoFolders ? LinkProblem::OtherForm : LinkProblem::NoList;
    }
    const Span unit = itemOf(lower, *first);
    if (!unit.valid() || !first->textBytes.valid())
        return LinkProblem::OtherForm;

    // The list's students: its links of the same form, up to where it ends.
    qsizetype listEnd = lower.size();
    for (const char* close : {"</ul", "</ol"})
        if (const qsizetype at = lower.indexOf(close, unit.end); at >= 0)
            listEnd = std::min(listEnd, at);
    Span place;
    bool before = false;
    for (auto it = first; it != anchors.end() && it->tag.start < listEnd && !before; ++it) {
        const Span neighbour = itemOf(lower, *it);
        if (!neighbour.valid())
            continue;
        place = neighbour;
        const auto [surname, given] = namesOf(it->text, it->folder, false);
        const int bySurname = surname.compare(student.surname, Qt::CaseInsensitive);
        before = bySurname > 0
            || (bySurname == 0 && given.compare(student.givenName, Qt::CaseInsensitive) > 0);
    }

    QByteArray copy = page->mid(unit.start, unit.size());
    // The later span first, so that the earlier one's offsets still hold.
    const qsizetype segmentEnd = page->indexOf('/', first->href.start);
    copy.replace(first->textBytes.start - unit.start, first->textBytes.size(),
                 encoded(student.fullName().toHtmlEscaped(), charset));
    copy.replace(first->href.start - unit.start, segmentEnd - first->href.start,
                 encoded(addressOf(student.folderName, page->at(first->href.start - 1)), charset));
    page->insert(before ? place.start : place.end, copy);
    return LinkProblem::None;
}

// `page` without the list items that link the student's folder in the form
// the program writes, each with its line when it has its line to itself.
LinkedPage withoutStudentLink(const QByteArray& page, const QString& folderName)
{
    LinkedPage unlinked{page, {{0, LinkProblem::NotLinked, QString()}}, false};
    const QByteArray lower = page.toLower();
    const QList<Anchor> anchors = anchorsOf(page, lower, charsetOf(page));
    // From the end, so that each span's offsets still hold.
    for (auto it = anchors.rbegin(); it != anchors.rend(); ++it) {
        if (it->folder.compare(folderName, Qt::CaseInsensitive) != 0)
            continue;
        const Span unit = itemOf(lower, *it);
        if (unit.valid()) {
            unlinked.bytes.remove(unit.start, unit.size());
            unlinked.outcomes[0] = {0, LinkProblem::None, QString()};
            unlinked.changed = true;
        } else if (!unlinked.changed) {
            // Taken out by hand, where its markup is the page author's own.
            unlinked.outcomes[0] = {0, LinkProblem::OtherForm,
                                    QStringLiteral("the link to %1/").arg(folderName)};
        }
    }
    return unlinked;
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

PageChange changeClassPage(const QString& classFolder, bool takeOut, const QString& byHand,
                           bool write, const std::function<LinkedPage(const QByteArray&)>& change)
{
    PageChange result{classFolder, takeOut, {0, LinkProblem::Unreadable, byHand}};
    LinkedPage page;
    try {
        page = change(pageIn(classFolder));
    } catch (const std::exception&) {
        return result;
    }
    result.outcome = page.outcomes.at(0);
    try {
        if (write && page.changed)
            replaceClassPage(classFolder, page.bytes);
    } catch (const std::exception&) {
        result.outcome = {0, LinkProblem::Unwritable, byHand};
    }
    return result;
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
    LinkedPage page;
    try {
        page = withStudentLinks(pageIn(classFolder), students);
    } catch (const std::exception&) {
        for (qsizetype i = 0; i < students.size(); ++i)
            page.outcomes.append({i, LinkProblem::Unreadable, byHandLine(students[i])});
    }
    return numbered(classFolder, page, numbers);
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

PageStudent pageStudentFor(const QString& classFolder, const QString& folderName,
                           const QString& account)
{
    try {
        const QByteArray page = classFolder.isEmpty() ? QByteArray() : pageIn(classFolder);
        for (const Anchor& anchor : anchorsOf(page, page.toLower(), charsetOf(page)))
            if (isStudentLink(anchor)
                && anchor.folder.compare(folderName, Qt::CaseInsensitive) == 0) {
                const auto [surname, given] = namesOf(anchor.text, folderName, false);
                if (!given.isEmpty() && anchor.text == given + QLatin1Char(' ') + surname)
                    return {surname, given, folderName};
            }
    } catch (const std::exception&) {
    }
    const auto [surname, given] = namesOf(account, folderName, true);
    return {surname, given, folderName};
}

PageChange unlinkClassPage(const QString& classFolder, const QString& folderName, bool write)
{
    return changeClassPage(classFolder, true, QStringLiteral("the link to %1/").arg(folderName),
                           write, [&](const QByteArray& page) {
                               return withoutStudentLink(page, folderName);
                           });
}

PageChange relinkClassPage(const QString& classFolder, const PageStudent& student, bool write)
{
    return changeClassPage(classFolder, false, byHandLine(student), write,
                           [&](const QByteArray& page) {
                               return withStudentLinks(page, {student});
                           });
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
