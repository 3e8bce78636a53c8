#pragma once

#include "enrol/Student.h"

#include <QByteArray>
#include <QList>

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
};

struct StudentList
{
    QList<ListRow> rows;
    QList<ListProblem> problems;
};

// A list as spreadsheets export it: a header row naming the columns surname,
// given, year, class and, if the school has logins, login (in any order and
// letter case; other columns are ignored); UTF-8 or the platform's code page;
// fields quoted where they hold a separator, a quote or a line break; commas
// or, as some locales export, semicolons between them.
// `encoding` names the character set when the bytes do not tell it.
StudentList readStudentList(const QByteArray& bytes, const QString& encoding = QString());
bool isKnownListEncoding(const QString& name);

} // namespace tk
