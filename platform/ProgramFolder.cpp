#include "platform/ProgramFolder.h"

#include <QCoreApplication>

#ifdef _WIN32
#include <windows.h>

#include <vector>
#endif

namespace tk {

QString folderOfProgramPath(const QString& programPath)
{
    // Backslashes, whichever system reads the path: it comes from Windows.
    QString path = QString(programPath).replace(QLatin1Char('\\'), QLatin1Char('/'));
    const auto strip = [&path](QLatin1String prefix, QLatin1String replacement) {
        if (!path.startsWith(prefix, Qt::CaseInsensitive))
            return false;
        path = replacement + path.mid(prefix.size());
        return true;
    };
    // The long-path and device forms name the same file as the plain ones.
    strip(QLatin1String("//?/UNC/"), QLatin1String("//"))
        || strip(QLatin1String("//?/"), QLatin1String(""))
        || strip(QLatin1String("//./"), QLatin1String(""))
        || strip(QLatin1String("/?\?/UNC/"), QLatin1String("//"))
        || strip(QLatin1String("/?\?/"), QLatin1String(""))
        || strip(QLatin1String("UNC/"), QLatin1String("//"));
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QStringLiteral(".");
    // A drive's own root keeps its slash: "C:/", not the drive's current folder.
    if (slash == 2 && path.at(1) == QLatin1Char(':'))
        return path.left(3);
    return path.left(slash);
}

QString programFolder()
{
#ifdef _WIN32
    // Qt's own answer loses the share of a program started as
    // \\server\share\...: ask Windows, and read every form it may answer in.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(),
                                                static_cast<DWORD>(buffer.size()));
        if (length == 0)
            break;
        if (length < buffer.size())
            return folderOfProgramPath(
                QString::fromWCharArray(buffer.data(), static_cast<qsizetype>(length)));
        buffer.resize(buffer.size() * 2);
    }
#endif
    return QCoreApplication::applicationDirPath();
}

} // namespace tk
