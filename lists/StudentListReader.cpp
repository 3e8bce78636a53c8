#include "lists/StudentListReader.h"

#include "lists/CsvReader.h"
#include "lists/ListDecoding.h"

#include <array>

namespace tk {

namespace {

constexpr std::array<const char*, 5> columnNames{"surname", "given", "year", "class", "login"};
constexpr std::size_t requiredColumns = 4; // login is optional

bool isBlankRow(const QStringList& fields)
{
    return fields.size() == 1 && fields.first().trimmed().isEmpty();
}

StudentInputs inputsFrom(const QStringList& fields, const std::array<int, 5>& columns)
{
    const auto field = [&](std::size_t which) {
        return columns[which] < 0 ? QString() : fields.value(columns[which]);
    };
    return {field(0), field(1), field(4), field(2), field(3)};
}

} // namespace

StudentList readStudentList(const QByteArray& bytes, const QString& encoding)
{
    StudentList list;
    CsvReader reader(decodeListText(bytes, encoding));
    std::array<int, 5> columns{-1, -1, -1, -1, -1};
    const QStringList header = reader.atEnd() ? QStringList() : reader.readRow().fields;
    for (qsizetype i = 0; i < header.size(); ++i) {
        const QString name = header.at(i).trimmed().toLower();
        for (std::size_t c = 0; c < columnNames.size(); ++c)
            if (name == QLatin1String(columnNames[c]) && columns[c] < 0)
                columns[c] = int(i);
    }
    for (std::size_t c = 0; c < requiredColumns; ++c)
        if (columns[c] < 0)
            list.problems.append({1,
                                  QStringLiteral("The header row names no column \"%1\".  It must "
                                                 "name surname, given, year and class.")
                                      .arg(QLatin1String(columnNames[c]))});
    const int needed = *std::max_element(columns.begin(), columns.end()) + 1;
    while (!reader.atEnd()) {
        const auto [line, fields] = reader.readRow();
        if (isBlankRow(fields))
            continue;
        if (fields.size() < needed)
            list.problems.append(
                {line,
                 QStringLiteral("The row has %1 fields; the header has %2.")
                     .arg(QString::number(fields.size()), QString::number(header.size()))});
        else
            list.rows.append({line, inputsFrom(fields, columns)});
    }
    return list;
}

} // namespace tk
