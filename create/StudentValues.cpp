#include "create/StudentValues.h"

#include "platform/FileServices.h"
#include "platform/SystemText.h"

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

using Refusal = std::optional<QString>;

Refusal registerRefusal(const Field& field)
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

Refusal controlCharacterRefusal(const Field& field)
{
    for (const QChar c : field.value) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return QStringLiteral("The %1 holds a control character (code %2), which no folder "
                                  "name or register line may hold.  Please remove it and try "
                                  "again.")
                .arg(field.label, QString::number(c.unicode()));
    }
    return std::nullopt;
}

Refusal blankRefusal(const Field& field)
{
    if (!trimBlanks(field.value).isEmpty())
        return std::nullopt;
    return QStringLiteral("The %1 is blank.  Please choose or type one and try again.")
        .arg(field.label);
}

Refusal pathSegmentRefusal(const Field& field)
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

// The same intranet must work whichever machine serves it, and Windows file
// systems refuse these characters in a name and drop a trailing dot.
Refusal windowsNameRefusal(const Field& field)
{
    for (const QChar c : QStringLiteral("<>:\"|?*")) {
        if (field.value.contains(c))
            return QStringLiteral("The %1 holds the character \"%2\", which Windows does not "
                                  "allow in a folder name.  Please remove it and try again.")
                .arg(field.label, c);
    }
    if (trimBlanks(field.value).endsWith(QLatin1Char('.')))
        return QStringLiteral("The %1 ends with a dot, which Windows drops from a folder name.  "
                              "Please remove it and try again.")
            .arg(field.label);
    return std::nullopt;
}

Refusal encodingRefusal(const Field& field, TextEncoding registerEncoding)
{
    // The register's code page, and the system's, in which the home page is written.
    const QString unstorable = unstorableCharacters(field.value,
                                                    {registerEncoding, TextEncoding::System});
    if (unstorable.isEmpty())
        return std::nullopt;
    return QStringLiteral("The %1 holds the characters \"%2\", which the register file "
                          "tkshrtct.dat cannot store in its character set.  Please type the name "
                          "without them and try again.")
        .arg(field.label, unstorable);
}

Refusal limitRefusal(const StudentInputs& inputs, const ShortcutRegister& shortcuts)
{
    if (shortcuts.rowCount() >= maxRegisterRows)
        return QStringLiteral("The register file tkshrtct.dat already holds %1 students, the "
                              "most that this utility can read back.  No more students can be "
                              "added to it.")
            .arg(maxRegisterRows);
    const struct
    {
        const QStringList& names;
        QString value;
        int limit;
        const char* what;
    } lists[] = {{shortcuts.years, trimBlanks(inputs.year), maxYears, "years"},
                 {shortcuts.classes, trimBlanks(inputs.className), maxClasses, "classes"}};
    for (const auto& list : lists) {
        if (list.names.size() >= list.limit && !list.names.contains(list.value))
            return QStringLiteral("The register file tkshrtct.dat already names %1 different "
                                  "%2, the most that this utility can read back.  Please choose "
                                  "one of them.")
                .arg(QString::number(list.limit), QLatin1String(list.what));
    }
    return std::nullopt;
}

template<typename Check, typename... Extra>
Refusal firstRefusal(std::initializer_list<Field> fields, Check check, const Extra&... extra)
{
    for (const Field& field : fields)
        if (Refusal refusal = check(field, extra...))
            return refusal;
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

QString studentFolderPathFor(const SiteData& site, const StudentInputs& inputs)
{
    return joinPath(classFolderPathFor(site, inputs), folderNameFor(inputs));
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
    QString login = trimBlanks(inputs.loginAccount);
    if (!login.isEmpty())
        return login;
    return trimBlanks(inputs.surname) + QLatin1Char(' ') + trimBlanks(inputs.givenName);
}

RegisterRecord newRecordFor(const StudentInputs& inputs)
{
    return {accountNameFor(inputs), folderNameFor(inputs), trimBlanks(inputs.className),
            trimBlanks(inputs.year)};
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
    return opening + crLf + nativePath(studentFolderPath) + crLf + loginSentence + crLf
        + QStringLiteral("Are you sure you want to do this?");
}

Refusal refusalFor(const StudentInputs& inputs, const ShortcutRegister& shortcuts)
{
    const QString folderName = folderNameFor(inputs);
    const Field givenName{QStringLiteral("Given or Preferred Name"), inputs.givenName};
    const Field surname{QStringLiteral("New Student's Surname"), inputs.surname};
    const Field year{QStringLiteral("Scholastic Year"), inputs.year};
    const Field className{QStringLiteral("Class"), inputs.className};
    const Field login{QStringLiteral("Individual Login Account"), inputs.loginAccount};
    const Field folder{QStringLiteral("student's folder name \"") + folderName + QLatin1Char('"'),
                       folderName};
    const auto everyField = {givenName, surname, year, className, login};

    if (Refusal r = firstRefusal(everyField, registerRefusal))
        return r;
    if (Refusal r = firstRefusal(everyField, controlCharacterRefusal))
        return r;
    if (Refusal r = firstRefusal({givenName, surname, year, className}, blankRefusal))
        return r;
    if (Refusal r = firstRefusal({givenName, surname, year, className, folder}, pathSegmentRefusal))
        return r;
    if (Refusal r = firstRefusal({year, className, folder}, windowsNameRefusal))
        return r;
    if (Refusal r = firstRefusal(everyField, encodingRefusal, shortcuts.encoding))
        return r;
    return limitRefusal(inputs, shortcuts);
}

} // namespace tk
