// Row 3io: the bytes of one Create that pass through the process, against
// cp -r. On a network share every such byte crosses the network; a copy left
// to the system (copy_file_range, or the server's own copy under it) crosses
// none.

#include "Measure.h"
#include "Rows.h"
#include "TestData.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <functional>

namespace bench {

namespace {

// The issue's template: 206 files, 1.37 MB.
constexpr int templateFiles = 206;
constexpr qint64 templateBytes = 1370000;
constexpr int runs = 3;

struct Bytes
{
    qint64 templateRead = 0; // read from the template into the process
    qint64 copyWritten = 0; // written from the process into the copy, the home page aside
    qint64 page = 0; // the home page: checked for its placeholder, rewritten with the name
    qint64 bySystem = 0; // copied by the kernel (or the server): copy_file_range and the like
    qint64 rchar = 0; // /proc/self/io, which counts the kernel's copies as read and written
    qint64 wchar = 0;
};

// rchar and wchar of this process, with those of every child it reaped.
std::pair<qint64, qint64> ioCounters()
{
    QFile file(QStringLiteral("/proc/self/io"));
    qint64 rchar = -1;
    qint64 wchar = -1;
    if (file.open(QIODevice::ReadOnly))
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (line.startsWith("rchar:"))
                rchar = line.mid(6).trimmed().toLongLong();
            else if (line.startsWith("wchar:"))
                wchar = line.mid(6).trimmed().toLongLong();
        }
    return {rchar, wchar};
}

// Sums the strace -y log's transfers by the file they name: a read names its
// source first, a write its target, and a kernel copy both.
Bytes tally(const QString& log, const QString& master, const QString& copies)
{
    static const QRegularExpression call(
        QStringLiteral(R"(^\d+\s+(\w+)\(\d+<([^>]*)>(?:.*?, \d+<([^>]*)>)?.*\)\s+=\s+(\d+))"));
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly))
        die(QStringLiteral("cannot read %1").arg(log));
    Bytes bytes;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QRegularExpressionMatch m = call.match(QString::fromUtf8(raw));
        if (!m.hasMatch())
            continue;
        const QString name = m.captured(1);
        const QString path = m.captured(2);
        const qint64 count = m.captured(4).toLongLong();
        const bool page = path.endsWith(QLatin1String("/index.htm"))
            || path.endsWith(QLatin1String("/temp.htm"));
        if (name == QLatin1String("copy_file_range") || name == QLatin1String("sendfile")
            || name == QLatin1String("splice"))
            bytes.bySystem += count;
        else if (name.contains(QLatin1String("read")) && path.startsWith(master))
            (page ? bytes.page : bytes.templateRead) += count;
        else if (name.contains(QLatin1String("read")) && path.startsWith(copies) && page)
            bytes.page += count;
        else if (name.contains(QLatin1String("write")) && path.startsWith(copies))
            (page ? bytes.page : bytes.copyWritten) += count;
    }
    return bytes;
}

class BytesRow
{
public:
    BytesRow(const Options& options, const QString& strace)
        : m_options(options)
        , m_strace(strace)
        , m_site(options.data + QStringLiteral("/bytes"))
        , m_master(m_site + QStringLiteral("/2026/masterstudent"))
    {
    }

    void run()
    {
        prepareSite();
        std::vector<Bytes> program;
        std::vector<Bytes> floor;
        for (int i = 0; i < runs; ++i) {
            progress(
                QStringLiteral("bytes through the process: run %1 of %2").arg(i + 1).arg(runs));
            program.push_back(measure([this](const QString& folder) { return add(folder); }));
            floor.push_back(measure([this](const QString& folder) { return copy(folder); }));
        }
        report(most(program), most(floor));
        removeTree(m_site + QStringLiteral("/2026/") + m_year);
    }

private:
    void prepareSite()
    {
        removeTree(m_site);
        const RegisterData data = writeSite(m_site, 400);
        m_year = data.someYear;
        m_class = data.someClass;
        makeTemplate(m_master, templateFiles, templateBytes);
        m_classFolder = m_site + QStringLiteral("/2026/") + m_year + QLatin1Char('/') + m_class;
        writeFile(m_classFolder + QStringLiteral("/index.htm"), classPage());
        syncEverything();
        m_master = QFileInfo(m_master).canonicalFilePath();
        m_classFolder = QFileInfo(m_classFolder).canonicalFilePath();
    }

    // Runs one side twice on fresh folders: under strace, for what each
    // transfer names, and bare, for the kernel's own counters.
    Bytes measure(const std::function<QStringList(const QString& folder)>& side)
    {
        const QString log = m_site + QStringLiteral("/strace.log");
        Launch traced;
        traced.arguments = QStringList{m_strace,
                                       QStringLiteral("-f"),
                                       QStringLiteral("-y"),
                                       QStringLiteral("-qq"),
                                       QStringLiteral("-e"),
                                       QStringLiteral("trace=read,readv,pread64,preadv,preadv2,"
                                                      "write,writev,pwrite64,pwritev,pwritev2,"
                                                      "copy_file_range,sendfile,splice"),
                                       QStringLiteral("-o"),
                                       log}
            + side(nextFolder());
        traced.environment = {QStringLiteral("QT_QPA_PLATFORM=offscreen")};
        traced.workingFolder = m_site;
        runProcessOrDie(traced);
        Bytes bytes = tally(log, m_master, m_classFolder);

        Launch bare;
        bare.arguments = side(nextFolder());
        bare.environment = traced.environment;
        bare.workingFolder = m_site;
        const auto before = ioCounters();
        runProcessOrDie(bare);
        const auto after = ioCounters();
        bytes.rchar = after.first - before.first;
        bytes.wchar = after.second - before.second;
        return bytes;
    }

    QString nextFolder() { return QStringLiteral("pupil%1").arg(++m_run, 4, 10, QLatin1Char('0')); }

    // One Create from the command line: a list of one student.
    QStringList add(const QString& given)
    {
        const QString list = m_site + QStringLiteral("/list.csv");
        writeFile(list,
                  "surname,given,year,class\r\nBenchley," + given.toLatin1() + ','
                      + m_year.toLatin1() + ',' + m_class.toLatin1() + "\r\n");
        return {m_options.program,
                QStringLiteral("add"),
                QStringLiteral("--from"),
                list,
                QStringLiteral("--intranet"),
                m_site,
                QStringLiteral("--yes")};
    }

    QStringList copy(const QString& folder) const
    {
        return {QStringLiteral("cp"), QStringLiteral("-r"), m_master,
                m_classFolder + QLatin1Char('/') + folder};
    }

    // Each count at its largest over the runs.
    static Bytes most(const std::vector<Bytes>& all)
    {
        Bytes top;
        for (const Bytes& b : all) {
            top.templateRead = std::max(top.templateRead, b.templateRead);
            top.copyWritten = std::max(top.copyWritten, b.copyWritten);
            top.page = std::max(top.page, b.page);
            top.bySystem = std::max(top.bySystem, b.bySystem);
            top.rchar = std::max(top.rchar, b.rchar);
            top.wchar = std::max(top.wchar, b.wchar);
        }
        return top;
    }

    static QString kilobytes(qint64 bytes) { return QString::number(double(bytes) / 1000, 'f', 1); }

    void report(const Bytes& program, const Bytes& floor)
    {
        const qint64 through = program.templateRead + program.copyWritten;
        auto side = [](const QString& name, const Bytes& b) {
            return QStringLiteral("%1 %2 kB read + %3 kB written, %4 kB by the system")
                .arg(name, kilobytes(b.templateRead), kilobytes(b.copyWritten),
                     kilobytes(b.bySystem));
        };
        printLine(QStringLiteral("3io  bytes of the template through the process per create, "
                                 "%1 files / %2 MB, vs cp -r   %3   %4   goal 0 kB  %5")
                      .arg(templateFiles)
                      .arg(double(templateBytes) / 1e6, 0, 'f', 2)
                      .arg(side(QStringLiteral("program"), program),
                           side(QStringLiteral("cp -r"), floor),
                           through == 0 ? QStringLiteral("MET") : QStringLiteral("MISSED")));
        note(QStringLiteral("each count the largest of %1 runs a side, by strace -y; the "
                            "program also reads the home page to check it and writes it again "
                            "with the name in it (%2 kB); the register and settings are not "
                            "counted")
                 .arg(runs)
                 .arg(kilobytes(program.page)));
        note(QStringLiteral("/proc/self/io counts the kernel's copies as read and written: "
                            "rchar/wchar program %1/%2 kB (with the register and the page), "
                            "cp -r %3/%4 kB")
                 .arg(kilobytes(program.rchar), kilobytes(program.wchar), kilobytes(floor.rchar),
                      kilobytes(floor.wchar)));
    }

    const Options& m_options;
    QString m_strace;
    QString m_site;
    QString m_master;
    QString m_classFolder;
    QString m_year;
    QString m_class;
    int m_run = 0;
};

} // namespace

void bytesRow(const Options& options)
{
    const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
    if (strace.isEmpty()) {
        printLine(QStringLiteral("3io  bytes of the template through the process: SKIPPED, no "
                                 "strace"));
        return;
    }
    BytesRow(options, strace).run();
}

} // namespace bench
