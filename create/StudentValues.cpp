#include "create/StudentValues.h"

#include "platform/FileServices.h"
#include "platform/SystemText.h"

#include <QDir>

namespace tk {

namespace {

const QString crLf = QStringLiteral("\r\n");

QString structureFolder(const SiteData& site)
{
    return joinPath(site.appFolder, QString::number(site.settings.structureYear));
}

struct Field
{
    QString label;
    QString value;
};

std::optional<QString> pathSegmentRefusal(const Field& field)
{
    for (const QChar separator : {QLatin1Char('/'), QLatin1Char('\\')}) {
        if (field.value.contains(separator))
            return QStringLiteral("The %1 holds the character \"%2\", which would put the "
                                  "student's folder outside the Ilvantis structure.  Please "
                                  "remove it and try again.")
                .arg(field.label, separator);
    }
    const QString segment = trimBlanks(field.value);
    if (segment == QLatin1String(".") || segment == QLatin1String(".."))
        return QStringLiteral("The %1 may not be \"%2\": that would put the student's folder "
                              "outside the Ilvantis structure.  Please change it and try again.")
            .arg(field.label, segment);
    return std::nullopt;
}

std::optional<QString> blankRefusal(const Field& field)
{
    if (!trimBlanks(field.value).isEmpty())
        return std::nullopt;
    return QStringLiteral("The %1 is blank.  Please choose or type one and try again.")
        .arg(field.label);
}

std::optional<QString> registerRefusal(const Field& field)
{
    const struct
    {
        QChar character;
        const char* name;
    } unstorable[] = {{QLatin1Char(','), "the comma \",\""},
                      {QLatin1Char('"'), "the double quote '\"'"},
                      {QLatin1Char('\r'), "a line break"},
                      {QLatin1Char('\n'), "a line break"}};
    for (const auto& bad : unstorable) {
        if (field.value.contains(bad.character))
            return QStringLiteral("The %1 holds %2, which the register file tkshrtct.dat cannot "
                                  "store.  Please remove it and try again.")
                .arg(field.label, QLatin1String(bad.name));
    }
    return std::nullopt;
}

} // namespace

QString folderNameFor(const StudentInputs& inputs)
{
    const QString joined = trimBlanks(inputs.surname).toLower() + QLatin1Char('_')
        + trimBlanks(inputs.givenName).toLower();
    return QString(joined).remove(QLatin1Char(' '));
}

QString classFolderPathFor(const SiteData& site, const StudentInputs& inputs)
{
    return joinPath(joinPath(structureFolder(site), trimBlanks(inputs.year)),
                    trimBlanks(inputs.className));
}

QString studentFolderPathFor(const SiteData& site, const StudentInputs& inputs,
                             const QString& folderName)
{
    return joinPath(classFolderPathFor(site, inputs), folderName);
}

QString masterFolderPathFor(const SiteData& site)
{
    return joinPath(structureFolder(site), QStringLiteral("masterstudent"));
}

QString fullNameFor(const StudentInputs& inputs)
{
    return trimBlanks(inputs.givenName) + QLatin1Char(' ') + trimBlanks(inputs.surname);
}

QString accountNameFor(const StudentInputs& inputs)
{
    const QString login = trimBlanks(inputs.loginAccount);
    if (!login.isEmpty())
        return login;
    return trimBlanks(inputs.surname) + QLatin1Char(' ') + trimBlanks(inputs.givenName);
}

RegisterRecord newRecordFor(const StudentInputs& inputs, const QString& accountName,
                            const QString& folderName)
{
    return {accountName, folderName, trimBlanks(inputs.className), trimBlanks(inputs.year)};
}

QString confirmationText(const StudentInputs& inputs, const QString& studentFolderPath)
{
    const QString opening = QStringLiteral("This utility will create a new Ilvantis folder "
                                           "structure for ")
        + fullNameFor(inputs) + QStringLiteral(" located in the path: ");
    const QString login = trimBlanks(inputs.loginAccount);
    const QString loginSentence = login.isEmpty()
        ? QStringLiteral("This student does not have an individual login account for the "
                         "Ilvantis server.")
            + crLf
        : QStringLiteral("The tkshrtct.dat file will include the login account name of ") + login
            + QLatin1Char('.') + crLf;
    return opening + crLf + studentFolderPath + crLf + loginSentence + crLf
        + QStringLiteral("Are you sure you want to do this?");
}

std::optional<QString> refusalFor(const StudentInputs& inputs, const QString& folderName,
                                  int registerRows)
{
    const Field givenName{QStringLiteral("Given or Preferred Name"), inputs.givenName};
    const Field surname{QStringLiteral("New Student's Surname"), inputs.surname};
    const Field year{QStringLiteral("Scholastic Year"), inputs.year};
    const Field className{QStringLiteral("Class"), inputs.className};
    const Field login{QStringLiteral("Individual Login Account"), inputs.loginAccount};
    const Field folder{QStringLiteral("student's folder name \"") + folderName
                           + QLatin1Char('"'),
                       folderName};

    for (const Field& field : {givenName, surname, year, className, login})
        if (auto refusal = registerRefusal(field))
            return refusal;
    for (const Field& field : {year, className})
        if (auto refusal = blankRefusal(field))
            return refusal;
    for (const Field& field : {givenName, surname, year, className, folder})
        if (auto refusal = pathSegmentRefusal(field))
            return refusal;
    if (registerRows >= maxRegisterRows)
        return QStringLiteral("The register file tkshrtct.dat already holds %1 students, the "
                              "most that this utility can read back.  No more students can be "
                              "added to it.")
            .arg(maxRegisterRows);
    return std::nullopt;
}

} // namespace tk
