#pragma once

#include "enrol/Student.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

namespace tk {

// One student's row of a list, as it came, and the line it begins on.
struct ListRow
{
    int line = 0;
    StudentInputs inputs;
};

// What is wrong with a row, or with the list as a whole (line 0).
struct ListProblem
{
    int line = 0;
    QString text;
    QStringList fields; // what the row holds, so that the operator can find it
};

struct StudentList
{
    QList<ListRow> rows;
    QList<ListProblem> problems;
};

// A list as schools save it from a spreadsheet or write it by hand: a header
// row naming the columns surname, given, year, class and, if the school has
// logins, login, as people write them ("Last name", "First name", "Year
// group", "Form", "Username"...), in any order and letter case; other
// columns are ignored. Commas, semicolons or tabs between the fields, which
// quotes may hold. UTF-8, UTF-16 with a byte-order mark, or else the
// Windows code page Excel saves in; `encoding`, when given, names the
// character set instead. A list that cannot be read as one gets a single
// problem on line 0; a row that cannot, a problem on its line.
StudentList readStudentList(const QByteArray& bytes, const QString& encoding = QString());
bool isKnownListEncoding(const QString& name);

// The year folders that a list's `written` year can mean among `years`: itself,
// or those with the same number, letter case, blanks and the word "Year" aside
// ("7", "Y7" and "year 7" for "Year 7"), as school systems export years.
QStringList yearFoldersMeant(const QString& written, const QStringList& years);

} // namespace tk
