#pragma once

#include <QString>
#include <QStringList>

namespace bench {

struct Options
{
    QString data; // every file the benchmark makes, under the build folder
    QString program; // the tkaddstudent executable
    QString floor; // tkbench_floor
    QString probe; // libtkbench_probe.so
    // Balanced pairs of rounds (see runRounds()). Start-up and the small
    // copies vary with every fresh page a run touches: 20 pairs left two
    // passes of the same code more than 10% apart.
    int pairs = 40;
    // The home page rows: runs of a few milliseconds, each riding on a flush
    // to the disk whose latency varies many times over from one run to the
    // next, need many pairs for a median that holds.
    int filePairs = 100;
    // The register row rides on two flushes, and the program's and the
    // floor's runs of a pair vary independently (about one run in ten takes
    // more than twice the median). At 100 pairs a pass's median moved by
    // about 6% when its runs were resampled, so two passes fell more than 10%
    // apart about one time in four; 400 pairs halve that spread.
    int registerPairs = 400;
    // Start-up: every run's time follows the fresh pages it touches, whose
    // cost varies twofold from run to run; the ratio's median needs many pairs.
    int startupPairs = 150;
    int bigPairs = 10; // the 1 GB template, where a round takes seconds
    int listPairs = 5; // the list of 1,000 students: each run already averages 1,000 copies
    int passes = 1; // 2: the whole table twice, each row's ratios compared
    QStringList only; // empty: every row
    bool dropCaches = true;

    bool wants(const QString& group) const
    {
        return only.isEmpty() || only.contains(group)
            || (group.startsWith(QLatin1String("create-"))
                && only.contains(QLatin1String("create")));
    }
};

void startupRows(const Options& options);
void registerRow(const Options& options);
void homePageRows(const Options& options);
// `tier`: 'a' to 'd', 1 MB to 1 GB.
void createRow(const Options& options, char tier);
void batchRow(const Options& options);
// The template's bytes that one Create passes through the process, against cp -r.
void bytesRow(const Options& options);
void versionRow(const Options& options);

} // namespace bench
