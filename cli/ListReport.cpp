#include "cli/ListReport.h"

#include "platform/FileServices.h"

#include <QSaveFile>

namespace tk::cli {

namespace {

QString csvField(QString value)
{
    if (!value.contains(QLatin1Char(',')) && !value.contains(QLatin1Char('"'))
        && !value.contains(QLatin1Char('\n')) && !value.contains(QLatin1Char('\r')))
        return value;
    return QLatin1Char('"') + value.replace(QLatin1String("\""), QLatin1String("\"\""))
        + QLatin1Char('"');
}

QString csvLine(const QStringList& fields)
{
    QStringList quoted;
    for (const QString& field : fields)
        quoted << csvField(field);
    return quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n");
}

} // namespace

QString writeListReport(const QString& path, const QList<ReportRow>& rows)
{
    QString text = QString(QChar(0xFEFF))
        + csvLine({QStringLiteral("line"), QStringLiteral("surname"), QStringLiteral("given name"),
                   QStringLiteral("year"), QStringLiteral("class"), QStringLiteral("account"),
                   QStringLiteral("folder"), QStringLiteral("outcome"), QStringLiteral("message")});
    for (const ReportRow& row : rows)
        text += csvLine({row.line > 0 ? QString::number(row.line) : QString(), row.typed.surname,
                         row.typed.givenName, row.typed.year, row.typed.className, row.account,
                         row.folder, row.outcome, row.message});
    // A report is never left half written over an earlier one.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit())
        return QStringLiteral("The report %1 could not be written: %2")
            .arg(nativePath(path), file.errorString());
    return QString();
}

} // namespace tk::cli
