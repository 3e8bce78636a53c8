#include "enrol/ChangeLog.h"

#include "enrol/Enrolment.h"
#include "platform/FileServices.h"
#include "platform/NumberedFailure.h"
#include "platform/TextScan.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSysInfo>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace tk {

namespace {

QString operatorLogin()
{
    for (const char* name : {"USERNAME", "USER", "LOGNAME"})
        if (QString login = qEnvironmentVariable(name); !login.isEmpty())
            return login;
#ifdef Q_OS_UNIX
    // A service or a remote command may run with none of them set.
    if (const passwd* user = getpwuid(geteuid()))
        return QString::fromLocal8Bit(user->pw_name);
#endif
    return QString();
}

// With the offset, so that lines written on machines in other time zones,
// or either side of a change of clocks, sort and compare as they happened.
QString now()
{
    const QDateTime local = QDateTime::currentDateTime();
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate);
}

} // namespace

QString folderInSite(const QString& appFolder, const QString& path)
{
    const QString root = appFolder.endsWith(QLatin1Char('/')) ? appFolder
                                                              : appFolder + QLatin1Char('/');
    return path.startsWith(root) ? path.mid(root.size()) : path;
}

std::optional<FailureReport> appendToChangeLog(const QString& appFolder,
                                               const QList<ChangeLogLine>& lines)
{
    if (lines.isEmpty())
        return std::nullopt;
    const QString path = joinPath(appFolder, changeLogFileName);
    const QString newPath = joinPath(appFolder, changeLogNewFileName);
    // Both faces set it from the one version that the build writes.
    const QString version = QCoreApplication::applicationVersion();
    const QString login = operatorLogin();
    const QString machine = QSysInfo::machineHostName();
    const QString time = now();
    try {
        QByteArray text = files::nameExists(path) ? files::readWholeFile(path) : QByteArray();
        if (text.isEmpty())
            text = csvLine({QStringLiteral("time"), QStringLiteral("login"),
                            QStringLiteral("computer"), QStringLiteral("version"),
                            QStringLiteral("action"), QStringLiteral("account"),
                            QStringLiteral("folder"), QStringLiteral("old folder")})
                       .toUtf8();
        else if (!text.endsWith('\n'))
            text += "\r\n";
        for (const ChangeLogLine& line : lines)
            text += csvLine({time, login, machine, version, line.action, line.account, line.folder,
                             line.oldFolder})
                        .toUtf8();
        files::File file = files::createAfresh(newPath);
        file.write(text);
        file.sync();
        file.close();
        files::renameReplacing(newPath, path);
        files::syncFolder(appFolder);
    } catch (const NumberedFailure& failure) {
        return FailureReport::of(failure);
    }
    return std::nullopt;
}

} // namespace tk
