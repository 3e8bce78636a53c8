#pragma once

#include "register/ShortcutRegister.h"

#include <optional>

namespace tk {

struct SiteData;

// What the operator typed or picked, or what a row of a list held, as it came.
// Set each value by its name: the constructor keeps a positional brace list,
// in which two swapped names would compile, from building one.
struct StudentInputs
{
    StudentInputs() { } // NOLINT(modernize-use-equals-default): see above

    QString surname;
    QString givenName;
    QString loginAccount;
    QString year;
    QString className;
};

// One student as every later step uses it, made once where the input comes
// in: each value composed (NFC), so that a name typed two ways is one name,
// with the blanks around it trimmed, and every name and path derived from
// the values once. Nothing below this trims or derives again.
class Student
{
public:
    // The student that `typed` describes, or nothing, with `refusal` saying
    // why the values cannot be used whatever the register holds.
    static std::optional<Student> from(const StudentInputs& typed, const SiteData& site,
                                       QString* refusal);

    const QString& surname() const { return m_surname; }
    const QString& givenName() const { return m_givenName; }
    const QString& loginAccount() const { return m_loginAccount; } // empty: none
    const QString& year() const { return m_year; }
    const QString& className() const { return m_className; }

    // Surname and given name, lower case, with every blank removed.
    const QString& folderName() const { return m_folderName; }
    // The same rule for any surname and given name, as a register's names were made.
    static QString folderNameOf(const QString& surname, const QString& givenName);
    // Given name first: the name the home page shows.
    const QString& fullName() const { return m_fullName; }
    // The login account or, without one, surname first: the register's sort key.
    const QString& accountName() const { return m_accountName; }
    // The account name as the register compares accounts: in any letter case.
    const QString& accountKey() const { return m_accountKey; }
    const QString& classFolder() const { return m_classFolder; }
    const QString& folder() const { return m_folder; }

    RegisterRecord record() const;

private:
    Student(const StudentInputs& typed, const SiteData& site);

    QString m_surname;
    QString m_givenName;
    QString m_loginAccount;
    QString m_year;
    QString m_className;
    QString m_folderName;
    QString m_fullName;
    QString m_accountName;
    QString m_accountKey;
    QString m_classFolder;
    QString m_folder;
};

} // namespace tk
