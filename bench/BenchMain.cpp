// tkbench: every row is a ratio of the program to a floor measured side by
// side in the same run, in pairs of rounds that alternate which goes first.
// With --passes 2 the whole table runs twice and each row's two ratios are
// compared: a figure that moves between two runs of the same code decides
// nothing. scripts/bench builds and runs it and writes bench/results.md.

#include "Measure.h"
#include "Rows.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cmath>
#include <cstdio>
#include <functional>
#include <utility>

namespace {

// How far a row's ratio may move between the two passes.
constexpr double agreement = 0.10;

[[noreturn]] void usage()
{
    std::fprintf(stderr,
                 "usage: tkbench --data DIR --program TKADDSTUDENT --floor TKBENCH_FLOOR "
                 "--probe LIBTKBENCH_PROBE.so\n"
                 "               [--pairs N] [--file-pairs N] [--startup-pairs N] [--big-pairs N]\n"
                 "               [--register-pairs N] [--list-pairs N]\n"
                 "               [--passes 1|2]\n"
                 "               [--only GROUP,...] [--keep-caches]\n"
                 "groups: register homepage startup create-a create-b create-c create-d bytes "
                 "batch version (create: every create-)\n"
                 "exit status with --passes 2: 0 when every row met its goal in both passes and "
                 "its two ratios agree within 10%%, else 1\n");
    std::exit(2);
}

bench::Options parse(const QStringList& args)
{
    bench::Options options;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&]() -> QString {
            if (i + 1 >= args.size())
                usage();
            return args[++i];
        };
        if (a == QLatin1String("--data"))
            options.data = QDir(value()).absolutePath();
        else if (a == QLatin1String("--program"))
            options.program = QFileInfo(value()).absoluteFilePath();
        else if (a == QLatin1String("--floor"))
            options.floor = QFileInfo(value()).absoluteFilePath();
        else if (a == QLatin1String("--probe"))
            options.probe = QFileInfo(value()).absoluteFilePath();
        else if (a == QLatin1String("--pairs"))
            options.pairs = value().toInt();
        else if (a == QLatin1String("--file-pairs"))
            options.filePairs = value().toInt();
        else if (a == QLatin1String("--register-pairs"))
            options.registerPairs = value().toInt();
        else if (a == QLatin1String("--startup-pairs"))
            options.startupPairs = value().toInt();
        else if (a == QLatin1String("--big-pairs"))
            options.bigPairs = value().toInt();
        else if (a == QLatin1String("--list-pairs"))
            options.listPairs = value().toInt();
        else if (a == QLatin1String("--passes"))
            options.passes = value().toInt();
        else if (a == QLatin1String("--only"))
            options.only = value().split(QLatin1Char(','), Qt::SkipEmptyParts);
        else if (a == QLatin1String("--keep-caches"))
            options.dropCaches = false;
        else
            usage();
    }
    if (options.data.isEmpty() || options.program.isEmpty() || options.floor.isEmpty()
        || options.probe.isEmpty() || options.pairs < 1 || options.filePairs < 1
        || options.registerPairs < 1 || options.startupPairs < 1 || options.bigPairs < 1
        || options.listPairs < 1 || options.passes < 1 || options.passes > 2)
        usage();
    return options;
}

// The small rows, whose runs take milliseconds and are the most easily
// disturbed, come first; the 1 GB copy and the list, which leave the most
// behind them on the disk, come last (and every row starts on a settled disk).
void runTable(const bench::Options& options)
{
    const std::pair<const char*, std::function<void()>> rows[] = {
        {"register", [&] { bench::registerRow(options); }},
        {"homepage", [&] { bench::homePageRows(options); }},
        {"startup", [&] { bench::startupRows(options); }},
        {"create-a", [&] { bench::createRow(options, 'a'); }},
        {"create-b", [&] { bench::createRow(options, 'b'); }},
        {"create-c", [&] { bench::createRow(options, 'c'); }},
        {"create-d", [&] { bench::createRow(options, 'd'); }},
        {"bytes", [&] { bench::bytesRow(options); }},
        {"batch", [&] { bench::batchRow(options); }},
        {"version", [&] { bench::versionRow(options); }},
    };
    for (const auto& [group, run] : rows)
        if (options.wants(QLatin1String(group)))
            run();
}

QString ratioText(double ratio)
{
    return QString::number(ratio, 'f', ratio < 0.1 ? 4 : 3);
}

// Each row's two ratios side by side; true when every row agrees and met its
// goal both times.
bool compare(const std::vector<bench::Verdict>& first, const std::vector<bench::Verdict>& second)
{
    bench::printLine(QString());
    bench::printLine(QStringLiteral("both passes (agree: the two ratios within %1% of each other)")
                         .arg(agreement * 100, 0, 'f', 0));
    bool allGood = first.size() == second.size();
    for (size_t i = 0; i < std::min(first.size(), second.size()); ++i) {
        const bench::Verdict& a = first[i];
        const bench::Verdict& b = second[i];
        const double spread = std::max(a.ratio, b.ratio) / std::min(a.ratio, b.ratio) - 1;
        const bool agrees = spread <= agreement;
        const bool goalsMet = a.met() && b.met();
        allGood = allGood && agrees && goalsMet;
        bench::printLine(QStringLiteral("%1 %2 pass 1 %3  pass 2 %4  apart %5%  %6  %7")
                             .arg(a.id.leftJustified(4), a.what.left(58).leftJustified(58),
                                  ratioText(a.ratio).leftJustified(6),
                                  ratioText(b.ratio).leftJustified(6),
                                  QString::number(spread * 100, 'f', 1).rightJustified(5),
                                  agrees ? QStringLiteral("agree   ") : QStringLiteral("DISAGREE"),
                                  a.goal <= 0 ? QStringLiteral("informative")
                                              : QStringLiteral("goal %1 %2")
                                                    .arg(QString::number(a.goal, 'f', 2),
                                                         goalsMet ? QStringLiteral("met in both")
                                                                  : QStringLiteral("MISSED"))));
    }
    bench::printLine(allGood ? QStringLiteral("check: every row agrees and meets its goal")
                             : QStringLiteral("check: FAILED"));
    return allGood;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const bench::Options options = parse(QCoreApplication::arguments());
    QDir().mkpath(options.data);
    bench::setDiskFolder(options.data);

    std::vector<std::vector<bench::Verdict>> passes;
    for (int pass = 1; pass <= options.passes; ++pass) {
        if (options.passes > 1)
            bench::printLine(QStringLiteral("pass %1 of %2").arg(pass).arg(options.passes));
        bench::setRawFolder(options.data + QStringLiteral("/raw/pass%1").arg(pass));
        const size_t before = bench::verdicts().size();
        runTable(options);
        passes.emplace_back(bench::verdicts().begin() + static_cast<std::ptrdiff_t>(before),
                            bench::verdicts().end());
    }
    if (passes.size() < 2)
        return 0;
    return compare(passes[0], passes[1]) ? 0 : 1;
}
