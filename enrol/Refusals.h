#pragma once

#include "platform/SystemText.h"
#include "register/ShortcutRegister.h"

#include <optional>

namespace tk {

class Student;

// Every reason a student is refused before anything is asked or touched, in
// one place, each in words that name the field and what to change.
namespace refusals {

// What the student's own values would do wrong whatever the register holds:
// leave the structure folder, be refused or altered by a Windows file server,
// be unreadable in the register, look like something they are not, or be
// longer than a file system takes.
std::optional<QString> ofValues(const Student& student);

// Where Windows limits a whole path (259 characters), a student folder whose
// copy of the template, `longestTemplatePath` deep, would pass it.
std::optional<QString> ofPathLength(const Student& student, qsizetype longestTemplatePath);

// A value in double quotes as a message shows it: a long one (a page pasted
// into a field, say) by its start and its length, so that it never floods
// the terminal or the window.
QString quoted(const QString& value);

} // namespace refusals

// Checks students in turn against the register as it will be with the ones
// before them: what it cannot store, its limits, and accounts and folders
// that would belong to two students.
class RegisterCheck
{
public:
    explicit RegisterCheck(const ShortcutRegister& current);

    // Whether a row of the register names `student` already: its account (in
    // any letter case), folder, class and year.
    bool registerNames(const Student& student) const;

    // Why `student`, from line `line` of a list (0: not from a list), cannot
    // go in after those accepted so far. When it can, it counts from now on.
    std::optional<QString> refusalFor(const Student& student, int line = 0);

private:
    struct Holder
    {
        qsizetype registerRow = -1; // the row that holds it, when the register does
        int line = 0; // else the list's line
    };

    std::optional<QString> limitRefusal(const Student& student) const;
    // Each is given what holds the student's account and folder (null: nothing).
    std::optional<QString> repeatRefusal(const Holder* account, const Holder* folder,
                                         int line) const;
    std::optional<QString> accountRefusal(const Holder* holder) const;
    std::optional<QString> folderRefusal(const Student& student, const Holder* holder) const;

    const ShortcutRegister& m_register;
    qsizetype m_rows;
    TextSet m_years;
    TextSet m_classes;
    TextMap<Holder> m_accounts; // by the account name, case-folded
    // Every row of the register, the same way.
    std::unordered_multimap<QString, qsizetype, TextHash> m_rowsByAccount;
    // Every folder of the register and of this enrolment, by year, class and
    // name, case-folded: Windows ignores case.
    TextMap<Holder> m_folders;
};

} // namespace tk
