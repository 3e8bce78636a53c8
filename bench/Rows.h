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
    int pairs = 25; // balanced pairs of rounds: see runRounds()
    int bigPairs = 20; // the 1 GB template and the list, where a round takes seconds
    QStringList only; // empty: every row
    bool dropCaches = true;

    bool wants(const QString& group) const { return only.isEmpty() || only.contains(group); }
};

void startupRows(const Options& options);
void registerRow(const Options& options);
void homePageRows(const Options& options);
void createRows(const Options& options);
void batchRow(const Options& options);

} // namespace bench
