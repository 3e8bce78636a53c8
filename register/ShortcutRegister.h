#pragma once

#include "platform/SystemText.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace tk {

constexpr int maxRegisterRows = 1500;
constexpr int maxYears = 100;
constexpr int maxClasses = 100;

inline const QString settingsFileName = QStringLiteral("tkshrtct.ini");
inline const QString registerFileName = QStringLiteral("tkshrtct.dat");
inline const QString newRegisterFileName = QStringLiteral("tkshrtct.new");
inline const QString oldRegisterFileName = QStringLiteral("tkshrtct.old");
inline const QString lockFileName = QStringLiteral("tkshrtct.lck");

struct SiteSettings
{
    qint16 structureYear = 0;
};

// One line of the register; every field trimmed of blanks.
struct RegisterRecord
{
    QString accountName;
    QString folderName;
    QString className;
    QString yearName;

    // The form every line is written in: no blanks added, and no quotes unless a
    // value could not be read back without them.
    QString text() const;
    void appendText(QString& line) const;
};

} // namespace tk

// Four QStrings, each relocatable: a register's rows move as a block when it
// grows or a row is inserted, not one QString at a time.
Q_DECLARE_TYPEINFO(tk::RegisterRecord, Q_RELOCATABLE_TYPE);

namespace tk {

// Where a row's line lies in the bytes it was read from, CR LF included.
struct LineBytes
{
    qsizetype start = 0;
    qsizetype size = 0; // 0: the line is not as a rewrite would write it
};

struct ShortcutRegister
{
    QList<RegisterRecord> rows; // in file order, duplicates kept
    QStringList years; // distinct years, first-seen order
    QStringList classes; // distinct classes, first-seen order
    TextEncoding encoding = TextEncoding::CodePage;
    // The file's bytes as read, so that a read under the lock can tell that
    // nothing changed.
    QByteArray readFrom;
    // One for each row, or none: a rewrite copies a line that is already in
    // its written form rather than writing its row again, which was most of
    // the program's own work in an update.
    QList<LineBytes> lines;

    int rowCount() const { return static_cast<int>(rows.size()); }
};

} // namespace tk
