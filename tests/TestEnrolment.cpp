#include "FaultInjection.h"
#include "TestSupport.h"

#include "enrol/Enrolment.h"
#include "platform/FileServices.h"
#include "register/RegisterReader.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <cerrno>

using namespace tk;
using faults::SystemCall;
using tktest::Intranet;
using Stop = EnrolmentResult::Stop;

// One enrolment, of one student or of a list: what it leaves on disk and
// what it says happened, whatever fails on the way.
class TestEnrolment : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { faults::clear(); }
    void addsAStudentEndToEnd();
    void rowsAddedSinceStartUpAreKept();
    void theRegisterIsCheckedAgainUnderTheLock_data();
    void theRegisterIsCheckedAgainUnderTheLock();
    void aListThatFailsPartWayRegistersExactlyTheAddedOnes();
    void aRegisterThatCannotBeWrittenLeavesNoFolder();
    void aListCanRunAgain();
    void theFolderIsOnDiskBeforeTheRegisterNamesIt();
    void anUncopiableTemplateIsNeverASuccess();
    void aLockFileThatCannotBeMadeIsAFailureLikeAnyOther();
    void theClassPageIsLinkedOnlyWhenAsked_data();
    void theClassPageIsLinkedOnlyWhenAsked();
    void aClassPageThatCannotBeWrittenUndoesTheStudents_data();
    void aClassPageThatCannotBeWrittenUndoesTheStudents();

private:
    QList<Enrolee> enrolees(const QStringList& rows) const; // surname|given|class
    EnrolmentResult enrol(const QStringList& rows,
                          Enrolment::Repeats repeats = Enrolment::Repeats::Refuse);
    QStringList registeredFolders() const;
    QString folder(const QString& className, const QString& name) const
    {
        return m_intranet->path("2026/Year 7/" + className + "/" + name);
    }

    std::unique_ptr<Intranet> m_intranet;
    SiteData m_site;
};

namespace {

const QByteArray startRegister = "Adams Ben,adams_ben,7A,Year 7\r\n"
                                 "Lee Kim,lee_kim,7B,Year 7\r\n"
                                 "zz9,zed_zoe,7A,Year 7\r\n";

QList<StudentOutcome> outcomes(const EnrolmentResult& result)
{
    QList<StudentOutcome> list;
    for (const StudentReport& report : result.students)
        list << report.outcome;
    return list;
}

} // namespace

void TestEnrolment::init()
{
    m_intranet = std::make_unique<Intranet>();
    m_site = m_intranet->load();
}

QList<Enrolee> TestEnrolment::enrolees(const QStringList& rows) const
{
    return tktest::enrolees(m_site, rows);
}

EnrolmentResult TestEnrolment::enrol(const QStringList& rows, Enrolment::Repeats repeats)
{
    return Enrolment(m_site, enrolees(rows), repeats).run();
}

QStringList TestEnrolment::registeredFolders() const
{
    QStringList folders;
    for (const RegisterRecord& row : loadRegister(m_intranet->root()).rows)
        folders << row.folderName;
    return folders;
}

void TestEnrolment::addsAStudentEndToEnd()
{
    const EnrolmentResult result = enrol({" Van der Berg|Anna Maria |7A"});
    QCOMPARE(result.stop, Stop::None);
    QCOMPARE(outcomes(result), QList<StudentOutcome>{StudentOutcome::Added});

    auto student = tktest::snapshot(folder("7A", "vanderberg_annamaria"));
    auto master = tktest::snapshot(m_intranet->masterFolder());
    QCOMPARE(student.take("index.htm"),
             QByteArray("<html>\r\n<head><title>Anna Maria Van der Berg</title></head>\r\n"
                        "<body><h1>Welcome to the home page of Anna Maria Van der "
                        "Berg.</h1></body>\r\n</html>\r\n"));
    master.remove("index.htm");
    QCOMPARE(student, master);
    QCOMPARE(tktest::readFile(m_intranet->path("tkshrtct.dat")),
             QByteArray("Adams Ben,adams_ben,7A,Year 7\r\n"
                        "Lee Kim,lee_kim,7B,Year 7\r\n"
                        "Van der Berg Anna Maria,vanderberg_annamaria,7A,Year 7\r\n"
                        "zz9,zed_zoe,7A,Year 7\r\n"));
    QCOMPARE(tktest::readFile(m_intranet->path("tkshrtct.old")), startRegister);
    QVERIFY(!QFile::exists(m_intranet->path("tkshrtct.new")));
    QVERIFY(!QFile::exists(m_intranet->path("tkshrtct.lck")));
}

void TestEnrolment::rowsAddedSinceStartUpAreKept()
{
    // Another copy added a student after this one loaded the register.
    m_intranet->writeRegister("Adams Ben,adams_ben,7A,Year 7\r\n"
                              "Kovacs Eva,kovacs_eva,7B,Year 7\r\n"
                              "Lee Kim,lee_kim,7B,Year 7\r\n"
                              "zz9,zed_zoe,7A,Year 7\r\n");
    QCOMPARE(enrol({"Van der Berg|Anna Maria|7A"}).stop, Stop::None);
    QCOMPARE(tktest::readFile(m_intranet->path("tkshrtct.dat")),
             QByteArray("Adams Ben,adams_ben,7A,Year 7\r\n"
                        "Kovacs Eva,kovacs_eva,7B,Year 7\r\n"
                        "Lee Kim,lee_kim,7B,Year 7\r\n"
                        "Van der Berg Anna Maria,vanderberg_annamaria,7A,Year 7\r\n"
                        "zz9,zed_zoe,7A,Year 7\r\n"));
}

void TestEnrolment::theRegisterIsCheckedAgainUnderTheLock_data()
{
    QTest::addColumn<QByteArray>("onDisk");
    QTest::addColumn<int>("stop");
    QTest::addColumn<QString>("problem");
    QTest::newRow("filled up meanwhile")
        << tktest::registerOf(1500, 1, 1) << int(Stop::Refused) << "already holds 1500 students";
    QTest::newRow("years filled up meanwhile")
        << tktest::registerOf(100, 100, 1) << int(Stop::Refused) << "names 100 different years";
    QTest::newRow("the account taken meanwhile")
        << QByteArray("Van der Berg Anna Maria,vanderberg_annamaria,7B,Year 7\r\n")
        << int(Stop::Refused) << "already holds this account name";
    QTest::newRow("the folder registered meanwhile for another account")
        << QByteArray("vdb,vanderberg_annamaria,7A,Year 7\r\n") << int(Stop::Refused)
        << "already names the folder";
    QTest::newRow("gone meanwhile")
        << QByteArray() << int(Stop::RegisterUnreadable) << "The register file could not be found.";
    QTest::newRow("damaged meanwhile") << QByteArray("a,b\r\n") << int(Stop::RegisterUnreadable)
                                       << "Line 1 of the register holds 2 items";
}

void TestEnrolment::theRegisterIsCheckedAgainUnderTheLock()
{
    QFETCH(QByteArray, onDisk);
    QFETCH(int, stop);
    QFETCH(QString, problem);
    if (onDisk.isEmpty())
        QVERIFY(QFile::remove(m_intranet->path("tkshrtct.dat")));
    else
        m_intranet->writeRegister(onDisk);
    const auto before = tktest::snapshot(m_intranet->root());
    const EnrolmentResult result = enrol({"Van der Berg|Anna Maria|7A"});
    QCOMPARE(int(result.stop), stop);
    QVERIFY2(result.problem.contains(problem), qPrintable(result.problem));
    QVERIFY(!result.changedAnything());
    QCOMPARE(tktest::snapshot(m_intranet->root()), before);
}

void TestEnrolment::aListThatFailsPartWayRegistersExactlyTheAddedOnes()
{
    faults::failOn(SystemCall::MakeFolder, ENOSPC, "cole_max");
    const EnrolmentResult result = enrol(
        {"Quorrel|Dravin|7A", "Abel|Mary|7B", "Cole|Max|7A", "Dunn|Cara|7B"});
    QCOMPARE(result.stop, Stop::Failed);
    QCOMPARE(result.failure->number, 61);
    QCOMPARE(outcomes(result),
             (QList<StudentOutcome>{StudentOutcome::Added, StudentOutcome::Added,
                                    StudentOutcome::Failed, StudentOutcome::NotReached}));
    QCOMPARE(registeredFolders(),
             (QStringList{"abel_mary", "adams_ben", "lee_kim", "quorrel_dravin", "zed_zoe"}));
    QVERIFY(result.changedAnything());
    QVERIFY(!QFileInfo::exists(folder("7B", "dunn_cara")));
}

// The folders are complete, but no row names them: they go again, so that
// the same list can simply run again.
void TestEnrolment::aRegisterThatCannotBeWrittenLeavesNoFolder()
{
    faults::failOn(SystemCall::Rename, EACCES, "tkshrtct.new");
    const EnrolmentResult result = enrol({"Quorrel|Dravin|7A", "Abel|Mary|7B"});
    QCOMPARE(result.stop, Stop::Failed);
    QCOMPARE(result.failure->number, 75);
    QCOMPARE(outcomes(result),
             (QList<StudentOutcome>{StudentOutcome::Failed, StudentOutcome::Failed}));
    QCOMPARE(tktest::readFile(m_intranet->path("tkshrtct.dat")), startRegister);
    QVERIFY(!QFileInfo::exists(folder("7A", "quorrel_dravin")));
    QVERIFY(!QFileInfo::exists(folder("7B", "abel_mary")));
    QVERIFY(!result.changedAnything());
}

void TestEnrolment::aListCanRunAgain()
{
    const QStringList list{"Quorrel|Dravin|7A", "Abel|Mary|7B", "Cole|Max|7A"};
    faults::failOn(SystemCall::Write, ENOSPC, "abel_mary");
    QCOMPARE(enrol(list, Enrolment::Repeats::Skip).stop, Stop::Failed);

    const EnrolmentResult rerun = enrol(list, Enrolment::Repeats::Skip);
    QCOMPARE(rerun.stop, Stop::None);
    QCOMPARE(outcomes(rerun),
             (QList<StudentOutcome>{StudentOutcome::AlreadyAdded, StudentOutcome::Added,
                                    StudentOutcome::Added}));
    const QByteArray done = tktest::readFile(m_intranet->path("tkshrtct.dat"));
    QCOMPARE(enrol(list, Enrolment::Repeats::Skip).count(StudentOutcome::AlreadyAdded), 3);
    QCOMPARE(tktest::readFile(m_intranet->path("tkshrtct.dat")), done);
    // A student the register names, whose folder has gone, is no repeat.
    QVERIFY(QDir(folder("7A", "cole_max")).removeRecursively());
    const EnrolmentResult missing = enrol(list, Enrolment::Repeats::Skip);
    QCOMPARE(missing.stop, Stop::Refused);
    QVERIFY(missing.problem.contains("already holds this account name"));
}

void TestEnrolment::theFolderIsOnDiskBeforeTheRegisterNamesIt()
{
    faults::failOn(files::syncsWholeFileSystem ? SystemCall::SyncFileSystem : SystemCall::Sync, EIO,
                   "2026/Year 7/7A");
    const EnrolmentResult result = enrol({"Van der Berg|Anna Maria|7A"});
    QCOMPARE(result.stop, Stop::Failed);
    QCOMPARE(result.failure->number, 57);
    QCOMPARE(tktest::readFile(m_intranet->path("tkshrtct.dat")), startRegister);
    QVERIFY(!QFile::exists(m_intranet->path("tkshrtct.new")));
}

// Injected, since as root nothing is refused: a template subfolder that the
// operator may not list once gave "Success" with an empty copy of it.
void TestEnrolment::anUncopiableTemplateIsNeverASuccess()
{
    faults::failOn(SystemCall::ListFolder, EACCES, "masterstudent/images");
    const EnrolmentResult result = enrol({"Van der Berg|Anna Maria|7A"});
    QCOMPARE(result.stop, Stop::Failed);
    QCOMPARE(result.failure->number, 75);
    QCOMPARE(tktest::readFile(m_intranet->path("tkshrtct.dat")), startRegister);
    QVERIFY(!QFileInfo::exists(folder("7A", "vanderberg_annamaria")));
}

void TestEnrolment::aLockFileThatCannotBeMadeIsAFailureLikeAnyOther()
{
    faults::failOn(SystemCall::Lock, EROFS);
    const auto before = tktest::snapshot(m_intranet->root());
    const EnrolmentResult result = enrol({"Quorrel|Dravin|7A", "Abel|Mary|7B"});
    QCOMPARE(result.stop, Stop::Failed);
    QCOMPARE(result.failure->number, 75);
    QCOMPARE(tktest::snapshot(m_intranet->root()), before);
}

namespace {

const QByteArray listPage = "<ul>\r\n  <li><a href=\"adams_ben/index.htm\">Ben Adams</a></li>\r\n"
                            "  <li><a href=\"lee_kim/index.htm\">Kim Lee</a></li>\r\n"
                            "</ul>\r\n<!-- a class page of more than 100 bytes -->\r\n";

} // namespace

void TestEnrolment::theClassPageIsLinkedOnlyWhenAsked_data()
{
    QTest::addColumn<QByteArray>("settings"); // tkaddstudent.ini; empty: none
    QTest::addColumn<QByteArray>("page");
    QTest::newRow("no settings file") << QByteArray() << listPage;
    QTest::newRow("link=no") << QByteArray("[class pages]\r\nlink=no\r\n") << listPage;
    QTest::newRow("link=yes")
        << QByteArray("[class pages]\r\nlink=yes\r\n")
        << QByteArray(listPage).insert(
               listPage.indexOf("  <li><a href=\"lee"),
               "  <li><a href=\"kovacs_eva/index.htm\">Eva Kovacs</a></li>\r\n");
}

void TestEnrolment::theClassPageIsLinkedOnlyWhenAsked()
{
    QFETCH(QByteArray, settings);
    QFETCH(QByteArray, page);
    if (!settings.isEmpty())
        tktest::writeFile(m_intranet->path("tkaddstudent.ini"), settings);
    tktest::writeFile(m_intranet->path("2026/Year 7/7A/index.htm"), listPage);
    Enrolment enrolment(m_site, enrolees({"Kovacs|Eva|7A"}));
    enrolment.setLinksClassPages(classPageLinksWanted(m_intranet->root()));
    QCOMPARE(enrolment.run().stop, Stop::None);
    QCOMPARE(tktest::readFile(m_intranet->path("2026/Year 7/7A/index.htm")), page);
    QCOMPARE(registeredFolders(), (QStringList{"adams_ben", "kovacs_eva", "lee_kim", "zed_zoe"}));
}

// No folder, no row, and every page as it was, as after any other failure.
void TestEnrolment::aClassPageThatCannotBeWrittenUndoesTheStudents_data()
{
    QTest::addColumn<int>("call");
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("number");
    QTest::newRow("the first page's write") << int(SystemCall::Write) << "7A/index.htm." << 61;
    QTest::newRow("the second page's rename") << int(SystemCall::Rename) << "7B/index.htm." << 75;
    QTest::newRow("the register, after both") << int(SystemCall::Rename) << "tkshrtct.new" << 75;
}

void TestEnrolment::aClassPageThatCannotBeWrittenUndoesTheStudents()
{
    QFETCH(int, call);
    QFETCH(QString, path);
    QFETCH(int, number);
    tktest::writeFile(m_intranet->path("2026/Year 7/7A/index.htm"), listPage);
    tktest::writeFile(m_intranet->path("2026/Year 7/7B/index.htm"), listPage);
    const auto before = tktest::snapshot(m_intranet->root());
    faults::failOn(SystemCall(call), number == 61 ? ENOSPC : EACCES, path);
    Enrolment enrolment(m_site, enrolees({"Quorrel|Dravin|7A", "Abel|Mary|7B"}));
    enrolment.setLinksClassPages(true);
    const EnrolmentResult result = enrolment.run();
    QCOMPARE(result.stop, Stop::Failed);
    QCOMPARE(result.failure->number, number);
    QVERIFY(result.classPages.isEmpty());
    QVERIFY(!result.changedAnything());
    auto after = tktest::snapshot(m_intranet->root());
    // What the register's writer leaves of its own on the way.
    after.remove("tkshrtct.old");
    after.remove("tkshrtct.new");
    QCOMPARE(after, before);
}

QTEST_GUILESS_MAIN(TestEnrolment)
#include "TestEnrolment.moc"
