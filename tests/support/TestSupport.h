#pragma once

#include "register/SiteFiles.h"
#include <QByteArray>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

namespace tktest {

// Writes `bytes` to `path`, making the folders on the way.
void writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);
// Every file and folder under `root` with its bytes: compare two snapshots to
// prove that nothing was touched.
QMap<QString, QByteArray> snapshot(const QString& root);
// A register of `rows` students over `years` years and `classes` classes.
QByteArray registerOf(int rows, int years, int classes);
// An HTML page of exactly `size` bytes.
QByteArray pageOfSize(int size);

// A small but complete intranet in a temporary folder: settings, register,
// master template with two subfolders and two files, classes 7A and 7B of Year 7.
class Intranet
{
public:
    Intranet();

    QString root() const; // "/" separators, as every path inside the program
    QString path(const QString& relative) const;
    QString masterFolder() const { return path(QStringLiteral("2026/masterstudent")); }
    QString classFolder(const QString& year, const QString& className) const;
    void writeRegister(const QByteArray& bytes);
    tk::SiteData load() const;

private:
    QTemporaryDir m_dir;
};

} // namespace tktest
