#pragma once

#include <QStringList>

#include <memory>

namespace tk {
struct SiteData;
namespace files {
class File;
}
} // namespace tk

namespace tk::cli {

// The report of a list, as a spreadsheet opens it: CSV in UTF-8 with a
// byte-order mark, one row for each row of the list. It is begun before the
// list is read, so that a report that cannot be made, or that would replace
// a file of the intranet or the list, stops the command before anything
// changes; it is put in place whole at the end.
class ListReport
{
public:
    explicit ListReport(const QString& path);
    ~ListReport();

    // Why the report cannot go where it is named, in one sentence; empty
    // when it can. `list` is the list's file, or "-".
    QString begin(const SiteData& site, const QString& list);
    // What went wrong, or nothing; a second call writes nothing. Each row holds
    // the line, surname, given name, year, class, account, folder, outcome and message.
    QString write(const QList<QStringList>& rows);

private:
    QString harmTo(const SiteData& site, const QString& list) const;

    QString m_path; // absolute
    QString m_partial; // the file being written, beside it
    std::unique_ptr<files::File> m_file;
};

} // namespace tk::cli
