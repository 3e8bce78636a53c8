#pragma once

#include "lists/StudentListReader.h"

#include <QStringList>

namespace tk::cli {

// One row of the report: what became of one row of the list.
struct ReportRow
{
    int line = 0;
    StudentInputs typed;
    QString account;
    QString folder;
    QString outcome;
    QString message;
};

// Writes the report as a spreadsheet opens it: CSV in UTF-8 with a byte-order
// mark, one row for each row of the list. Returns what went wrong, or nothing.
QString writeListReport(const QString& path, const QList<ReportRow>& rows);

} // namespace tk::cli
