#include "TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

namespace tktest {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return file.readAll();
}

QMap<QString, QByteArray> snapshot(const QString& root)
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = QDir(root).relativeFilePath(path);
        entries.insert(relative, it.fileInfo().isDir() ? QByteArray("<folder>") : readFile(path));
    }
    return entries;
}

QByteArray registerOf(int rows, int years, int classes)
{
    QByteArray dat;
    for (int i = 0; i < rows; ++i)
        dat += "Student " + QByteArray::number(i) + ",f,C" + QByteArray::number(i % classes) + ",Y"
            + QByteArray::number(i % years) + "\r\n";
    return dat;
}

QByteArray pageOfSize(int size)
{
    QByteArray page = "<html><body>New Student</body></html>\r\n";
    if (page.size() > size)
        return QByteArray(size, 'x');
    page.append(QByteArray(size - page.size(), ' '));
    return page;
}

Intranet::Intranet()
{
    writeFile(path("tkshrtct.ini"), "\"Test School\",2026\r\n");
    writeRegister("Adams Ben,adams_ben,7A,Year 7\r\n"
                  "Lee Kim,lee_kim,7B,Year 7\r\n"
                  "zz9,zed_zoe,7A,Year 7\r\n");
    writeFile(path("2026/masterstudent/index.htm"),
              "<html>\r\n<head><title>New Student</title></head>\r\n"
              "<body><h1>Welcome to the home page of New Student.</h1></body>\r\n</html>\r\n");
    writeFile(path("2026/masterstudent/topic1.htm"), "<p>Topic one</p>\r\n");
    writeFile(path("2026/masterstudent/images/logo.gif"), QByteArray("GIF87a\x01\x00", 8));
    writeFile(path("2026/masterstudent/images/icons/star.png"), "\x89PNG star");
    writeFile(path("2026/masterstudent/writing/story.htm"), "<p>My story</p>\r\n");
    writeFile(path("2026/Year 7/7A/index.htm"), pageOfSize(300));
    writeFile(path("2026/Year 7/7B/index.htm"), pageOfSize(300));
}

QString Intranet::root() const
{
    return m_dir.path();
}

QString Intranet::path(const QString& relative) const
{
    return m_dir.filePath(relative);
}

QString Intranet::classFolder(const QString& year, const QString& className) const
{
    return path(QStringLiteral("2026/%1/%2").arg(year, className));
}

void Intranet::writeRegister(const QByteArray& bytes)
{
    writeFile(path("tkshrtct.dat"), bytes);
}

tk::SiteData Intranet::load() const
{
    return tk::loadSite(root());
}

} // namespace tktest
