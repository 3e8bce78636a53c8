#include "enrol/Student.h"

#include "enrol/Refusals.h"
#include "platform/FileServices.h"
#include "platform/SystemText.h"
#include "register/SiteFiles.h"

#include <QStringBuilder>

namespace tk {

namespace {

QString asEntered(const QString& typed)
{
    return trimBlanks(typed.normalized(QString::NormalizationForm_C));
}

} // namespace

Student::Student(const StudentInputs& typed, const SiteData& site)
    : m_surname(asEntered(typed.surname))
    , m_givenName(asEntered(typed.givenName))
    , m_loginAccount(asEntered(typed.loginAccount))
    , m_year(asEntered(typed.year))
    , m_className(asEntered(typed.className))
{
    // Built with QStringBuilder, one allocation each: a list makes thousands.
    m_folderName = folderNameOf(m_surname, m_givenName);
    m_fullName = m_givenName % QLatin1Char(' ') % m_surname;
    m_accountName = m_loginAccount.isEmpty() ? m_surname % QLatin1Char(' ') % m_givenName
                                             : m_loginAccount;
    m_accountKey = caseFoldedKey(m_accountName);
    m_classFolder = site.classFolder(m_year, m_className);
    m_folder = joinPath(m_classFolder, m_folderName);
}

QString Student::folderNameOf(const QString& surname, const QString& givenName)
{
    QString name = lowerCased(surname % QLatin1Char('_') % givenName);
    name.remove(QLatin1Char(' '));
    return name;
}

std::optional<Student> Student::from(const StudentInputs& typed, const SiteData& site,
                                     QString* refusal)
{
    Student student(typed, site);
    if (std::optional<QString> why = refusals::ofValues(student)) {
        if (refusal)
            *refusal = *why;
        return std::nullopt;
    }
    return student;
}

RegisterRecord Student::record() const
{
    return {m_accountName, m_folderName, m_className, m_year};
}

} // namespace tk
