#include "Measure.h"
#include "Rows.h"
#include "TestData.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <vector>

namespace bench {

namespace {

// Room for the whole list under the register's limit of 1500 rows.
constexpr int listLength = 1000;
constexpr int registerRows = 400;

// Scripts and IT staff run lists with the console program, which loads no
// window library.
QString consoleProgram(const Options& options)
{
    return siblingOf(options.program, "tkaddstudent-cli");
}

bool hasListMode(const Options& options)
{
    const QString log = options.data + QStringLiteral("/batch-help.log");
    Launch help;
    help.arguments = {consoleProgram(options), QStringLiteral("--help")};
    help.workingFolder = options.data;
    help.logFile = log;
    help.timeoutSeconds = 10;
    const ProcessResult result = runProcess(help);
    QFile file(log);
    const QByteArray text = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    return result.exitCode == 0 && text.contains("--from") && text.contains("--intranet")
        && text.contains("--yes") && text.contains("--dry-run");
}

QByteArray readLog(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class ListRow
{
public:
    explicit ListRow(const Options& options)
        : m_options(options)
        , m_site(options.data + QStringLiteral("/batch"))
        , m_master(m_site + QStringLiteral("/2026/masterstudent"))
    {
    }

    void run()
    {
        prepareSite();
        const auto samples = runRounds(QStringLiteral("list of students"), 1, m_options.listPairs,
                                       {[this] { return program(); }, [this] { return floor(); },
                                        [this] { return preview(); }},
                                       [this](int) { removeOutputs(); });
        report(samples);
        removeOutputs();
        removeTree(m_site);
    }

private:
    void prepareSite()
    {
        removeTree(m_site);
        QDir().mkpath(m_site);
        m_register = writeSite(m_site, registerRows);
        makeTemplate(m_master, 20, 1000000);
        m_classFolder = m_site + QStringLiteral("/2026/") + m_register.someYear + QLatin1Char('/')
            + m_register.someClass;
        writeFile(m_classFolder + QStringLiteral("/index.htm"), classPage());
    }

    void removeOutputs()
    {
        for (const QString& output : std::as_const(m_outputs))
            removeTree(output);
        m_outputs.clear();
    }

    // As for Create: the same cold start before every run, outside its
    // timing. Every side's executables and libraries are read back in by
    // running them once, so that no side pays for loading them from the disk.
    void coldStart()
    {
        writeFile(m_site + QStringLiteral("/tkshrtct.dat"), m_register.text);
        if (m_options.dropCaches && !dropCaches())
            die(QStringLiteral("cannot drop the page cache (not root?): run with --keep-caches"));
        for (const QString& input : {m_master, m_site + QStringLiteral("/tkshrtct.dat"),
                                     m_site + QStringLiteral("/tkshrtct.ini"),
                                     m_classFolder + QStringLiteral("/index.htm"), listFile()})
            warmUp(input);
        for (const QString& executable :
             {consoleProgram(m_options), QStringLiteral("cp"), QStringLiteral("sync")})
            runProcessOrDie(versionOf(executable));
        syncEverything();
    }

    Launch versionOf(const QString& executable) const
    {
        Launch launch;
        launch.arguments = {executable, QStringLiteral("--version")};
        launch.environment = {QStringLiteral("QT_QPA_PLATFORM=offscreen")};
        return launch;
    }

    QString listFile() const { return m_site + QStringLiteral("/list.csv"); }

    // A list of students that no run has added yet; `added` says whether
    // their folders will be made.
    void writeNewList(bool added)
    {
        ++m_run;
        QByteArray list = "surname,given,year,class\r\n";
        for (int i = 0; i < listLength; ++i) {
            const QString given =
                QStringLiteral("Pupil%1x%2").arg(m_run).arg(i, 4, 10, QLatin1Char('0'));
            list += "Benchley," + given.toLatin1() + ',' + m_register.someYear.toLatin1() + ','
                + m_register.someClass.toLatin1() + "\r\n";
            if (added)
                m_outputs << m_classFolder + QStringLiteral("/benchley_") + given.toLower();
        }
        writeFile(listFile(), list);
    }

    Launch add(const QString& mode) const
    {
        Launch launch;
        launch.arguments = {consoleProgram(m_options),
                            QStringLiteral("add"),
                            QStringLiteral("--from"),
                            listFile(),
                            QStringLiteral("--intranet"),
                            m_site,
                            mode};
        launch.environment = {QStringLiteral("QT_QPA_PLATFORM=offscreen")};
        launch.workingFolder = m_site;
        launch.logFile = m_site + QStringLiteral("/add.log");
        launch.timeoutSeconds = 600;
        return launch;
    }

    Sample program()
    {
        writeNewList(true);
        coldStart();
        const ProcessResult result = runProcessOrDie(add(QStringLiteral("--yes")));
        return Sample{result.wallMilliseconds, result.maxRssKilobytes, {}};
    }

    // Every row looked at, nothing made: the same list as a real run's. The
    // median of three cold runs: a single one swung between 11 and 18 ms, as
    // the class folder's listing, read from the disk meanwhile, was or was not
    // done when the checks asked it, and two passes' medians fell 26% apart.
    Sample preview()
    {
        std::vector<Sample> runs;
        for (int i = 0; i < 3; ++i)
            runs.push_back(previewOnce());
        std::sort(runs.begin(), runs.end(),
                  [](const Sample& a, const Sample& b) { return a.milliseconds < b.milliseconds; });
        return runs[1];
    }

    Sample previewOnce()
    {
        writeNewList(false);
        coldStart();
        const Launch launch = add(QStringLiteral("--dry-run"));
        const ProcessResult result = runProcessOrDie(launch);
        const QByteArray expected = QByteArray::number(listLength)
            + " to add, 0 already added, 0 refused.";
        if (!readLog(launch.logFile).contains(expected))
            die(QStringLiteral("the preview did not offer every student: see %1")
                    .arg(launch.logFile));
        return Sample{result.wallMilliseconds, result.maxRssKilobytes, {}};
    }

    // A cp -r process for each student, then one syncfs for all of them.
    Sample floor()
    {
        ++m_run;
        coldStart();
        const Clock::time_point start = Clock::now();
        QString last;
        for (int i = 0; i < listLength; ++i) {
            last = m_classFolder
                + QStringLiteral("/floor%1x%2").arg(m_run).arg(i, 4, 10, QLatin1Char('0'));
            m_outputs << last;
            Launch copy;
            copy.arguments = {QStringLiteral("cp"), QStringLiteral("-r"), m_master, last};
            runProcessOrDie(copy);
        }
        Launch sync;
        sync.arguments = {QStringLiteral("sync"), QStringLiteral("-f"), last};
        runProcessOrDie(sync);
        return Sample{millisecondsSince(start), 0, {}};
    }

    void report(const std::vector<std::vector<Sample>>& samples) const
    {
        const QString what = QStringLiteral(
                                 "add --from a list of %1 students, template 20 files / 1 MB")
                                 .arg(listLength);
        printRow({QStringLiteral("6"), QStringLiteral("program"), QStringLiteral("floor"),
                  what + QStringLiteral(", vs %1 x cp -r + sync -f").arg(listLength),
                  QStringLiteral("ms"), summarise(times(samples, 0)), summarise(times(samples, 1)),
                  summarise(ratios(samples, 0, 1)), 1.10, QStringLiteral("(whole processes)")});
        printRow({QStringLiteral("6b"), QStringLiteral("preview"), QStringLiteral("real"),
                  QStringLiteral("  add --from the same list --dry-run, vs the real run"),
                  QStringLiteral("ms"), summarise(times(samples, 2)), summarise(times(samples, 0)),
                  summarise(ratios(samples, 2, 0)), 0.01, QStringLiteral("(whole processes)")});
        note(settleNote());
    }

    const Options& m_options;
    QString m_site;
    QString m_master;
    QString m_classFolder;
    RegisterData m_register;
    QStringList m_outputs;
    int m_run = 0;
};

} // namespace

void batchRow(const Options& options)
{
    if (!hasListMode(options)) {
        printLine(
            QStringLiteral("6    add --from a list of %1 students: SKIPPED, `tkaddstudent-cli "
                           "--help` offers no `add --from FILE --intranet DIR --yes "
                           "--dry-run`")
                .arg(listLength));
        return;
    }
    ListRow(options).run();
}

} // namespace bench
