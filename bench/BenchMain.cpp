// tkbench: every row is a ratio of the program to a floor measured side by
// side in the same run, in pairs of rounds that alternate which goes first. scripts/bench builds
// and runs it and writes bench/results.md.

#include "Measure.h"
#include "Rows.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <cstring>

namespace {

[[noreturn]] void usage()
{
    std::fprintf(stderr,
                 "usage: tkbench --data DIR --program TKADDSTUDENT --floor TKBENCH_FLOOR "
                 "--probe LIBTKBENCH_PROBE.so\n"
                 "               [--pairs N] [--big-pairs N] [--only GROUP,...] [--keep-caches]\n"
                 "groups: startup register homepage create create-a create-b create-c create-d "
                 "batch\n");
    std::exit(2);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    bench::Options options;
    const QStringList args = QCoreApplication::arguments();
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
        else if (a == QLatin1String("--big-pairs"))
            options.bigPairs = value().toInt();
        else if (a == QLatin1String("--only"))
            options.only = value().split(QLatin1Char(','), Qt::SkipEmptyParts);
        else if (a == QLatin1String("--keep-caches"))
            options.dropCaches = false;
        else
            usage();
    }
    if (options.data.isEmpty() || options.program.isEmpty() || options.floor.isEmpty()
        || options.probe.isEmpty() || options.pairs < 1 || options.bigPairs < 1)
        usage();
    QDir().mkpath(options.data);
    bench::setRawFolder(options.data + QStringLiteral("/raw"));

    if (options.wants(QStringLiteral("startup")))
        bench::startupRows(options);
    bool anyCreate = options.only.isEmpty();
    for (const QString& group : options.only)
        anyCreate = anyCreate || group.startsWith(QLatin1String("create"));
    if (anyCreate)
        bench::createRows(options);
    if (options.wants(QStringLiteral("register")))
        bench::registerRow(options);
    if (options.wants(QStringLiteral("homepage")))
        bench::homePageRows(options);
    if (options.wants(QStringLiteral("batch")))
        bench::batchRow(options);
    return 0;
}
