#pragma once

#include <QByteArray>
#include <QString>

namespace bench {

// A register in the program's own form: sorted by account name ignoring case,
// CR LF line ends, with every one of `years` years and `classes` classes
// named at least once and first named in no particular order.
struct RegisterData
{
    QByteArray text;
    QString someYear; // a year and a class that the register names
    QString someClass;
};
RegisterData makeRegister(int rows, int years = 100, int classes = 100);

// Settings and register at `folder`.
RegisterData writeSite(const QString& folder, int rows);

// A master-student template of exactly `files` files and `bytes` bytes: a
// home page holding the placeholder, pages, pictures and the odd large file
// in a few levels of subfolders, the same for the same arguments.
void makeTemplate(const QString& folder, int files, qint64 bytes);

// A class page that the program accepts (over 100 bytes).
QByteArray classPage();

// Minified: the whole page on one line, the placeholder once.
QByteArray oneLinePage(qsizetype bytes);
// `bytes` in lines of 55 bytes, each with the placeholder.
QByteArray manyLinePage(qsizetype bytes);

} // namespace bench
