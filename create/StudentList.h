#pragma once

#include "create/StudentValues.h"

#include <QList>

#include <functional>

namespace tk {

class RegisterLock;

struct ListedStudent
{
    int line = 0; // where the student's row begins in the list
    StudentInputs inputs;
};

struct ListProblem
{
    enum class Kind { Refused, PageOrPath };
    int line = 0; // 0: the list as a whole
    Kind kind = Kind::Refused;
    QString text;
};

struct StudentList
{
    QList<ListedStudent> students;
    QList<ListProblem> problems;
};

// A list as spreadsheets export it: a header row naming the columns surname,
// given, year, class and, if the school has logins, login (in any order and
// letter case; other columns are ignored); UTF-8 or the platform's code page;
// fields quoted where they hold a separator, a quote or a line break; commas
// or, as some locales export, semicolons between them.
StudentList readStudentList(const QByteArray& bytes);

// Everything that adding the students in order would run into before it made
// anything: the refusals of Create, with the students before each one counted
// in the register's limits; the master and class pages; a folder that exists
// already; two students who would share a folder.
QList<ListProblem> checkStudentList(const SiteData& site, const ShortcutRegister& current,
                                    const QList<ListedStudent>& students);

struct ListResult
{
    qsizetype added = 0;     // the first `added` students are in the register
    int failureNumber = 0;   // 0 when every student was added
    bool failedFolderMade = false; // the failing student's folder was made
};

struct ListProgress
{
    std::function<void(qsizetype index)> starting;
    std::function<void(qsizetype index)> added;
};

// Adds the students in order under `lock`, each one's folder complete and on
// the disk before the register names it; stops at the first failure.
ListResult addStudentList(const SiteData& site, ShortcutRegister current,
                          const QList<ListedStudent>& students, const RegisterLock& lock,
                          const ListProgress& progress);

} // namespace tk
