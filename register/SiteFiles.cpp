#include "register/SiteFiles.h"

#include "platform/FileServices.h"
#include "platform/NumberedFailure.h"
#include "register/ListItemReader.h"

#include <QDir>

#include <array>
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
        .arg(m_filePath, m_problem);
}

namespace {

// A value that was quoted in the file because it holds a comma or a line break
// must stay quoted, or the register could not be read back.
QString fieldText(const QString& value)
{
    const bool needsQuotes = value.contains(QLatin1Char(',')) || value.contains(QLatin1Char('\r'))
        || value.contains(QLatin1Char('\n'));
    return needsQuotes ? QLatin1Char('"') + value + QLatin1Char('"') : value;
}

} // namespace

QString RegisterRecord::text() const
{
    return fieldText(accountName) + QLatin1Char(',') + fieldText(folderName) + QLatin1Char(',')
        + fieldText(className) + QLatin1Char(',') + fieldText(yearName);
}

namespace {

QString describeUnreadable(const NumberedFailure& failure, const QString& kind)
{
    if (failure.number() == FailureNumber::FileNotFound
        || failure.number() == FailureNumber::PathNotFound)
        return QStringLiteral("The %1 file could not be found.  It must be in the same folder as "
                              "the program.")
            .arg(kind);
    return QStringLiteral("The %1 file could not be opened for reading (error %2).  Check that "
                          "it is not locked by another program and that you may read it.")
        .arg(kind)
        .arg(failure.number());
}

DecodedText readFileText(const QString& path, const QString& kind)
{
    try {
        return decodeFileText(files::readWholeFile(path));
    } catch (const NumberedFailure& failure) {
        throw StartupError(path, describeUnreadable(failure, kind));
    }
}

qint16 structureYearFrom(const QString& item, const QString& path)
{
    const double value = integerItemValue(item);
    if (value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max())
        throw StartupError(path,
                           QStringLiteral("The structure year \"%1\" is too large: it must be a "
                                          "number from -32768 to 32767, such as 2026.")
                               .arg(trimBlanks(item)));
    return static_cast<qint16>(value);
}

class RegisterReader
{
public:
    RegisterReader(const QString& path, const DecodedText& decoded)
        : m_path(path)
        , m_reader(decoded.text)
    {
        m_register.encoding = decoded.encoding;
    }

    ShortcutRegister read()
    {
        while (!m_reader.atEnd())
            readRecord();
        return std::move(m_register);
    }

private:
    void readRecord()
    {
        const int recordNumber = m_register.rowCount() + 1;
        m_recordStart = m_reader.position();
        if (recordNumber > maxRegisterRows)
            fail(QStringLiteral("The register holds more than %1 students (student %2 begins on "
                                "line %3).  This utility can read at most %1.")
                     .arg(maxRegisterRows)
                     .arg(recordNumber)
                     .arg(recordLine()));
        std::array<QString, 4> fields;
        for (QString& field : fields) {
            const std::optional<QString> item = m_reader.readItem();
            if (!item)
                fail(QStringLiteral("The register ends in the middle of student %1, which begins "
                                    "on line %2.  Each student needs four items: account name, "
                                    "folder name, class and year.")
                         .arg(recordNumber)
                         .arg(recordLine()));
            field = trimBlanks(*item);
        }
        const RegisterRecord record{fields[0], fields[1], fields[2], fields[3]};
        m_register.rows.append(record);
        addDistinct(m_register.YearList, record.yearName, maxYears, QStringLiteral("years"));
        addDistinct(m_register.ClassList, record.className, maxClasses, QStringLiteral("classes"));
    }

    int recordLine() const { return m_reader.lineNumberAt(m_recordStart); }

    void addDistinct(QStringList& list, const QString& value, int limit, const QString& what)
    {
        if (list.contains(value, Qt::CaseSensitive))
            return;
        if (list.size() == limit)
            fail(QStringLiteral("The register names more than %1 different %2 (the next one, "
                                "\"%3\", is on line %4).  This utility can offer at most %1.")
                     .arg(limit)
                     .arg(what, value)
                     .arg(recordLine()));
        list.append(value);
    }

    [[noreturn]] void fail(const QString& problem) const { throw StartupError(m_path, problem); }

    QString m_path;
    ListItemReader m_reader;
    qsizetype m_recordStart = 0;
    ShortcutRegister m_register;
};

} // namespace

SiteSettings LoadSettings(const QString& appFolder)
{
    const QString path = joinPath(appFolder, settingsFileName);
    ListItemReader reader(readFileText(path, QStringLiteral("settings")).text);
    const std::optional<QString> title = reader.readItem();
    const std::optional<QString> year = title ? reader.readItem() : std::nullopt;
    if (!year)
        throw StartupError(path, QStringLiteral("The settings file ends before the structure "
                                                "year.  It must hold a title and the year of "
                                                "the structure, for example: \"Intranet\",2026"));
    return {trimBlanks(*title), structureYearFrom(*year, path)};
}

ShortcutRegister LoadRegister(const QString& appFolder)
{
    const QString path = joinPath(appFolder, registerFileName);
    return RegisterReader(path, readFileText(path, QStringLiteral("register"))).read();
}

SiteData LoadSite(const QString& appFolder)
{
    // Every path derived from here is shown to the operator: native separators.
    const QString folder = QDir::toNativeSeparators(appFolder);
    SiteSettings settings = LoadSettings(folder);
    return {folder, std::move(settings), LoadRegister(folder)};
}

} // namespace tk
