#include "Measure.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace bench {

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

long long monotonicNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

Summary summarise(std::vector<double> values)
{
    Summary s;
    s.count = static_cast<int>(values.size());
    if (values.empty())
        return s;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    s.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    s.min = values.front();
    s.max = values.back();
    return s;
}

namespace {
void saveRounds(const QString& label, const std::vector<std::vector<Sample>>& samples);
} // namespace

std::vector<std::vector<Sample>> runRounds(const QString& label, int warmUps, int pairs,
                                           const std::vector<std::function<Sample()>>& sides,
                                           const std::function<void(int)>& beforeRound)
{
    settleBeforeRow(label);
    const int rounds = 2 * pairs;
    const int sideCount = static_cast<int>(sides.size());
    std::vector<std::vector<Sample>> samples(sides.size());
    for (int round = -warmUps; round < rounds; ++round) {
        progress(QStringLiteral("%1: round %2 of %3%4")
                     .arg(label)
                     .arg(round + 1)
                     .arg(rounds)
                     .arg(round < 0 ? QStringLiteral(" (warm-up)") : QString()));
        if (beforeRound)
            beforeRound(round);
        // The program and its floor run next to each other, in turns first;
        // any informative side runs after both, so as not to come between them.
        std::vector<int> order{0};
        if (sideCount > 1)
            order.insert(round % 2 == 0 ? order.end() : order.begin(), 1);
        for (int side = 2; side < sideCount; ++side)
            order.push_back(side);
        std::vector<Sample> got(sides.size());
        for (const int side : order)
            got[static_cast<size_t>(side)] = sides[static_cast<size_t>(side)]();
        if (round >= 0)
            for (int side = 0; side < sideCount; ++side)
                samples[side].push_back(got[side]);
    }
    saveRounds(label, samples);
    return samples;
}

namespace {

QString& rawFolder()
{
    static QString folder;
    return folder;
}

void saveRounds(const QString& label, const std::vector<std::vector<Sample>>& samples)
{
    if (rawFolder().isEmpty() || samples.empty() || samples.front().empty())
        return;
    QString text = QStringLiteral("round");
    for (size_t side = 0; side < samples.size(); ++side) {
        text += QStringLiteral(",side%1_ms,side%1_maxrss_kb").arg(side);
        if (!samples[side].empty())
            for (size_t part = 0; part < samples[side].front().parts.size(); ++part)
                text += QStringLiteral(",side%1_part%2_ms").arg(side).arg(part);
    }
    text += QLatin1Char('\n');
    for (size_t round = 0; round < samples.front().size(); ++round) {
        text += QString::number(round);
        for (const auto& side : samples) {
            const Sample& s = side[round];
            text += QStringLiteral(",%1,%2").arg(s.milliseconds, 0, 'f', 3).arg(s.maxRssKilobytes);
            for (double part : s.parts)
                text += QStringLiteral(",%1").arg(part, 0, 'f', 3);
        }
        text += QLatin1Char('\n');
    }
    QString name = label;
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]+")), QStringLiteral("-"));
    writeFile(rawFolder() + QLatin1Char('/') + name + QStringLiteral(".csv"), text.toUtf8());
}

} // namespace

void setRawFolder(const QString& folder)
{
    rawFolder() = folder;
}

std::vector<double> ratios(const std::vector<std::vector<Sample>>& samples, int a, int b,
                           bool memory)
{
    auto ratio = [&](size_t round) {
        const Sample& x = samples[a][round];
        const Sample& y = samples[b][round];
        return memory ? x.maxRssKilobytes / y.maxRssKilobytes : x.milliseconds / y.milliseconds;
    };
    std::vector<double> out;
    for (size_t i = 0; i + 1 < samples[a].size(); i += 2)
        out.push_back(std::sqrt(ratio(i) * ratio(i + 1)));
    return out;
}

std::vector<double> times(const std::vector<std::vector<Sample>>& samples, int side)
{
    std::vector<double> out;
    for (const Sample& s : samples[side])
        out.push_back(s.milliseconds);
    return out;
}

std::vector<double> memories(const std::vector<std::vector<Sample>>& samples, int side)
{
    std::vector<double> out;
    for (const Sample& s : samples[side])
        out.push_back(s.maxRssKilobytes / 1024.0);
    return out;
}

std::vector<double> parts(const std::vector<std::vector<Sample>>& samples, int side, int part)
{
    std::vector<double> out;
    for (const Sample& s : samples[side])
        out.push_back(s.parts.at(static_cast<size_t>(part)));
    return out;
}

namespace {

std::vector<std::string> toStrings(const QStringList& list)
{
    std::vector<std::string> out;
    for (const QString& s : list)
        out.push_back(QFile::encodeName(s).toStdString());
    return out;
}

std::vector<char*> pointers(std::vector<std::string>& strings)
{
    std::vector<char*> out;
    for (std::string& s : strings)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

// Reads the child's report until it closes the pipe or the time is up: when
// it painted, and its own peak of resident memory by then (`peakKilobytes`).
long long readPaintReport(int fd, int timeoutMilliseconds, long long* peakKilobytes)
{
    std::string text;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    for (;;) {
        const int left = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
        if (left <= 0)
            return -2;
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, left);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return -2;
        char buffer[128];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        text.append(buffer, static_cast<size_t>(got));
        if (text.find('\n') != std::string::npos)
            break;
    }
    long long painted = -1;
    if (std::sscanf(text.c_str(), "painted %lld %lld", &painted, peakKilobytes) != 2)
        return -1;
    return painted;
}

} // namespace

ProcessResult runProcess(const Launch& launch)
{
    ProcessResult result;
    std::vector<std::string> args = toStrings(launch.arguments);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        env.emplace_back(*e);
    for (const std::string& extra : toStrings(launch.environment))
        env.push_back(extra);
    int pipeFds[2] = {-1, -1};
    constexpr int childPaintFd = 3;
    if (launch.paintPipe) {
        if (::pipe2(pipeFds, O_CLOEXEC) != 0)
            die(QStringLiteral("pipe failed"));
        env.push_back("TKBENCH_PAINT_FD=" + std::to_string(childPaintFd));
    }
    std::vector<char*> argv = pointers(args);
    std::vector<char*> envp = pointers(env);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string log = launch.logFile.isEmpty()
        ? std::string("/dev/null")
        : QFile::encodeName(launch.logFile).toStdString();
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (launch.paintPipe)
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], childPaintFd);
    const std::string cwd = QFile::encodeName(launch.workingFolder).toStdString();
    if (!launch.workingFolder.isEmpty())
        posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());

    const long long started = monotonicNanoseconds();
    const Clock::time_point start = Clock::now();
    pid_t pid = -1;
    const int spawnError = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (launch.paintPipe)
        ::close(pipeFds[1]);
    if (spawnError != 0) {
        if (launch.paintPipe)
            ::close(pipeFds[0]);
        return result;
    }
    bool timedOut = false;
    long long paintPeakKilobytes = 0;
    if (launch.paintPipe) {
        const long long painted = readPaintReport(pipeFds[0], launch.timeoutSeconds * 1000,
                                                  &paintPeakKilobytes);
        ::close(pipeFds[0]);
        if (painted == -2) {
            timedOut = true;
            ::kill(pid, SIGKILL);
        } else if (painted > 0) {
            result.paintMilliseconds = static_cast<double>(painted - started) / 1e6;
        }
    }
    int status = 0;
    rusage usage{};
    const auto deadline = start + std::chrono::seconds(launch.timeoutSeconds);
    for (;;) {
        const pid_t done = ::wait4(pid, &status, timedOut ? 0 : WNOHANG, &usage);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR)
            die(QStringLiteral("wait4 failed"));
        if (Clock::now() > deadline) {
            timedOut = true;
            ::kill(pid, SIGKILL);
            continue;
        }
        ::usleep(200);
    }
    result.wallMilliseconds = millisecondsSince(start);
    result.maxRssKilobytes = static_cast<double>(paintPeakKilobytes > 0 ? paintPeakKilobytes
                                                                        : usage.ru_maxrss);
    result.exitCode = (!timedOut && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
    return result;
}

ProcessResult runProcessOrDie(const Launch& launch)
{
    const ProcessResult result = runProcess(launch);
    if (result.exitCode != 0 || (launch.paintPipe && result.paintMilliseconds < 0))
        die(QStringLiteral("%1 failed (exit %2%3)%4")
                .arg(launch.arguments.join(QLatin1Char(' ')))
                .arg(result.exitCode)
                .arg(launch.paintPipe && result.paintMilliseconds < 0
                         ? QStringLiteral(", no first paint reported")
                         : QString())
                .arg(launch.logFile.isEmpty() ? QString()
                                              : QStringLiteral("; see ") + launch.logFile));
    return result;
}

namespace {

QString& diskStatPath()
{
    static QString path;
    return path;
}

struct DiskState
{
    long long dirtyKilobytes = 0;
    long long writebackKilobytes = 0;
    long long inFlight = 0;
    long long completed = 0; // reads, writes, discards and flushes together
};

long long meminfoKilobytes(const QByteArray& meminfo, const char* name)
{
    const qsizetype at = meminfo.indexOf(QByteArray(name) + ':');
    if (at < 0)
        return 0;
    return meminfo.mid(at + qsizetype(std::strlen(name)) + 1, 32)
        .trimmed()
        .split(' ')
        .first()
        .toLongLong();
}

QByteArray readProcFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

DiskState diskState()
{
    DiskState state;
    const QByteArray meminfo = readProcFile(QStringLiteral("/proc/meminfo"));
    state.dirtyKilobytes = meminfoKilobytes(meminfo, "Dirty");
    state.writebackKilobytes = meminfoKilobytes(meminfo, "Writeback");
    if (diskStatPath().isEmpty())
        return state;
    // Fields: reads, ..., writes (5th), ..., in flight (9th), ..., discards
    // (12th), ..., flushes (16th): see the kernel's Documentation/block/stat.
    const QList<QByteArray> fields = readProcFile(diskStatPath()).simplified().split(' ');
    auto field = [&](int n) { return fields.size() >= n ? fields[n - 1].toLongLong() : 0; };
    state.inFlight = field(9);
    state.completed = field(1) + field(5) + field(12) + field(16);
    return state;
}

// A few pages that other processes dirty at any moment are no backlog.
constexpr long long drainedDirtyKilobytes = 1024;

// The processor time that the host of a virtual machine gave to its other
// guests: a disturbance that no quiet disk shows, and that slows a short
// process more than a long one, whose pauses average out.
struct ProcessorTime
{
    long long stolen = 0;
    long long total = 0;
};

ProcessorTime processorTime()
{
    QFile file(QStringLiteral("/proc/stat"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // cpu user nice system idle iowait irq softirq steal ...
    const QList<QByteArray> fields = file.readLine().simplified().split(' ');
    ProcessorTime time;
    for (qsizetype i = 1; i < std::min<qsizetype>(fields.size(), 9); ++i)
        time.total += fields[i].toLongLong();
    time.stolen = fields.size() > 8 ? fields[8].toLongLong() : 0;
    return time;
}

struct SettlingLog
{
    QString beforeRow; // why the row started on a disk that had not settled
    int runs = 0; // waits before a run
    int runsNotSettled = 0;
    double milliseconds = 0;
    ProcessorTime atRowStart;
};

SettlingLog& settlingLog()
{
    static SettlingLog log;
    return log;
}

} // namespace

void setDiskFolder(const QString& folder)
{
    struct stat status
    { };
    if (::stat(QFile::encodeName(folder).constData(), &status) != 0)
        die(QStringLiteral("cannot stat %1").arg(folder));
    diskStatPath() = QStringLiteral("/sys/dev/block/%1:%2/stat")
                         .arg(major(status.st_dev))
                         .arg(minor(status.st_dev));
    if (!QFile::exists(diskStatPath()))
        diskStatPath().clear();
}

Settling settleDisk(std::chrono::milliseconds quiet, std::chrono::seconds limit)
{
    const Clock::time_point start = Clock::now();
    ::sync();
    DiskState last = diskState();
    Clock::time_point quietSince = Clock::now();
    for (;;) {
        ::usleep(10000);
        const DiskState now = diskState();
        const bool drained = now.dirtyKilobytes <= drainedDirtyKilobytes
            && now.writebackKilobytes == 0 && now.inFlight == 0;
        if (!drained || now.completed != last.completed)
            quietSince = Clock::now();
        if (now.dirtyKilobytes > drainedDirtyKilobytes)
            ::sync();
        last = now;
        if (Clock::now() - quietSince >= quiet)
            return {millisecondsSince(start), false, 0, 0};
        if (Clock::now() - start >= limit)
            return {millisecondsSince(start), true, now.dirtyKilobytes, now.writebackKilobytes};
    }
}

void settleBeforeRow(const QString& label)
{
    progress(QStringLiteral("%1: letting the disk settle").arg(label));
    settlingLog() = {};
    settlingLog().atRowStart = processorTime();
    const Settling settled = settleDisk(std::chrono::seconds(2), std::chrono::seconds(180));
    if (settled.gaveUp)
        settlingLog().beforeRow = QStringLiteral("NOT idle before the row after %1 s (Dirty %2 kB, "
                                                 "Writeback %3 kB), which ran all the same")
                                      .arg(settled.waitedMilliseconds / 1000, 0, 'f', 0)
                                      .arg(settled.dirtyKilobytes)
                                      .arg(settled.writebackKilobytes);
}

void settleBeforeRun()
{
    const Settling settled = settleDisk(std::chrono::milliseconds(150), std::chrono::seconds(20));
    SettlingLog& log = settlingLog();
    ++log.runs;
    log.milliseconds += settled.waitedMilliseconds;
    if (settled.gaveUp)
        ++log.runsNotSettled;
}

QString settleNote()
{
    const SettlingLog& log = settlingLog();
    QStringList said{log.beforeRow.isEmpty() ? QStringLiteral("idle before the row")
                                             : log.beforeRow};
    if (log.runsNotSettled > 0)
        said << QStringLiteral("NOT idle within 20 s at %1 of the %2 waits before runs, which "
                               "ran all the same")
                    .arg(log.runsNotSettled)
                    .arg(log.runs);
    else if (log.runs > 0)
        said << QStringLiteral("idle at each of the %1 waits before runs (%2 s in all)")
                    .arg(log.runs)
                    .arg(log.milliseconds / 1000, 0, 'f', 1);
    QString note = QStringLiteral("disk: ") + said.join(QStringLiteral("; "));
    const ProcessorTime now = processorTime();
    if (const long long total = now.total - log.atRowStart.total; total > 0)
        note += QStringLiteral("; processor: %1% of its time taken by the host for others")
                    .arg(100.0 * double(now.stolen - log.atRowStart.stolen) / double(total), 0, 'f',
                         1);
    return note;
}

void syncEverything()
{
    settleBeforeRun();
}

bool dropCaches()
{
    ::sync();
    const int fd = ::open("/proc/sys/vm/drop_caches", O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, "3", 1) == 1;
    ::close(fd);
    settleBeforeRun();
    return ok;
}

void warmUp(const QString& path)
{
    namespace fs = std::filesystem;
    static std::vector<char> buffer(1 << 20);
    auto readAll = [](const fs::path& file) {
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return;
        while (::read(fd, buffer.data(), buffer.size()) > 0) { }
        ::close(fd);
    };
    const fs::path root(QFile::encodeName(path).toStdString());
    if (!fs::is_directory(root)) {
        readAll(root);
        return;
    }
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file())
            readAll(entry.path());
}

// Where the file system discards freed blocks as it frees them (ext4 mounted
// with "discard"), every unlink waits for the device: 4 ms a file on the
// machine this was written on, so a 20,000-file copy takes 80 s to remove one
// by one. The waits overlap well, so files are removed by many threads, then
// the folders, deepest first.
void removeTree(const QString& path)
{
    namespace fs = std::filesystem;
    const fs::path root(QFile::encodeName(path).toStdString());
    std::error_code error;
    const fs::file_status status = fs::symlink_status(root, error);
    if (error || status.type() == fs::file_type::not_found)
        return;
    if (status.type() != fs::file_type::directory) {
        fs::remove(root, error);
        return;
    }
    std::vector<fs::path> files;
    std::vector<std::vector<fs::path>> foldersByDepth(1, {root});
    for (auto it = fs::recursive_directory_iterator(root, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory() && !it->is_symlink()) {
            const size_t depth = static_cast<size_t>(it.depth()) + 1;
            if (foldersByDepth.size() <= depth)
                foldersByDepth.resize(depth + 1);
            foldersByDepth[depth].push_back(it->path());
        } else {
            files.push_back(it->path());
        }
    }
    if (error)
        die(QStringLiteral("cannot list %1: %2")
                .arg(path, QString::fromStdString(error.message())));
    auto removeAll = [](const std::vector<fs::path>& paths) {
        std::atomic<size_t> next{0};
        std::vector<std::thread> workers;
        const size_t count = std::min<size_t>(32, std::max<size_t>(1, paths.size() / 8));
        for (size_t t = 0; t < count; ++t)
            workers.emplace_back([&] {
                for (size_t i = next++; i < paths.size(); i = next++)
                    ::remove(paths[i].c_str());
            });
        for (std::thread& worker : workers)
            worker.join();
    };
    removeAll(files);
    for (auto level = foldersByDepth.rbegin(); level != foldersByDepth.rend(); ++level)
        removeAll(*level);
    if (fs::exists(root, error))
        die(QStringLiteral("cannot remove %1").arg(path));
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        die(QStringLiteral("cannot write %1").arg(path));
}

qint64 freeBytesAt(const QString& folder)
{
    struct statvfs info
    { };
    if (::statvfs(QFile::encodeName(folder).constData(), &info) != 0)
        return -1;
    return static_cast<qint64>(info.f_bavail) * static_cast<qint64>(info.f_frsize);
}

void die(const QString& why)
{
    std::fprintf(stderr, "tkbench: %s\n", why.toLocal8Bit().constData());
    std::fflush(stderr);
    std::exit(2);
}

QString siblingOf(const QString& executable, const char* name)
{
    return QFileInfo(executable).dir().filePath(QLatin1String(name));
}

void progress(const QString& text)
{
    std::fprintf(stderr, "  %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

void printLine(const QString& line)
{
    std::printf("%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

void note(const QString& text)
{
    printLine(QStringLiteral("    note: ") + text);
}

namespace {

QString number(double value, const QString& unit)
{
    if (unit == QLatin1String("MiB"))
        return QString::number(value, 'f', 1);
    if (value >= 1000)
        return QString::number(value, 'f', 0);
    if (value >= 100)
        return QString::number(value, 'f', 1);
    return QString::number(value, 'f', 2);
}

QString side(const QString& name, const Summary& s, const QString& unit)
{
    return QStringLiteral("%1 %2 %3 [%4-%5]")
        .arg(name, number(s.median, unit), unit, number(s.min, unit), number(s.max, unit));
}

} // namespace

namespace {

std::vector<Verdict>& allVerdicts()
{
    static std::vector<Verdict> list;
    return list;
}

} // namespace

const std::vector<Verdict>& verdicts()
{
    return allVerdicts();
}

void printRow(const Row& row)
{
    allVerdicts().push_back({row.id, row.what.trimmed(), row.ratio.median, row.goal});
    const QString ratio = QStringLiteral("ratio %1 [%2-%3]")
                              .arg(QString::number(row.ratio.median, 'f', 3),
                                   QString::number(row.ratio.min, 'f', 2),
                                   QString::number(row.ratio.max, 'f', 2));
    QString verdict;
    if (row.goal > 0)
        verdict = QStringLiteral("goal %1  %2")
                      .arg(QString::number(row.goal, 'f', 2),
                           row.ratio.median <= row.goal ? QStringLiteral("MET")
                                                        : QStringLiteral("MISSED"));
    else
        verdict = QStringLiteral("informative");
    printLine(QStringLiteral("%1 %2 %3 %4 %5 %6  pairs=%7%8")
                  .arg(row.id.leftJustified(4))
                  .arg(row.what.leftJustified(50))
                  .arg(side(row.programName, row.program, row.unit).leftJustified(36))
                  .arg(side(row.floorName, row.floor, row.unit).leftJustified(34))
                  .arg(ratio.leftJustified(26))
                  .arg(verdict)
                  .arg(row.ratio.count)
                  .arg(row.extra.isEmpty() ? QString() : QStringLiteral("  ") + row.extra));
}

} // namespace bench
