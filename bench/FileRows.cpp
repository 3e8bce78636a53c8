#include "Measure.h"
#include "Rows.h"
#include "TestData.h"

#include "enrol/HomePage.h"
#include "platform/SystemText.h"
#include "register/RegisterLock.h"
#include "register/RegisterReader.h"
#include "register/RegisterWriter.h"
#include "register/SiteFiles.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>

#include <climits>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace bench {

namespace {

// The floors are written with plain system calls, so that they are the
// least work that leaves the same bytes equally safe on the disk.
class Fd
{
public:
    Fd(const QString& path, int flags)
        : m_fd(::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC, 0666))
    {
        if (m_fd < 0)
            die(QStringLiteral("cannot open %1: %2").arg(path).arg(errno));
    }
    ~Fd() { ::close(m_fd); }
    int get() const { return m_fd; }
    qsizetype size() const
    {
        struct stat status
        { };
        ::fstat(m_fd, &status);
        return status.st_size;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    void write(const QByteArray& bytes)
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
            if (n <= 0)
                die(QStringLiteral("write failed"));
            done += n;
        }
    }
    // Fills `bytes`, which must be the file's size.
    void readInto(QByteArray& bytes)
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::read(m_fd, bytes.data() + done, size_t(bytes.size() - done));
            if (n <= 0)
                die(QStringLiteral("read failed"));
            done += n;
        }
    }
    QByteArray readAll()
    {
        QByteArray bytes(size(), Qt::Uninitialized);
        readInto(bytes);
        return bytes;
    }
    void sync()
    {
        if (::fsync(m_fd) != 0)
            die(QStringLiteral("fsync failed"));
    }

private:
    int m_fd;
};

QByteArray path(const QString& folder, const char* name)
{
    return QFile::encodeName(folder + QLatin1Char('/') + QLatin1String(name));
}

void check(bool ok, const char* what)
{
    if (!ok)
        die(QStringLiteral("%1 failed: errno %2").arg(QLatin1String(what)).arg(errno));
}

// Gives `name` in `folder` a second name `alias` there, as a hard link.
void linkInFolder(const QString& folder, const char* name, const char* alias)
{
    check(::link(path(folder, name).constData(), path(folder, alias).constData()) == 0, "link");
}

} // namespace

namespace {

// What every run of the register row starts from, outside its timing: the
// register as it was, its previous generation beside it, both on the disk,
// and neither a lock nor a half-written register. A second name keeps the
// previous generation's blocks: on a file system mounted with online discard
// dropping them waits for the disk, many times longer in one run than in the
// next, and that wait is the disk's, the same for the program and the floor.
void resetRegisterFolder(const QString& folder, const QByteArray& text)
{
    ::unlink(path(folder, "kept.old").constData());
    writeFile(folder + QStringLiteral("/tkshrtct.dat"), text);
    writeFile(folder + QStringLiteral("/tkshrtct.old"), text);
    linkInFolder(folder, "tkshrtct.old", "kept.old");
    ::unlink(path(folder, "tkshrtct.new").constData());
    ::unlink(path(folder, "tkshrtct.lck").constData());
    syncEverything();
}

// The least file-system work that adds a row as safely as the program must:
// a lock file made and removed, the register read, the new one written and
// synced, the previous generation kept (the one before it dropped), the new
// one renamed into place and the folder synced.
Sample durableUpdate(const QString& folder, const QByteArray& newText)
{
    const Clock::time_point start = Clock::now();
    Fd(folder + QStringLiteral("/tkshrtct.lck"), O_WRONLY | O_CREAT | O_EXCL).write("1\n");
    if (Fd(folder + QStringLiteral("/tkshrtct.dat"), O_RDONLY).readAll().isEmpty())
        die(QStringLiteral("empty register"));
    {
        Fd out(folder + QStringLiteral("/tkshrtct.new"), O_WRONLY | O_CREAT | O_EXCL);
        out.write(newText);
        out.sync();
    }
    check(::unlink(path(folder, "tkshrtct.old").constData()) == 0, "unlink");
    linkInFolder(folder, "tkshrtct.dat", "tkshrtct.old");
    check(::rename(path(folder, "tkshrtct.new").constData(),
                   path(folder, "tkshrtct.dat").constData())
              == 0,
          "rename");
    Fd(folder, O_RDONLY | O_DIRECTORY).sync();
    check(::unlink(path(folder, "tkshrtct.lck").constData()) == 0, "unlink");
    return Sample{millisecondsSince(start), 0, {}};
}

} // namespace

void registerRow(const Options& options)
{
    const QString folder = options.data + QStringLiteral("/register");
    removeTree(folder);
    QDir().mkpath(folder);
    const RegisterData data = writeSite(folder, 1500 - 1);
    const tk::RegisterRecord record{QStringLiteral("Middle Name"), QStringLiteral("middle_name"),
                                    data.someClass, data.someYear};
    // As the program reads it at start-up.
    const tk::ShortcutRegister known = tk::loadRegister(folder);
    const QByteArray bytes = tk::registerTextWith(known, {record});
    int plainFiles = 0;

    // As the enrolment does it: the lock, the register read again under it,
    // the update, the lock let go.
    auto program = [&] {
        resetRegisterFolder(folder, data.text);
        const Clock::time_point start = Clock::now();
        {
            const std::unique_ptr<tk::RegisterLock> lock = tk::RegisterLock::acquire(folder);
            if (!lock)
                die(QStringLiteral("register lock not acquired"));
            tk::updateRegister(folder, tk::reloadRegister(folder, known), {record}, *lock);
        }
        return Sample{millisecondsSince(start), 0, {}};
    };
    auto floor = [&] {
        resetRegisterFolder(folder, data.text);
        return durableUpdate(folder, bytes);
    };
    auto writeAndSync = [&] {
        const QString name = folder + QStringLiteral("/plain%1.dat").arg(plainFiles++);
        syncEverything();
        const Clock::time_point start = Clock::now();
        {
            Fd out(name, O_WRONLY | O_CREAT | O_EXCL);
            out.write(bytes);
            out.sync();
        }
        return Sample{millisecondsSince(start), 0, {}};
    };
    auto removePlainFiles = [&](int) {
        for (int i = 0; i < plainFiles; ++i)
            ::unlink(QFile::encodeName(folder + QStringLiteral("/plain%1.dat").arg(i)).constData());
    };
    const auto samples = runRounds(QStringLiteral("register"), 2, options.registerPairs,
                                   {program, floor, writeAndSync}, removePlainFiles);
    QFile written(folder + QStringLiteral("/tkshrtct.dat"));
    if (!written.open(QIODevice::ReadOnly) || written.readAll() != bytes)
        die(QStringLiteral("the program's register is not the floor's"));
    const QString size = QStringLiteral("%1 KB").arg(double(bytes.size()) / 1000.0, 0, 'f', 1);
    printRow(
        {QStringLiteral("4"), QStringLiteral("program"), QStringLiteral("floor"),
         QStringLiteral("register update, 1500 rows (%1), vs lock + durable replace").arg(size),
         QStringLiteral("ms"), summarise(times(samples, 0)), summarise(times(samples, 1)),
         summarise(ratios(samples, 0, 1)), 1.30, QString()});
    printRow({QStringLiteral("4a"), QStringLiteral("program"), QStringLiteral("floor"),
              QStringLiteral("  register update vs write + fsync only"), QStringLiteral("ms"),
              summarise(times(samples, 0)), summarise(times(samples, 2)),
              summarise(ratios(samples, 0, 2)), 0, QString()});
    note(settleNote());
    removeTree(folder);
}

namespace {

// The personalised page of the pages measured here, whose lines end in CR LF
// or which are one line without an end, as the pieces of the page around the
// name: the first placeholder of each line left out, the name in its place.
template<typename Take>
void forEachPiece(QByteArrayView page, QByteArrayView name, Take take)
{
    const QByteArray& placeholder = tk::homePagePlaceholder;
    const char* at = page.data();
    const char* const end = at + page.size();
    while (at < end) {
        const void* lineFeed = std::memchr(at, '\n', size_t(end - at));
        const char* lineEnd = lineFeed ? static_cast<const char*>(lineFeed) + 1 : end;
        const void* found = ::memmem(at, size_t(lineEnd - at), placeholder.constData(),
                                     size_t(placeholder.size()));
        if (!found) {
            take(QByteArrayView(at, lineEnd));
        } else {
            const char* cut = static_cast<const char*>(found);
            take(QByteArrayView(at, cut));
            take(name);
            take(QByteArrayView(cut + placeholder.size(), lineEnd));
        }
        at = lineEnd;
    }
    if (!page.endsWith('\n'))
        take(QByteArrayView("\r\n", 2));
}

// The least work that rewrites the page: the page mapped, never copied into
// a buffer, and written around the name with writev, so that the kernel
// copies each byte once, from the page cache to the page cache.
void writeRewritten(int descriptor, QByteArrayView page, QByteArrayView name)
{
    std::vector<iovec> pieces;
    pieces.reserve(IOV_MAX);
    auto flush = [&] {
        size_t bytes = 0;
        for (const iovec& piece : pieces)
            bytes += piece.iov_len;
        check(::writev(descriptor, pieces.data(), int(pieces.size())) == ssize_t(bytes), "writev");
        pieces.clear();
    };
    forEachPiece(page, name, [&](QByteArrayView piece) {
        if (piece.isEmpty())
            return;
        pieces.push_back({const_cast<char*>(piece.data()), size_t(piece.size())});
        if (pieces.size() == IOV_MAX)
            flush();
    });
    if (!pieces.empty())
        flush();
}

void homePageRow(const Options& options, const QString& id, const QString& what,
                 const QByteArray& page)
{
    const QString folder = options.data + QStringLiteral("/homepage");
    removeTree(folder);
    QDir().mkpath(folder);
    const QString fullName = QStringLiteral("Anna Maria Van der Berg");
    const QByteArray name = tk::encodeFileText(fullName);
    const QByteArray output = tk::personalisedPage(page, name);
    // Read into memory that is already there, as the program reads into a
    // block it keeps: a fresh buffer would cost a page fault every 4 KiB.
    QByteArray buffer(page.size(), '\0');
    QByteArray floorOutput;
    forEachPiece(page, name, [&](QByteArrayView piece) { floorOutput += piece; });
    if (floorOutput != output)
        die(QStringLiteral("the floor's page is not the program's"));
    int run = 0;
    QString programFolder;
    QString floorFolder;

    // Every run gets a fresh copy of the template page, on the disk before
    // the clock starts. A second name keeps its blocks: in a Create the page
    // replaced is a copy made a moment before, with no blocks on the disk yet,
    // so the rename frees none, where here it would wait for the disk to
    // discard them, a wait that varies many times over from run to run.
    auto prepare = [&](int) {
        programFolder = folder + QStringLiteral("/p%1").arg(run);
        floorFolder = folder + QStringLiteral("/f%1").arg(run);
        ++run;
        for (const QString& runFolder : {programFolder, floorFolder}) {
            writeFile(runFolder + QStringLiteral("/index.htm"), page);
            linkInFolder(runFolder, "index.htm", "kept.htm");
        }
        syncEverything();
    };
    auto program = [&] {
        syncEverything();
        const Clock::time_point start = Clock::now();
        tk::personaliseHomePage(programFolder, fullName);
        return Sample{millisecondsSince(start), 0, {}};
    };
    auto floor = [&] {
        syncEverything();
        const Clock::time_point start = Clock::now();
        {
            Fd(floorFolder + QStringLiteral("/index.htm"), O_RDONLY).readInto(buffer);
            // No fsync, as in the program: the student's folder is made
            // durable by the one syncfs that the Create rows count, and a
            // sync here would time the disk, not the rewrite.
            const Fd out(floorFolder + QStringLiteral("/temp.htm"), O_WRONLY | O_CREAT | O_EXCL);
            writeRewritten(out.get(), buffer, name);
        }
        check(::rename(path(floorFolder, "temp.htm").constData(),
                       path(floorFolder, "index.htm").constData())
                  == 0,
              "rename");
        return Sample{millisecondsSince(start), 0, {}};
    };
    const auto samples = runRounds(QStringLiteral("home page ") + what, 2, options.filePairs,
                                   {program, floor}, prepare);
    printRow({id, QStringLiteral("program"), QStringLiteral("floor"),
              QStringLiteral("home page rewrite, ") + what, QStringLiteral("ms"),
              summarise(times(samples, 0)), summarise(times(samples, 1)),
              summarise(ratios(samples, 0, 1)), 1.10, QString()});
    note(settleNote());

    QFile written(programFolder + QStringLiteral("/index.htm"));
    if (!written.open(QIODevice::ReadOnly) || written.readAll() != output)
        die(QStringLiteral("the program's page is not the floor's"));
    removeTree(folder);
}

} // namespace

void homePageRows(const Options& options)
{
    homePageRow(options, QStringLiteral("5a"), QStringLiteral("1 MB on one line"),
                oneLinePage(1000000));
    const QByteArray many = manyLinePage(4 * 1024 * 1024);
    homePageRow(options, QStringLiteral("5b"),
                QStringLiteral("4 MiB in %1k lines").arg(many.count('\n') / 1000), many);
}

} // namespace bench
