#include "TestSupport.h"

#include "platform/FaultInjection.h"
#include "platform/FileServices.h"
#include "platform/FolderCopy.h"
#include "platform/NumberedFailure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <cerrno>

using namespace tk;

class TestFileServices : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { faults::clear(); }
    void realConditionsCarryTheirNumbers();
    void copyTakesEveryFolderThenEveryFile();
    void copyKeepsLinksAsLinks();
    void copyReplacesExistingFiles();
    void patternsThatMatchNothing();

private:
    QString at(const QString& relative) const { return QDir::toNativeSeparators(m_dir->filePath(relative)); }
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

void TestFileServices::copyTakesEveryFolderThenEveryFile()
{
    tktest::writeFile(at("master/index.htm"), "home");
    tktest::writeFile(at("master/topic1.HTML"), "topic");
    tktest::writeFile(at("master/.hidden"), "dot");
    tktest::writeFile(at("master/no_extension"), "bare");
    tktest::writeFile(at("master/images/logo.gif"), "gif");
    tktest::writeFile(at("master/images/deep/deeper/star.png"), "png");
    tktest::writeFile(at("master/writing/story.htm"), "story");
    QDir().mkpath(at("master/empty"));
    QDir().mkpath(at("student"));

    FileSystemObject fileSystem;
    fileSystem.CopyFolder(at("master/*"), at("student") + QDir::separator(), true);
    QCOMPARE(tree(at("student")),
             (QStringList{"empty", "images", "images/deep", "images/deep/deeper",
                          "images/deep/deeper/star.png", "images/logo.gif", "writing",
                          "writing/story.htm"}));
    fileSystem.CopyFile(at("master/*"), at("student") + QDir::separator(), true);
    QCOMPARE(tktest::snapshot(at("student")), tktest::snapshot(at("master")));
}

void TestFileServices::copyKeepsLinksAsLinks()
{
    tktest::writeFile(at("outside/secret.txt"), "secret");
    tktest::writeFile(at("master/index.htm"), "home");
    QDir().mkpath(at("master/images"));
    QVERIFY(QFile::link(at("outside"), at("master/images/outside-folder")));
    QVERIFY(QFile::link(at("outside/secret.txt"), at("master/shortcut.txt")));
    QDir().mkpath(at("student"));

    FileSystemObject fileSystem;
    fileSystem.CopyFolder(at("master/*"), at("student"), true);
    fileSystem.CopyFile(at("master/*"), at("student"), true);

    QCOMPARE(QFileInfo(at("student/images/outside-folder")).symLinkTarget(),
             QFileInfo(at("outside")).absoluteFilePath());
    QCOMPARE(QFileInfo(at("student/shortcut.txt")).symLinkTarget(),
             QFileInfo(at("outside/secret.txt")).absoluteFilePath());
}

void TestFileServices::copyReplacesExistingFiles()
{
    tktest::writeFile(at("master/index.htm"), "new home");
    tktest::writeFile(at("master/images/logo.gif"), "new gif");
    tktest::writeFile(at("student/index.htm"), "old");
    tktest::writeFile(at("student/images/logo.gif"), "old");
    tktest::writeFile(at("student/images/mine.gif"), "kept");

    FileSystemObject fileSystem;
    fileSystem.CopyFolder(at("master/*"), at("student"), true);
    fileSystem.CopyFile(at("master/*"), at("student"), true);

    QCOMPARE(tktest::readFile(at("student/index.htm")), QByteArray("new home"));
    QCOMPARE(tktest::readFile(at("student/images/logo.gif")), QByteArray("new gif"));
    QCOMPARE(tktest::readFile(at("student/images/mine.gif")), QByteArray("kept"));
}

void TestFileServices::patternsThatMatchNothing()
{
    tktest::writeFile(at("flat/index.htm"), "home");
    QDir().mkpath(at("onlyfolders/images"));
    QDir().mkpath(at("student"));
    FileSystemObject fileSystem;
    QCOMPARE(failureNumberOf([&] { fileSystem.CopyFolder(at("flat/*"), at("student"), true); }), 76);
    QCOMPARE(failureNumberOf([&] { fileSystem.CopyFile(at("onlyfolders/*"), at("student"), true); }), 53);
    QCOMPARE(failureNumberOf([&] { fileSystem.CopyFolder(at("none/*"), at("student"), true); }), 76);
    QCOMPARE(failureNumberOf([&] { fileSystem.CopyFile(at("flat/*.gif"), at("student"), true); }), 53);
    QVERIFY(tree(at("student")).isEmpty());
}

QTEST_GUILESS_MAIN(TestFileServices)
#include "TestFileServices.moc"
