#include "register/SiteFiles.h"

#include "platform/FileServices.h"
#include "platform/NumberedFailure.h"
#include "platform/SystemText.h"
#include "register/ListItemReader.h"
#include "register/RegisterReader.h"

#include <QDir>
#include <QStringBuilder>

#include <limits>

namespace tk {

StartupError::StartupError(const QString& filePath, const QString& problem)
    : std::runtime_error(problem.toStdString())
    , m_filePath(filePath)
    , m_problem(problem)
{
}

QString StartupError::report() const
{
    return QStringLiteral("Add a New Student cannot start.\n\nFile: %1\n\n%2")
        .arg(nativePath(m_filePath), m_problem);
}

namespace {

QString describeUnreadable(const NumberedFailure& failure, const QString& kind)
{
    if (FailureNumber::meansMissing(failure.number()))
        return QStringLiteral("The %1 file could not be found.  It must be in the intranet's root "
                              "folder: the program's own folder, or the one --intranet names.")
            .arg(kind);
    return QStringLiteral("The %1 file could not be opened for reading (error %2).  Check that "
                          "it is not locked by another program and that you may read it.")
        .arg(kind, QString::number(failure.number()));
}

bool isUtf16(const QByteArray& bytes)
{
    return bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF") || bytes.contains('\0');
}

// A value is shown as it reads, with what cannot be shown as "?".
QString printable(QString text)
{
    for (QChar& c : text)
        if (!c.isPrint())
            c = QLatin1Char('?');
    return text;
}

qint16 structureYearFrom(const QString& item, const QString& path)
{
    const std::optional<double> value = integerItemValue(item);
    if (!value)
        throw StartupError(path,
                           QStringLiteral("The structure year \"%1\" is not a number.  The "
                                          "settings file must hold a title and the year of the "
                                          "structure, for example: \"Intranet\",2026")
                               .arg(printable(trimBlanks(item))));
    if (*value < std::numeric_limits<qint16>::min() || *value > std::numeric_limits<qint16>::max())
        throw StartupError(path,
                           QStringLiteral("The structure year \"%1\" is too large: it must be a "
                                          "number from -32768 to 32767, such as 2026.")
                               .arg(trimBlanks(item)));
    return static_cast<qint16>(*value);
}

} // namespace

QByteArray readSiteFile(const QString& path, const QString& kind)
{
    try {
        return files::readWholeFile(path);
    } catch (const NumberedFailure& failure) {
        throw StartupError(path, describeUnreadable(failure, kind));
    }
}

SiteSettings loadSettings(const QString& appFolder)
{
    const QString path = joinPath(appFolder, settingsFileName);
    const QByteArray bytes = readSiteFile(path, QStringLiteral("settings"));
    if (isUtf16(bytes))
        throw StartupError(path,
                           QStringLiteral("The settings file is saved as Unicode (UTF-16).  "
                                          "Save it as plain text (ANSI or UTF-8), for "
                                          "example: \"Intranet\",2026"));
    ListItemReader reader(itemText(bytes));
    // The title is passed over: nothing shows it, but the year comes after it.
    const std::optional<QString> title = reader.readItem();
    const std::optional<QString> year = title ? reader.readItem() : std::nullopt;
    if (!year)
        throw StartupError(path,
                           QStringLiteral("The settings file ends before the structure "
                                          "year.  It must hold a title and the year of "
                                          "the structure, for example: \"Intranet\",2026"));
    return {structureYearFrom(*year, path)};
}

QString SiteData::structureFolder() const
{
    return appFolder % QLatin1Char('/') % Decimal(settings.structureYear).digits();
}

// One allocation, not one for each level: a list makes a class folder for
// every student.
QString SiteData::classFolder(const QString& year, const QString& className) const
{
    return appFolder % QLatin1Char('/') % Decimal(settings.structureYear).digits()
        % QLatin1Char('/') % year % QLatin1Char('/') % className;
}

QString SiteData::masterFolder() const
{
    return joinPath(structureFolder(), QStringLiteral("masterstudent"));
}

SiteData loadSite(const QString& appFolder)
{
    const QString folder = QDir::fromNativeSeparators(appFolder);
    SiteSettings settings = loadSettings(folder);
    return {folder, settings, loadRegister(folder)};
}

} // namespace tk
