#include "lists/StudentListReader.h"

#include "enrol/Refusals.h"
#include "lists/CsvReader.h"
#include "lists/ListDecoding.h"

#include <algorithm>
#include <array>
#include <optional>

namespace tk {

namespace {

enum Column : std::size_t { Surname, Given, Year, Class, Login };
constexpr std::size_t columnCount = Login + 1;
constexpr std::size_t requiredColumns = Login; // the login comes last, and is optional

// The headings schools write for each column, the list's own first; they
// are compared in any letter case, with blanks, "_", "-" and "." left out.
constexpr std::array<const char*, columnCount> headingsOf{
    "surname|last name|family name|legal surname|legal last name",
    "given|first name|given name|forename|preferred name|preferred forename|preferred first name",
    "year|year group|scholastic year|nc year|national curriculum year",
    "class|form|class name|form group|reg group|registration group|tutor group",
    "login|account|username|login account"};
constexpr std::array<const char*, columnCount> meaningOf{"surname", "given name", "year", "class",
                                                         "login"};

QStringList headingsFor(std::size_t column)
{
    return QString::fromLatin1(headingsOf[column]).split(u'|');
}

QString comparable(const QString& heading)
{
    QString key = heading.toLower();
    key.removeIf([](QChar c) { return c.isSpace() || c == u'_' || c == u'-' || c == u'.'; });
    return key;
}

QString joined(const QStringList& items, const QString& lastJoin)
{
    return items.size() < 2
        ? items.join(QString())
        : items.first(items.size() - 1).join(QStringLiteral(", ")) + lastJoin + items.last();
}

QString headingsWithOthers(std::size_t column)
{
    const QStringList headings = headingsFor(column);
    return QStringLiteral("%1 (or %2)").arg(headings.first(), headings.mid(1).join(u", "));
}

QString expectedHeader()
{
    QStringList required;
    for (std::size_t column = 0; column < requiredColumns; ++column)
        required << headingsWithOthers(column);
    return QStringLiteral("The first row must name the columns %1, and may name %2, in any "
                          "order.")
        .arg(joined(required, QStringLiteral(" and ")), headingsWithOthers(Login));
}

QString quoted(const QStringList& values)
{
    QStringList shown;
    for (const QString& value : values)
        if (!value.trimmed().isEmpty())
            shown << refusals::quoted(value);
    return shown.join(u", ");
}

bool isEmptyRow(const QStringList& fields)
{
    return std::all_of(fields.begin(), fields.end(),
                       [](const QString& field) { return field.trimmed().isEmpty(); });
}

// Where each column is, from the headings of the list's first row.
class ListHeader
{
public:
    explicit ListHeader(const QStringList& headings)
        : m_headings(headings)
    {
        for (qsizetype i = 0; i < headings.size(); ++i)
            addHeading(i);
    }

    QString problem() const
    {
        QStringList missing;
        for (std::size_t column = 0; column < requiredColumns; ++column)
            if (m_found[column].isEmpty())
                missing << QStringLiteral("the ") + QLatin1String(meaningOf[column]);
        if (missing.size() == qsizetype(requiredColumns) && m_found[Login].isEmpty())
            return QStringLiteral(
                       "The first row of the list names none of the columns: it holds %1.  %2")
                .arg(quoted(m_headings), expectedHeader());
        if (!missing.isEmpty())
            return QStringLiteral("The header row names no column for %1: it holds %2.  %3")
                .arg(joined(missing, QStringLiteral(" or ")), quoted(m_headings), expectedHeader());
        return repeatedColumnProblem();
    }

    qsizetype width() const { return m_width; }

    StudentInputs inputsOf(const QStringList& fields) const
    {
        StudentInputs row;
        row.surname = fieldOf(fields, Surname);
        row.givenName = fieldOf(fields, Given);
        row.loginAccount = fieldOf(fields, Login);
        row.year = fieldOf(fields, Year);
        row.className = fieldOf(fields, Class);
        return row;
    }

private:
    void addHeading(qsizetype index)
    {
        const QString key = comparable(m_headings.at(index));
        if (key.isEmpty())
            return;
        m_width = index + 1;
        for (std::size_t column = 0; column < columnCount; ++column)
            for (const QString& heading : headingsFor(column))
                if (key == comparable(heading))
                    m_found[column] << index;
    }

    // Two columns for one value, say "First name" and "Preferred name":
    // taking either could enrol the student under the wrong name.
    QString repeatedColumnProblem() const
    {
        for (std::size_t column = 0; column < columnCount; ++column)
            if (m_found[column].size() > 1)
                return QStringLiteral(
                           "The header row names the %1 twice, as %2 and %3: keep one of "
                           "them.")
                    .arg(QLatin1String(meaningOf[column]),
                         refusals::quoted(m_headings.at(m_found[column].at(0))),
                         refusals::quoted(m_headings.at(m_found[column].at(1))));
        return QString();
    }

    QString fieldOf(const QStringList& fields, std::size_t column) const
    {
        return m_found[column].isEmpty() ? QString() : fields.value(m_found[column].first());
    }

    QStringList m_headings;
    std::array<QList<qsizetype>, columnCount> m_found; // the headings naming each column
    qsizetype m_width = 0; // up to the last heading that is not blank
};

QString separatorName(QChar separator)
{
    if (separator == u';')
        return QStringLiteral("semicolon");
    return separator == u'\t' ? QStringLiteral("tab") : QStringLiteral("comma");
}

// Spreadsheets write the cells beyond the last heading as empty fields.
QString fieldCountProblem(const QStringList& fields, qsizetype width, QChar separator)
{
    if (fields.size() == width || (fields.size() > width && isEmptyRow(fields.sliced(width))))
        return QString();
    const QString counts = QStringLiteral("The row holds %1 field%2, and the header row names %3 "
                                          "columns")
                               .arg(QString::number(fields.size()),
                                    fields.size() == 1 ? QString() : QStringLiteral("s"),
                                    QString::number(width));
    if (fields.size() < width)
        return counts + QLatin1Char('.');
    return counts
        + QStringLiteral(": a value that holds a %1 must be in double quotes.")
              .arg(separatorName(separator));
}

// Excel's "CSV (Comma delimited)" writes "?" for every letter its code page
// lacks; no name holds one.
QString lostLetterProblem(const StudentInputs& row)
{
    for (const QString* value :
         {&row.surname, &row.givenName, &row.loginAccount, &row.year, &row.className})
        if (value->contains(u'?'))
            return QStringLiteral("The row holds \"?\" in %1, where Excel writes a letter it could "
                                  "not save in the list's character set.  Save the list as \"CSV "
                                  "UTF-8\" and try again.")
                .arg(refusals::quoted(*value));
    return QString();
}

std::optional<CsvRow> nextFilledRow(CsvReader& reader)
{
    while (!reader.atEnd()) {
        CsvRow row = reader.readRow();
        if (!isEmptyRow(row.fields))
            return row;
    }
    return std::nullopt;
}

StudentList rowsUnder(const ListHeader& header, CsvReader& reader)
{
    StudentList list;
    while (std::optional<CsvRow> row = nextFilledRow(reader)) {
        QString problem = fieldCountProblem(row->fields, header.width(), reader.separator());
        StudentInputs inputs;
        if (problem.isEmpty()) {
            inputs = header.inputsOf(row->fields);
            problem = lostLetterProblem(inputs);
        }
        if (problem.isEmpty())
            list.rows.append({row->line, std::move(inputs)});
        else
            list.problems.append({row->line, problem, row->fields});
    }
    return list;
}

// A workbook, where its CSV was meant, would read as a header of noise.
QString spreadsheetProblem(const QByteArray& bytes)
{
    const char* kind = bytes.startsWith("PK\x03\x04") ? "a spreadsheet workbook (.xlsx or .ods)"
        : bytes.startsWith("\xD0\xCF\x11\xE0")        ? "an Excel 97-2003 workbook (.xls)"
                                                      : nullptr;
    if (!kind)
        return QString();
    return QStringLiteral("The list is %1, not a CSV file.  Save it as CSV from the spreadsheet "
                          "(\"CSV UTF-8\" in Excel) and try again.")
        .arg(QLatin1String(kind));
}

StudentList wholeListProblem(const QString& problem)
{
    return {{}, {{0, problem, {}}}};
}

} // namespace

StudentList readStudentList(const QByteArray& bytes, const QString& encoding)
{
    if (const QString problem = spreadsheetProblem(bytes); !problem.isEmpty())
        return wholeListProblem(problem);
    QString decodingProblem;
    QString text = decodeListText(bytes, encoding, &decodingProblem);
    if (!decodingProblem.isEmpty())
        return wholeListProblem(decodingProblem);
    CsvReader reader(std::move(text));
    const std::optional<CsvRow> first = nextFilledRow(reader);
    if (!first)
        return wholeListProblem(QStringLiteral("The list is empty.  ") + expectedHeader());
    const ListHeader header(first->fields);
    if (const QString problem = header.problem(); !problem.isEmpty())
        return wholeListProblem(problem);
    StudentList list = rowsUnder(header, reader);
    if (list.rows.isEmpty() && list.problems.isEmpty())
        return wholeListProblem(
            QStringLiteral("The list holds no students: there is nothing under its header row."));
    return list;
}

namespace {

// "Year 7", "year 7", "Y7" and "7" all say 7.
QString yearNumberOf(QString text)
{
    text = text.toLower().remove(u' ');
    if (text.startsWith(QLatin1String("year")))
        text = text.mid(4);
    else if (text.startsWith(u'y'))
        text = text.mid(1);
    bool isNumber = false;
    const int number = text.toInt(&isNumber);
    return isNumber ? QString::number(number) : QString();
}

} // namespace

QStringList yearFoldersMeant(const QString& written, const QStringList& years)
{
    const QString asWritten = trimBlanks(written);
    if (years.contains(asWritten))
        return {asWritten};
    const QString number = yearNumberOf(asWritten);
    QStringList meant;
    if (!number.isEmpty())
        for (const QString& year : years)
            if (yearNumberOf(year) == number)
                meant << year;
    return meant;
}

} // namespace tk
