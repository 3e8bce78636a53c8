#include "Measure.h"
#include "Rows.h"
#include "TestData.h"

#include <QDir>
#include <QFile>

namespace bench {

namespace {

constexpr int listLength = 100;

bool hasListMode(const Options& options)
{
    const QString log = options.data + QStringLiteral("/batch-help.log");
    Launch help;
    help.arguments = {options.program, QStringLiteral("--help")};
    // Without a command line the program opens its window, which would wait
    // for an operator: it is given a few seconds and no display.
    help.environment = {QStringLiteral("QT_QPA_PLATFORM=offscreen")};
    help.workingFolder = options.data;
    help.logFile = log;
    help.timeoutSeconds = 10;
    const ProcessResult result = runProcess(help);
    QFile file(log);
    const QByteArray text = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    return result.exitCode == 0 && text.contains("--from") && text.contains("--intranet")
        && text.contains("--yes");
}

} // namespace

void batchRow(const Options& options)
{
    const QString what = QStringLiteral(
                             "add --from a list of %1 students, template 20 files / 1 MB")
                             .arg(listLength);
    if (!hasListMode(options)) {
        printLine(QStringLiteral("6    %1: SKIPPED, `tkaddstudent --help` offers no "
                                 "`add --from FILE --intranet DIR --yes` yet")
                      .arg(what));
        return;
    }
    const QString site = options.data + QStringLiteral("/batch");
    removeTree(site);
    QDir().mkpath(site);
    // Room for the list below the program's limit of 1500 rows.
    const RegisterData data = writeSite(site, 1300);
    const QString master = site + QStringLiteral("/2026/masterstudent");
    makeTemplate(master, 20, 1000000);
    const QString classFolder = site + QStringLiteral("/2026/") + data.someYear + QLatin1Char('/')
        + data.someClass;
    writeFile(classFolder + QStringLiteral("/index.htm"), classPage());
    const QString listFile = site + QStringLiteral("/list.csv");
    QStringList outputs;
    int run = 0;

    auto beforeRound = [&](int) {
        for (const QString& output : std::as_const(outputs))
            removeTree(output);
        outputs.clear();
    };
    // As for Create: the same cold start before every run, outside its timing.
    auto coldStart = [&] {
        writeFile(site + QStringLiteral("/tkshrtct.dat"), data.text);
        if (!options.dropCaches)
            syncEverything();
        else if (!dropCaches())
            die(QStringLiteral("cannot drop the page cache (not root?): run with --keep-caches"));
        warmUp(master);
        warmUp(site + QStringLiteral("/tkshrtct.dat"));
        warmUp(site + QStringLiteral("/tkshrtct.ini"));
        warmUp(classFolder + QStringLiteral("/index.htm"));
        warmUp(options.program);
        warmUp(listFile);
    };
    auto program = [&] {
        ++run;
        QByteArray list = "surname,given,year,class\r\n";
        for (int i = 0; i < listLength; ++i) {
            const QString given =
                QStringLiteral("Pupil%1x%2").arg(run).arg(i, 3, 10, QLatin1Char('0'));
            list += "Benchley," + given.toLatin1() + ',' + data.someYear.toLatin1() + ','
                + data.someClass.toLatin1() + "\r\n";
            outputs << classFolder + QStringLiteral("/benchley_") + given.toLower();
        }
        writeFile(listFile, list);
        coldStart();
        Launch launch;
        launch.arguments = {options.program,
                            QStringLiteral("add"),
                            QStringLiteral("--from"),
                            listFile,
                            QStringLiteral("--intranet"),
                            site,
                            QStringLiteral("--yes")};
        launch.environment = {QStringLiteral("QT_QPA_PLATFORM=offscreen")};
        launch.workingFolder = site;
        launch.logFile = site + QStringLiteral("/add.log");
        launch.timeoutSeconds = 600;
        const ProcessResult result = runProcessOrDie(launch);
        return Sample{result.wallMilliseconds, result.maxRssKilobytes, {}};
    };
    // A cp -r process for each student, then one syncfs for all of them.
    auto floor = [&] {
        ++run;
        coldStart();
        const Clock::time_point start = Clock::now();
        QString last;
        for (int i = 0; i < listLength; ++i) {
            last = classFolder
                + QStringLiteral("/floor%1x%2").arg(run).arg(i, 3, 10, QLatin1Char('0'));
            outputs << last;
            Launch copy;
            copy.arguments = {QStringLiteral("cp"), QStringLiteral("-r"), master, last};
            runProcessOrDie(copy);
        }
        Launch sync;
        sync.arguments = {QStringLiteral("sync"), QStringLiteral("-f"), last};
        runProcessOrDie(sync);
        return Sample{millisecondsSince(start), 0, {}};
    };
    const auto samples = runRounds(QStringLiteral("list of students"), 1, options.bigPairs,
                                   {program, floor}, beforeRound);
    printRow({QStringLiteral("6"), QStringLiteral("program"), QStringLiteral("floor"),
              what + QStringLiteral(", vs 100 x cp -r + sync -f"), QStringLiteral("ms"),
              summarise(times(samples, 0)), summarise(times(samples, 1)),
              summarise(ratios(samples, 0, 1)), 1.10, QStringLiteral("(whole processes)")});
    for (const QString& output : std::as_const(outputs))
        removeTree(output);
    removeTree(site);
}

} // namespace bench
