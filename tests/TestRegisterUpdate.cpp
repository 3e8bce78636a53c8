#include "TestSupport.h"

#include "platform/FaultInjection.h"
#include "platform/FileServices.h"
#include "platform/NumberedFailure.h"
#include "register/RegisterUpdate.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

#include <cerrno>

using namespace tk;
using tktest::Intranet;

class TestRegisterUpdate : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { faults::clear(); }
    void insertsInOrder_data();
    void insertsInOrder();
    void replacesTheRegisterKeepingOneGeneration_data();
    void replacesTheRegisterKeepingOneGeneration();
    void everyInterruptedStepLeavesACompleteRegister_data();
    void everyInterruptedStepLeavesACompleteRegister();
    void copiesTheBackupWhereHardLinksAreRefused();
    void fullDeviceIsReportedAsDiskFull();
    void fullFileSystemLeavesTheRegisterWhole();
};

namespace {

const QByteArray startRegister = "Adams Ben,adams_ben,7A,Year 7\r\n"
                                 "\"Lee, Kim\" , lee_kim ,7B,  Year 7\r\n"
                                 "zz9,zed_zoe,7A,Year 7";

RegisterRecord record(const QString& accountName)
{
    return {accountName, QStringLiteral("new_folder"), QStringLiteral("7A"),
            QStringLiteral("Year 7")};
}

QByteArray expectedAfterInsert()
{
    return "Adams Ben,adams_ben,7A,Year 7\r\n"
           "Kim Lee,new_folder,7A,Year 7\r\n"
           "\"Lee, Kim\",lee_kim,7B,Year 7\r\n"
           "zz9,zed_zoe,7A,Year 7\r\n";
}

struct Step
{
    FileOp op;
    int occurrence;
};

} // namespace

void TestRegisterUpdate::insertsInOrder_data()
{
    QTest::addColumn<QStringList>("accounts");
    QTest::addColumn<QString>("newAccount");
    QTest::addColumn<int>("position");
    const QStringList sorted{"Brown Al", "Kovacs Eva", "Smith Jo"};
    QTest::newRow("first") << sorted << "Adams Ben" << 0;
    QTest::newRow("last") << sorted << "Young Sam" << 3;
    QTest::newRow("middle") << sorted << "Lee Kim" << 2;
    QTest::newRow("empty register") << QStringList() << "Lee Kim" << 0;
    QTest::newRow("equal ignoring case goes first") << sorted << "KOVACS EVA" << 1;
    QTest::newRow("lower case sorts as upper") << sorted << "cole Max" << 1;
    QTest::newRow("prefix sorts first") << sorted << "Smith" << 2;
    QTest::newRow("blank before letters") << QStringList{"SmithA", "Smith B"} << "Smith C" << 0;
    QTest::newRow("digits before letters") << QStringList{"jsmith", "js9"} << "js1" << 0;
    QTest::newRow("unsorted: before first row not before it")
        << QStringList{"Cole", "Adams", "Zed"} << "Brown" << 0;
    QTest::newRow("unsorted: rows after the insert are not compared")
        << QStringList{"Adams", "Zed", "Brown"} << "Cole" << 1;
}

void TestRegisterUpdate::insertsInOrder()
{
    QFETCH(QStringList, accounts);
    QFETCH(QString, newAccount);
    QFETCH(int, position);
    ShortcutRegister shortcuts;
    for (const QString& account : accounts)
        shortcuts.rows.append({account, "f", "c", "y"});

    const QStringList lines = QString::fromUtf8(registerTextWith(shortcuts, record(newAccount)))
                                  .split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), accounts.size() + 2); // a CR LF after every line
    QCOMPARE(lines.last(), QString());
    QCOMPARE(lines.at(position), record(newAccount).text());
    QStringList others = lines.mid(0, lines.size() - 1);
    others.removeAt(position);
    for (int i = 0; i < accounts.size(); ++i)
        QCOMPARE(others.at(i), accounts.at(i) + ",f,c,y");
}

void TestRegisterUpdate::replacesTheRegisterKeepingOneGeneration_data()
{
    QTest::addColumn<QByteArray>("staleOld");
    QTest::addColumn<QByteArray>("staleNew");
    QTest::newRow("first update") << QByteArray() << QByteArray();
    QTest::newRow("older generation and failed run left behind")
        << QByteArray("ancient\r\n") << QByteArray("half a register");
}

void TestRegisterUpdate::replacesTheRegisterKeepingOneGeneration()
{
    QFETCH(QByteArray, staleOld);
    QFETCH(QByteArray, staleNew);
    Intranet intranet;
    intranet.writeRegister(startRegister);
    if (!staleOld.isEmpty())
        tktest::writeFile(intranet.path("tkshrtct.old"), staleOld);
    if (!staleNew.isEmpty())
        tktest::writeFile(intranet.path("tkshrtct.new"), staleNew);
    const SiteData site = intranet.load();

    UpdateRegister(site.appFolder, site.shortcuts, record("Kim Lee"));

    QCOMPARE(tktest::readFile(intranet.path("tkshrtct.dat")), expectedAfterInsert());
    QCOMPARE(tktest::readFile(intranet.path("tkshrtct.old")), startRegister);
    QVERIFY(!QFile::exists(intranet.path("tkshrtct.new")));
    // What was written must read back as the same rows plus the new one.
    QCOMPARE(intranet.load().shortcuts.rowCount(), site.shortcuts.rowCount() + 1);
}

void TestRegisterUpdate::everyInterruptedStepLeavesACompleteRegister_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("number");
    const struct
    {
        const char* name;
        FileOp op;
        int error;
        int number;
    } steps[] = {
        {"open new", FileOp::Open, EACCES, FailureNumber::PathFileAccess},
        {"write", FileOp::Write, ENOSPC, FailureNumber::DiskFull},
        {"flush", FileOp::Flush, EIO, FailureNumber::DeviceIoError},
        {"fsync", FileOp::Sync, EIO, FailureNumber::DeviceIoError},
        {"close", FileOp::Close, EFBIG, FailureNumber::DiskFull},
        {"remove old", FileOp::Remove, EBUSY, FailureNumber::PathFileAccess},
        {"link old", FileOp::Link, ENOENT, FailureNumber::FileNotFound},
        {"rename", FileOp::Rename, EROFS, FailureNumber::PathFileAccess},
        {"fsync folder", FileOp::SyncFolder, EIO, FailureNumber::DeviceIoError},
    };
    for (const auto& step : steps)
        QTest::newRow(step.name) << int(step.op) << step.error << step.number;
}

void TestRegisterUpdate::everyInterruptedStepLeavesACompleteRegister()
{
    QFETCH(int, op);
    QFETCH(int, error);
    QFETCH(int, number);
    Intranet intranet;
    intranet.writeRegister(startRegister);
    const SiteData site = intranet.load();

    faults::failOn(FileOp(op), error);
    try {
        UpdateRegister(site.appFolder, site.shortcuts, record("Kim Lee"));
        QFAIL("the update did not fail");
    } catch (const NumberedFailure& failure) {
        QCOMPARE(failure.number(), number);
    }
    const QByteArray dat = tktest::readFile(intranet.path("tkshrtct.dat"));
    QVERIFY2(dat == startRegister || dat == expectedAfterInsert(), dat.constData());
    QCOMPARE(files::openFileCount(), 0);
}

void TestRegisterUpdate::copiesTheBackupWhereHardLinksAreRefused()
{
    Intranet intranet;
    intranet.writeRegister(startRegister);
    const SiteData site = intranet.load();
    faults::failOn(FileOp::Link, EPERM); // as on FAT or some network shares

    UpdateRegister(site.appFolder, site.shortcuts, record("Kim Lee"));

    QCOMPARE(tktest::readFile(intranet.path("tkshrtct.old")), startRegister);
    QCOMPARE(tktest::readFile(intranet.path("tkshrtct.dat")), expectedAfterInsert());
    QVERIFY(faults::callCount(FileOp::Sync) >= 2); // the copy is synced as well as the register
}

void TestRegisterUpdate::fullDeviceIsReportedAsDiskFull()
{
    if (!QFile::exists("/dev/full"))
        QSKIP("this system has no /dev/full");
    Intranet intranet;
    intranet.writeRegister(startRegister);
    QVERIFY(QFile::link("/dev/full", intranet.path("tkshrtct.new")));
    const SiteData site = intranet.load();
    try {
        UpdateRegister(site.appFolder, site.shortcuts, record("Kim Lee"));
        QFAIL("writing to a full device succeeded");
    } catch (const NumberedFailure& failure) {
        QCOMPARE(failure.number(), FailureNumber::DiskFull);
    }
    QCOMPARE(tktest::readFile(intranet.path("tkshrtct.dat")), startRegister);
}

void TestRegisterUpdate::fullFileSystemLeavesTheRegisterWhole()
{
    Intranet intranet;
    const QString mountPoint = intranet.path("small");
    QDir().mkpath(mountPoint);
    if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", mountPoint}) != 0)
        QSKIP("cannot mount a small tmpfs here (needs root and mount rights)");
    const auto unmount = qScopeGuard([&] { QProcess::execute("umount", {mountPoint}); });

    // A register of about 40 KiB on a 64 KiB file system: no room for a second copy.
    QByteArray big;
    for (int i = 0; big.size() < 40 * 1024; ++i)
        big += "Student " + QByteArray::number(100000 + i) + ",folder,7A,Year 7\r\n";
    tktest::writeFile(mountPoint + "/tkshrtct.dat", big);
    const ShortcutRegister shortcuts = LoadRegister(mountPoint);
    try {
        UpdateRegister(mountPoint, shortcuts, record("Kim Lee"));
        QFAIL("the update fitted on a full file system");
    } catch (const NumberedFailure& failure) {
        QCOMPARE(failure.number(), FailureNumber::DiskFull);
    }
    QCOMPARE(tktest::readFile(mountPoint + "/tkshrtct.dat"), big);
}

QTEST_GUILESS_MAIN(TestRegisterUpdate)
#include "TestRegisterUpdate.moc"
