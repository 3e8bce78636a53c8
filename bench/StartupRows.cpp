#include "Measure.h"
#include "Rows.h"
#include "TestData.h"

#include <QDir>
#include <QFile>

namespace bench {

namespace {

// The program finds the school's files beside its executable, so it runs
// from a copy in the site folder; the floor is copied there as well, so that
// both load from the same file system.
QString copyInto(const QString& executable, const QString& folder)
{
    const QString target = folder + QLatin1Char('/') + QFileInfo(executable).fileName();
    QFile::remove(target);
    if (!QFile::copy(executable, target))
        die(QStringLiteral("cannot copy %1 to %2").arg(executable, folder));
    return target;
}

Launch windowProcess(const Options& options, const QStringList& arguments, const QString& folder)
{
    Launch launch;
    launch.arguments = arguments;
    launch.environment = {QStringLiteral("QT_QPA_PLATFORM=offscreen"),
                          QStringLiteral("LD_PRELOAD=") + options.probe};
    launch.workingFolder = folder;
    launch.paintPipe = true;
    launch.timeoutSeconds = 60;
    return launch;
}

QStringList readLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
}

QString dumpTree(const Launch& launch, const QString& folder, const QString& name)
{
    const QString tree = folder + QLatin1Char('/') + name + QStringLiteral(".tree");
    Launch dumping = launch;
    dumping.environment << QStringLiteral("TKBENCH_DUMP_FILE=") + tree;
    dumping.logFile = folder + QLatin1Char('/') + name + QStringLiteral(".log");
    runProcessOrDie(dumping);
    return tree;
}

// The font family the program chose for its window, from its widget tree.
QString windowFamily(const QString& tree)
{
    const QStringList lines = readLines(tree);
    const QString line = lines.value(1);
    const qsizetype at = line.indexOf(QLatin1String(" font="));
    if (at < 0)
        die(QStringLiteral("no window font in %1").arg(tree));
    return line.mid(at + 6).section(QLatin1Char('/'), 0, 0);
}

// The floor is only a floor if it draws what the program draws.
void compareTrees(const QString& programTree, const QString& floorTree)
{
    // The program's own classes draw as the plain ones they derive from.
    QStringList a = readLines(programTree);
    for (QString& line : a)
        line.replace(QLatin1String("tk::AddStudentWindow "), QLatin1String("QWidget "))
            .replace(QLatin1String("tk::SortedComboBox "), QLatin1String("QComboBox "));
    const QStringList b = readLines(floorTree);
    QStringList differing;
    for (qsizetype i = 0; i < std::max(a.size(), b.size()); ++i) {
        const QString left = i < a.size() ? a[i] : QString();
        const QString right = i < b.size() ? b[i] : QString();
        if (left != right)
            differing << left.trimmed().section(QLatin1Char(' '), 0, 1);
    }
    if (differing.isEmpty())
        note(QStringLiteral("floor window check: the floor's widget tree is the program's, line "
                            "for line (class or base class, name, geometry, font, colours, "
                            "texts, focus)."));
    else
        note(QStringLiteral("floor window check: %1 of %2 widgets differ: %3 (diff %4 %5)")
                 .arg(differing.size())
                 .arg(a.size() - 1)
                 .arg(differing.join(QStringLiteral(", ")), programTree, floorTree));
}

} // namespace

void startupRows(const Options& options)
{
    const QString folder = options.data + QStringLiteral("/startup");
    QDir().mkpath(folder);
    const RegisterData site = writeSite(folder, 1500);
    const QString program = copyInto(options.program, folder);
    const QString floor = copyInto(options.floor, folder);

    const Launch programLaunch = windowProcess(options, {program}, folder);
    const QString programTree = dumpTree(programLaunch, folder, QStringLiteral("program"));
    const QString family = windowFamily(programTree);
    const Launch floorLaunch = windowProcess(options, {floor, QStringLiteral("--family"), family},
                                             folder);
    const Launch bareLaunch = windowProcess(options, {floor, QStringLiteral("bare")}, folder);
    compareTrees(programTree, dumpTree(floorLaunch, folder, QStringLiteral("floor")));
    note(QStringLiteral("window font family: %1 (chosen by the program, given to the floor)")
             .arg(family));

    auto side = [](const Launch& launch) {
        return [launch] {
            const ProcessResult r = runProcessOrDie(launch);
            return Sample{r.paintMilliseconds, r.maxRssKilobytes, {}};
        };
    };
    const auto samples = runRounds(QStringLiteral("start-up"), 3, options.startupPairs,
                                   {side(programLaunch), side(floorLaunch), side(bareLaunch)});

    const QString what = QStringLiteral("start-up to first paint, 1500 rows/100 years/100 classes");
    printRow({QStringLiteral("1"), QStringLiteral("program"), QStringLiteral("floor"), what,
              QStringLiteral("ms"), summarise(times(samples, 0)), summarise(times(samples, 1)),
              summarise(ratios(samples, 0, 1)), 1.10, QString()});
    printRow({QStringLiteral("1b"), QStringLiteral("program"), QStringLiteral("bare"),
              QStringLiteral("  program vs bare 381x353 QWidget"), QStringLiteral("ms"),
              summarise(times(samples, 0)), summarise(times(samples, 2)),
              summarise(ratios(samples, 0, 2)), 0, QString()});
    printRow({QStringLiteral("1c"), QStringLiteral("floor"), QStringLiteral("bare"),
              QStringLiteral("  floor window vs bare 381x353 QWidget"), QStringLiteral("ms"),
              summarise(times(samples, 1)), summarise(times(samples, 2)),
              summarise(ratios(samples, 1, 2)), 0, QString()});
    printRow({QStringLiteral("2"), QStringLiteral("program"), QStringLiteral("floor"),
              QStringLiteral("peak memory (VmHWM) by the first paint"), QStringLiteral("MiB"),
              summarise(memories(samples, 0)), summarise(memories(samples, 1)),
              summarise(ratios(samples, 0, 1, true)), 1.10, QString()});
    printRow({QStringLiteral("2b"), QStringLiteral("program"), QStringLiteral("bare"),
              QStringLiteral("  program vs bare 381x353 QWidget"), QStringLiteral("MiB"),
              summarise(memories(samples, 0)), summarise(memories(samples, 2)),
              summarise(ratios(samples, 0, 2, true)), 0, QString()});
    note(settleNote());
    Q_UNUSED(site);
}

} // namespace bench
