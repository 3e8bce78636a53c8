#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start);
long long monotonicNanoseconds();

struct Summary
{
    double median = 0;
    double min = 0;
    double max = 0;
    int count = 0;
};
Summary summarise(std::vector<double> values);

// One measured run of one side of a comparison.
struct Sample
{
    double milliseconds = 0;
    double maxRssKilobytes = 0;
    std::vector<double> parts; // stage times inside `milliseconds`, where a side has stages
};

// Runs `pairs` balanced pairs of rounds after `warmUps` unrecorded rounds.
// Every round runs each side once: sides 0 and 1 (the program and its floor)
// first, next to each other, the program first in one round of a pair and
// the floor first in the other; then any further (informative) sides.
// Whichever runs first can pay for what came before (with the 1 GB template,
// the first copy after the previous outputs were deleted was 25% slower, for
// either side), so a pair's ratio is taken over both orders: see ratios().
// `beforeRound` runs outside every timing, before each round. The disk is
// let settle before the row: see settleDisk().
std::vector<std::vector<Sample>> runRounds(const QString& label, int warmUps, int pairs,
                                           const std::vector<std::function<Sample()>>& sides,
                                           const std::function<void(int round)>& beforeRound = {});

// Where runRounds leaves every sample of a row, one line a round, as
// `<folder>/<label>.csv`: for a second look at a row whose spread is wide.
void setRawFolder(const QString& folder);

// One ratio side[a] / side[b] per balanced pair of rounds: the geometric
// mean of the ratios of its two rounds, so that an order effect cancels.
std::vector<double> ratios(const std::vector<std::vector<Sample>>& samples, int a, int b,
                           bool memory = false);
std::vector<double> times(const std::vector<std::vector<Sample>>& samples, int side);
std::vector<double> memories(const std::vector<std::vector<Sample>>& samples, int side);
std::vector<double> parts(const std::vector<std::vector<Sample>>& samples, int side, int part);

struct Launch
{
    QStringList arguments; // the program first
    QStringList environment; // NAME=VALUE, added to this process's own
    QString workingFolder;
    bool paintPipe = false; // hand TKBENCH_PAINT_FD to the child and wait for its report
    QString logFile; // the child's standard output and error; empty: discarded
    int timeoutSeconds = 120;
};

struct ProcessResult
{
    int exitCode = -1; // -1: killed or did not start
    double wallMilliseconds = 0; // from just before the spawn to the reaped exit
    double paintMilliseconds = -1; // from just before the spawn to the reported first paint
    // With a paint report, the child's own peak by its first paint; else
    // wait4's, which includes this process's peak (see PaintProbe.cpp).
    double maxRssKilobytes = 0;
};

ProcessResult runProcess(const Launch& launch);
// Runs it and stops the whole benchmark when it fails.
ProcessResult runProcessOrDie(const Launch& launch);

// The disk that every row writes to: the one holding `folder`.
void setDiskFolder(const QString& folder);

// Waits, outside every timing, until nothing is left to write: no dirty or
// writeback pages (/proc/meminfo) and no request in flight or completed on
// the disk for `quiet`. A run that starts while the previous one's data (or
// the discards of its deleted files) still reaches the disk pays for it, by
// an amount that differs from run to run. Gives up after `limit`.
struct Settling
{
    double waitedMilliseconds = 0;
    bool gaveUp = false;
    long long dirtyKilobytes = 0; // when it gave up
    long long writebackKilobytes = 0;
};
Settling settleDisk(std::chrono::milliseconds quiet, std::chrono::seconds limit);
// Before a row: a long quiet, and a note when the limit was hit.
void settleBeforeRow(const QString& label);
// Before a run: a short quiet; the runs that did not settle are counted for
// the row's note (see settleNote()).
void settleBeforeRun();
// What settling cost in the row just run, and the runs it gave up on; resets
// the count.
QString settleNote();

// Outside every timing, last before a run: writes back all dirty data and
// waits for the disk to settle (settleBeforeRun()); dropCaches() drops the
// page cache first where this process may (root), so that one run's output
// does not stay in memory for the next, and returns false when it could not.
void syncEverything();
bool dropCaches();
// Reads every file under `folder` (or the file itself), so that a side's
// input is in the page cache after the cache was dropped.
void warmUp(const QString& path);
void removeTree(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);
qint64 freeBytesAt(const QString& folder);

[[noreturn]] void die(const QString& why);
// Another program built beside `executable`: the console program beside the
// window, a floor beside tkbench_floor.
QString siblingOf(const QString& executable, const char* name);
void progress(const QString& text);
// A line of the table, and a note printed under it.
void printLine(const QString& line);
void note(const QString& text);

struct Row
{
    QString id;
    QString programName = QStringLiteral("program");
    QString floorName = QStringLiteral("floor");
    QString what;
    QString unit; // "ms" or "MiB"
    Summary program;
    Summary floor;
    Summary ratio;
    double goal = 0; // 0: informative
    QString extra;
};
void printRow(const Row& row);

// Every row printed so far, for comparing two passes over the table.
struct Verdict
{
    QString id;
    QString what;
    double ratio = 0;
    double goal = 0; // 0: informative
    bool met() const { return goal <= 0 || ratio <= goal; }
};
const std::vector<Verdict>& verdicts();

} // namespace bench
