#include "TestSupport.h"

#include "FaultInjection.h"
#include "platform/FileServices.h"
#include "platform/FolderCopy.h"
#include "platform/NumberedFailure.h"
#include "platform/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <cerrno>
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace tk;
using faults::SystemCall;

class TestFileServices : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { faults::clear(); }
    void realConditionsCarryTheirNumbers();
    void onlyPlainFilesAreRead();
    void copyTakesEveryFolderThenEveryFile();
    void copyKeepsLinksAsLinksAndSkipsPipes();
    void copyNeverWritesThroughAnExistingName();
    void foldersWithoutSubfolderOrFile();
    void everyEntryThatCannotBeCopiedIsAFailure_data();
    void everyEntryThatCannotBeCopiedIsAFailure();
    void copyReadsAndWritesWhereTheSystemCannotCopy_data();
    void copyReadsAndWritesWhereTheSystemCannotCopy();
    void removingAFolderNeverReachesThroughALink();
    void folderNamesAgreeWithTheFileSystem_data();
    void folderNamesAgreeWithTheFileSystem();
    void findsTheProgramFolderInEveryFormOfItsPath_data();
    void findsTheProgramFolderInEveryFormOfItsPath();

private:
    QString at(const QString& relative) const { return m_dir->filePath(relative); }
    void makeMaster();
    std::unique_ptr<QTemporaryDir> m_dir;
};

namespace {

int failureNumberOf(const std::function<void()>& operation)
{
    try {
        operation();
    } catch (const NumberedFailure& failure) {
        return failure.number();
    }
    return 0;
}

QStringList tree(const QString& root)
{
    return tktest::snapshot(root).keys();
}

} // namespace

void TestFileServices::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
}

void TestFileServices::realConditionsCarryTheirNumbers()
{
    tktest::writeFile(at("folder/page.htm"), "<p>hello</p>");
    QCOMPARE(files::fileLength(at("folder/page.htm")), 12);
    QCOMPARE(failureNumberOf([&] { files::fileLength(at("folder/none.htm")); }), 53);
    QCOMPARE(failureNumberOf([&] { files::fileLength(at("none/page.htm")); }), 76);
    QCOMPARE(failureNumberOf([&] { files::fileLength(at("folder/page.htm/x")); }), 76);
    QCOMPARE(failureNumberOf([&] { files::readWholeFile(at("folder/none.htm")); }), 53);

    QCOMPARE(failureNumberOf([&] { files::makeFolder(at("folder/new")); }), 0);
    QVERIFY(QFileInfo(at("folder/new")).isDir());
    QCOMPARE(failureNumberOf([&] { files::makeFolder(at("folder/new")); }), 75);
    QCOMPARE(failureNumberOf([&] { files::makeFolder(at("folder/page.htm")); }), 75);
    QCOMPARE(failureNumberOf([&] { files::makeFolder(at("none/new")); }), 76);

    QCOMPARE(failureNumberOf([&] { files::renameReplacing(at("folder/none"), at("x")); }), 53);
}

void TestFileServices::onlyPlainFilesAreRead()
{
#ifdef Q_OS_UNIX
    QVERIFY(::mkfifo(QFile::encodeName(at("pipe.htm")).constData(), 0644) == 0);
    // Read as a page, a pipe would wait for a writer for ever.
    QCOMPARE(failureNumberOf([&] { files::readWholeFile(at("pipe.htm")); }), 57);
    QCOMPARE(failureNumberOf([&] { files::readWholeFile("/dev/zero"); }), 57);
#else
    QSKIP("pipes and devices have no names in a folder on Windows");
#endif
}

void TestFileServices::makeMaster()
{
    tktest::writeFile(at("master/index.htm"), "home");
    tktest::writeFile(at("master/topic1.HTML"), "topic");
    tktest::writeFile(at("master/.hidden"), "dot");
    tktest::writeFile(at("master/images/logo.gif"), "gif");
    tktest::writeFile(at("master/images/deep/deeper/star.png"), "png");
    tktest::writeFile(at("master/writing/story.htm"), "story");
    QDir().mkpath(at("master/empty"));
    QDir().mkpath(at("student"));
}

void TestFileServices::copyTakesEveryFolderThenEveryFile()
{
    makeMaster();
    copyFolderContents(at("master"), at("student"));
    QCOMPARE(tktest::snapshot(at("student")), tktest::snapshot(at("master")));

    // Folders come first: a failure at the first file leaves them all whole.
    QDir(at("student")).removeRecursively();
    QDir().mkpath(at("student"));
#ifdef Q_OS_WIN
    // Windows' own copy opens the template's file.
    faults::failOn(SystemCall::CopyData, EIO, "student/index.htm");
#else
    faults::failOn(SystemCall::Open, EIO, "master/index.htm");
#endif
    QCOMPARE(failureNumberOf([&] { copyFolderContents(at("master"), at("student")); }), 57);
    const QStringList copied = tree(at("student"));
    for (const char* entry :
         {"empty", "images", "images/deep", "images/deep/deeper", "images/deep/deeper/star.png",
          "images/logo.gif", "writing", "writing/story.htm"})
        QVERIFY2(copied.contains(entry), qPrintable(entry));
    QVERIFY(!copied.contains("index.htm"));
}

void TestFileServices::copyKeepsLinksAsLinksAndSkipsPipes()
{
#ifdef Q_OS_WIN
    QSKIP("A Windows template holds shortcuts (.lnk), plain files that are copied as such; "
          "symbolic links need administrator rights to make and are not tested here");
#endif
    tktest::writeFile(at("outside/secret.txt"), "secret");
    tktest::writeFile(at("master/index.htm"), "home");
    QDir().mkpath(at("master/images"));
    QVERIFY(QFile::link(at("outside"), at("master/images/outside-folder")));
    QVERIFY(QFile::link(at("outside/secret.txt"), at("master/shortcut.txt")));
#ifdef Q_OS_UNIX
    QVERIFY(::mkfifo(QFile::encodeName(at("master/images/pipe")).constData(), 0644) == 0);
#endif
    QDir().mkpath(at("student"));

    copyFolderContents(at("master"), at("student"));

    QCOMPARE(QFileInfo(at("student/images/outside-folder")).symLinkTarget(),
             QFileInfo(at("outside")).absoluteFilePath());
    QCOMPARE(QFileInfo(at("student/shortcut.txt")).symLinkTarget(),
             QFileInfo(at("outside/secret.txt")).absoluteFilePath());
    QVERIFY(!QFileInfo::exists(at("student/images/pipe")));
    QCOMPARE(tree(at("outside")), QStringList{"secret.txt"});
}

void TestFileServices::copyNeverWritesThroughAnExistingName()
{
    tktest::writeFile(at("master/index.htm"), "new home");
    tktest::writeFile(at("master/images/logo.gif"), "new gif");
    tktest::writeFile(at("outside.gif"), "not ours");
    QDir().mkpath(at("student/images"));
    QVERIFY(QFile::link(at("outside.gif"), at("student/images/logo.gif")));

    QCOMPARE(failureNumberOf([&] { copyFolderContents(at("master"), at("student")); }), 75);
    QCOMPARE(tktest::readFile(at("outside.gif")), QByteArray("not ours"));
}

void TestFileServices::foldersWithoutSubfolderOrFile()
{
    tktest::writeFile(at("flat/index.htm"), "home");
    QDir().mkpath(at("onlyfolders/images"));
    QDir().mkpath(at("student"));
    QCOMPARE(failureNumberOf([&] { copyFolderContents(at("flat"), at("student")); }), 76);
    QVERIFY(tree(at("student")).isEmpty());
    QCOMPARE(failureNumberOf([&] { copyFolderContents(at("none"), at("student")); }), 76);
    QCOMPARE(failureNumberOf([&] { copyFolderContents(at("onlyfolders"), at("student")); }), 53);
    QCOMPARE(tree(at("student")), QStringList{"images"});
}

// Injected: as root, no permission denies anything.
void TestFileServices::everyEntryThatCannotBeCopiedIsAFailure_data()
{
    QTest::addColumn<int>("call");
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("copyRefusal"); // the system's copy refused first, where it has one
    const struct
    {
        const char* name;
        SystemCall call;
        const char* path;
        int error;
        int number;
        int copyRefusal = 0;
    } cases[] =
    { {"subfolder that may not be listed", SystemCall::ListFolder, "master/images", EACCES, 75},
      {"entry whose type cannot be read", SystemCall::Inspect, "images/logo.gif", EACCES, 75},
      {"entry gone while listed", SystemCall::Inspect, "images/logo.gif", ENOENT, 53},
#ifndef Q_OS_WIN
      {"file that may not be opened", SystemCall::Open, "master/writing/story.htm", EACCES, 75},
      {"file that cannot be read", SystemCall::Read, "master/writing/story.htm", EIO, 57, EXDEV},
      {"disk full", SystemCall::Write, "student/writing/story.htm", ENOSPC, 61, EOPNOTSUPP},
#endif
#if defined(Q_OS_LINUX) || defined(Q_OS_WIN)
      {"file the system fails to copy", SystemCall::CopyData, "student/writing/story.htm", EIO, 57},
      {"disk full in the system's copy", SystemCall::CopyData, "student/writing/story.htm", ENOSPC,
       61},
#endif
      {"folder that cannot be made", SystemCall::MakeFolder, "student/writing", ENOSPC, 61},
      {"deferred write error", SystemCall::Close, "student/writing/story.htm", EIO, 57},
    };
    for (const auto& c : cases)
        QTest::newRow(c.name) << int(c.call) << QString(c.path) << c.error << c.number
                              << c.copyRefusal;
}

void TestFileServices::everyEntryThatCannotBeCopiedIsAFailure()
{
    QFETCH(int, call);
    QFETCH(QString, path);
    QFETCH(int, error);
    QFETCH(int, number);
    QFETCH(int, copyRefusal);
    makeMaster();
    if (copyRefusal)
        faults::failAlways(SystemCall::CopyData, copyRefusal);
    faults::failOn(SystemCall(call), error, path);
    QCOMPARE(failureNumberOf([&] { copyFolderContents(at("master"), at("student")); }), number);
}

// Some file systems (or pairs of them) have no copy of their own.
void TestFileServices::copyReadsAndWritesWhereTheSystemCannotCopy_data()
{
    QTest::addColumn<int>("refusal");
    QTest::newRow("across file systems") << EXDEV;
    QTest::newRow("invalid here") << EINVAL;
    QTest::newRow("not supported") << EOPNOTSUPP;
    QTest::newRow("older kernel") << ENOSYS;
}

void TestFileServices::copyReadsAndWritesWhereTheSystemCannotCopy()
{
#ifndef Q_OS_LINUX
    QSKIP("only Linux's copy falls back to reading and writing");
#endif
    QFETCH(int, refusal);
    makeMaster();
    tktest::writeFile(at("master/empty.htm"), "");
    faults::failAlways(SystemCall::CopyData, refusal);
    copyFolderContents(at("master"), at("student"));
    QCOMPARE(tktest::snapshot(at("student")), tktest::snapshot(at("master")));
}

void TestFileServices::removingAFolderNeverReachesThroughALink()
{
    tktest::writeFile(at("outside/keep.txt"), "keep");
    tktest::writeFile(at("made/images/logo.gif"), "gif");
    QVERIFY(QFile::link(at("outside"), at("made/images/outside")));
    files::removeFolderTree(at("made"));
    QVERIFY(!QFileInfo::exists(at("made")));
    QCOMPARE(tktest::readFile(at("outside/keep.txt")), QByteArray("keep"));
}

void TestFileServices::folderNamesAgreeWithTheFileSystem_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("listingFails"); // errno, or 0
    QTest::addColumn<bool>("holds");
    QTest::newRow("listed") << "class"
                            << "lee_jo" << 0 << true;
    QTest::newRow("a file") << "class"
                            << "notes.txt" << 0 << true;
    QTest::newRow("not listed") << "class"
                                << "lee_ann" << 0 << false;
    QTest::newRow("listed, not ASCII") << "class"
                                       << "dvořák_ayşe" << 0 << true;
    // Found by the listing, decided by the file system: only Windows ignores case.
#ifdef Q_OS_WIN
    QTest::newRow("listed under another case") << "class"
                                               << "ng_an" << 0 << true;
#else
    QTest::newRow("listed under another case") << "class"
                                               << "ng_an" << 0 << false;
#endif
    QTest::newRow("no such folder") << "none"
                                    << "lee_jo" << 0 << false;
    QTest::newRow("a file for a folder") << "class/notes.txt"
                                         << "lee_jo" << 0 << false;
    QTest::newRow("folder that may not be listed") << "class"
                                                   << "lee_jo" << EACCES << true;
    QTest::newRow("nothing in a folder that may not be listed") << "class"
                                                                << "lee_ann" << EACCES << false;
}

void TestFileServices::folderNamesAgreeWithTheFileSystem()
{
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QFETCH(int, listingFails);
    QFETCH(bool, holds);
    QVERIFY(QDir().mkpath(at("class/lee_jo")));
    QVERIFY(QDir().mkpath(at("class/Ng_An")));
    QVERIFY(QDir().mkpath(at("class/dvořák_ayşe")));
    tktest::writeFile(at("class/notes.txt"), "notes");
    if (listingFails != 0)
        faults::failOn(SystemCall::ListFolder, listingFails, folder);
    files::FolderListings listings;
    listings.begin(at(folder));
    QCOMPARE(listings.holds(at(folder), name), holds);
}

void TestFileServices::findsTheProgramFolderInEveryFormOfItsPath_data()
{
    QTest::addColumn<QString>("programPath");
    QTest::addColumn<QString>("folder");
    QTest::newRow("drive") << "C:\\intranet\\tkaddstudent.exe"
                           << "C:/intranet";
    QTest::newRow("drive root") << "S:\\tkaddstudent.exe"
                                << "S:/";
    QTest::newRow("share") << "\\\\srv\\share\\intranet\\tkaddstudent.exe"
                           << "//srv/share/intranet";
    QTest::newRow("long drive path") << "\\\\?\\C:\\intranet\\tkaddstudent.exe"
                                     << "C:/intranet";
    QTest::newRow("long share path") << "\\\\?\\UNC\\srv\\share\\intranet\\tkaddstudent.exe"
                                     << "//srv/share/intranet";
    QTest::newRow("share as Wine gives it") << "UNC\\srv\\share\\intranet\\tkaddstudent.exe"
                                            << "//srv/share/intranet";
    QTest::newRow("Linux") << "/srv/intranet/tkaddstudent"
                           << "/srv/intranet";
}

void TestFileServices::findsTheProgramFolderInEveryFormOfItsPath()
{
    QFETCH(QString, programPath);
    QFETCH(QString, folder);
    QCOMPARE(folderOfProgramPath(programPath), folder);
}

QTEST_GUILESS_MAIN(TestFileServices)
#include "TestFileServices.moc"
