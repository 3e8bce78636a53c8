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
    qsizetype added = 0; // the first `added` students are in the register
    int failureNumber = 0; // 0 when every student was added
    qsizetype failedAt = -1; // the student whose folder failed, if one did
    bool failedFolderMade = false; // that student's folder was made, whole or not
    bool registerFailed = false; // the folders were made; the register was not changed
};

struct ListProgress
{
    std::function<void(qsizetype index)> starting;
    std::function<void(qsizetype index)> folderMade;
    std::function<void(qsizetype count)> registering;
};

// Makes the students' folders in order under `lock`, up to the first failure,
// then makes them durable and writes the register once with every student
// whose folder is complete: the register never names one whose folder is not.
ListResult addStudentList(const SiteData& site, const ShortcutRegister& current,
                          const QList<ListedStudent>& students, const RegisterLock& lock,
                          const ListProgress& progress);

} // namespace tk
