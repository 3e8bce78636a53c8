#include "Measure.h"
#include "Rows.h"

namespace bench {

// Scripts call the console program in loops: its start-up is paid on every
// call, and should be no more than any QtCore program's.
void versionRow(const Options& options)
{
    auto side = [&options](const QString& executable) {
        Launch launch;
        launch.arguments = {executable, QStringLiteral("--version")};
        launch.workingFolder = options.data;
        return [launch] {
            const ProcessResult r = runProcessOrDie(launch);
            return Sample{r.wallMilliseconds, r.maxRssKilobytes, {}};
        };
    };
    const auto samples = runRounds(QStringLiteral("version"), 3, options.startupPairs,
                                   {side(siblingOf(options.program, "tkaddstudent-cli")),
                                    side(siblingOf(options.floor, "tkbench_version_floor"))});
    printRow({QStringLiteral("7"), QStringLiteral("program"), QStringLiteral("floor"),
              QStringLiteral("tkaddstudent-cli --version, vs a QtCore program's --version"),
              QStringLiteral("ms"), summarise(times(samples, 0)), summarise(times(samples, 1)),
              summarise(ratios(samples, 0, 1)), 1.10, QStringLiteral("(whole processes)")});
}

} // namespace bench
