#include "TestSupport.h"

#include "app/Form1.h"
#include "app/StartUp.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QtTest>

#include <algorithm>
#include <iostream>
#include <memory>
#include <sstream>

using namespace tk;

namespace {

// Everything written to std::cerr while it lives.
class CapturedStandardError
{
public:
    CapturedStandardError()
        : m_previous(std::cerr.rdbuf(m_text.rdbuf()))
    {
    }
    ~CapturedStandardError() { std::cerr.rdbuf(m_previous); }
    CapturedStandardError(const CapturedStandardError&) = delete;
    CapturedStandardError& operator=(const CapturedStandardError&) = delete;

    QString text() const { return QString::fromLocal8Bit(m_text.str().c_str()); }

private:
    std::ostringstream m_text;
    std::streambuf* m_previous;
};

bool aWindowIsShown()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(), [](QWidget* window) {
        return qobject_cast<Form1*>(window) && window->isVisible();
    });
}

QByteArray recordsWithYears(int records, int distinctYears)
{
    QByteArray text;
    for (int i = 0; i < records; ++i)
        text += "Name " + QByteArray::number(i) + ",folder" + QByteArray::number(i) + ",7A,Year "
            + QByteArray::number(i % distinctYears) + "\r\n";
    return text;
}

const QByteArray goodSettings = "\"Our School\",2026\r\n";
const QByteArray goodRegister = "Adams Ben,adams_ben,8B,Year 8\r\n"
                                "Lee Kim,lee_kim,7A,Year 7\r\n"
                                "Moss Al,moss_al,8B,Year 8\r\n"
                                "Nye Jo,nye_jo,7C,Year 7\r\n";

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void failureIsReportedOnce_data();
    void failureIsReportedOnce();
    void failedStartEndsWithFailureStatus();
    void goodFolderLoads();

private:
    QString writeFolder(const QByteArray* settings, const QByteArray* shortcutRegister);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestStartup::init()
{
    MessageBox::clearShown();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestStartup::cleanup()
{
    MessageBox::clearShown();
    m_dir.reset();
}

// A file given as nullptr is left out of the folder.
QString TestStartup::writeFolder(const QByteArray* settings, const QByteArray* shortcutRegister)
{
    if (settings)
        tktest::writeFile(m_dir->filePath(settingsFileName), *settings);
    if (shortcutRegister)
        tktest::writeFile(m_dir->filePath(registerFileName), *shortcutRegister);
    return QDir::toNativeSeparators(m_dir->path());
}

void TestStartup::failureIsReportedOnce_data()
{
    QTest::addColumn<bool>("hasSettings");
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<bool>("hasRegister");
    QTest::addColumn<QByteArray>("shortcutRegister");
    QTest::addColumn<QString>("fileNamed");

    const QByteArray none;
    QTest::newRow("no settings file") << false << none << true << goodRegister << settingsFileName;
    QTest::newRow("no register file") << true << goodSettings << false << none << registerFileName;
    QTest::newRow("neither file") << false << none << false << none << settingsFileName;
    QTest::newRow("settings without a year")
        << true << QByteArray("\"Our School\"\r\n") << true << goodRegister << settingsFileName;
    QTest::newRow("empty settings") << true << QByteArray() << true << goodRegister
                                    << settingsFileName;
    QTest::newRow("register cut short")
        << true << goodSettings << true << QByteArray("Adams Ben,adams_ben,8B\r\n")
        << registerFileName;
    QTest::newRow("register ending in an empty line")
        << true << goodSettings << true << goodRegister + "\r\n" << registerFileName;
    QTest::newRow("1501 records") << true << goodSettings << true << recordsWithYears(1501, 3)
                                  << registerFileName;
    QTest::newRow("101 years") << true << goodSettings << true << recordsWithYears(101, 101)
                               << registerFileName;
}

void TestStartup::failureIsReportedOnce()
{
    QFETCH(bool, hasSettings);
    QFETCH(QByteArray, settings);
    QFETCH(bool, hasRegister);
    QFETCH(QByteArray, shortcutRegister);
    QFETCH(QString, fileNamed);
    const QString folder =
        writeFolder(hasSettings ? &settings : nullptr, hasRegister ? &shortcutRegister : nullptr);
    const QMap<QString, QByteArray> before = tktest::snapshot(m_dir->path());

    MessageBox::setNextAnswer(Answer::Ok);
    std::optional<SiteData> site;
    QString standardError;
    {
        CapturedStandardError captured;
        site = loadSiteOrReport(folder);
        standardError = captured.text();
    }

    QVERIFY(!site);
    QCOMPARE(MessageBox::shown().size(), 1);
    const MessageBox::Shown box = MessageBox::shown().first();
    QCOMPARE(box.style, MessageStyle::Error);
    QCOMPARE(box.title, startupFailureTitle);
    QVERIFY2(box.text.contains(fileNamed), qPrintable(box.text));
    QCOMPARE(standardError.trimmed(), box.text.trimmed());
    QVERIFY(!aWindowIsShown());
    QCOMPARE(tktest::snapshot(m_dir->path()), before);
}

void TestStartup::failedStartEndsWithFailureStatus()
{
    const QString folder = writeFolder(&goodSettings, nullptr);
    const QMap<QString, QByteArray> before = tktest::snapshot(m_dir->path());
    MessageBox::setNextAnswer(Answer::Ok);
    int status = 0;
    {
        CapturedStandardError captured;
        status = runProgram(folder);
        QVERIFY(captured.text().contains(registerFileName));
    }
    QCOMPARE(status, startupFailureStatus);
    QCOMPARE(startupFailureStatus, 1);
    QCOMPARE(MessageBox::shown().size(), 1);
    QVERIFY(!aWindowIsShown());
    QCOMPARE(tktest::snapshot(m_dir->path()), before);
}

void TestStartup::goodFolderLoads()
{
    const QString folder = writeFolder(&goodSettings, &goodRegister);
    std::optional<SiteData> site;
    {
        CapturedStandardError captured;
        site = loadSiteOrReport(folder);
        QVERIFY(captured.text().isEmpty());
    }
    QVERIFY(site);
    QVERIFY(MessageBox::shown().isEmpty());
    QCOMPARE(site->appFolder, folder);
    QCOMPARE(site->settings.structureYear, qint16(2026));
    QCOMPARE(site->shortcuts.rowCount(), 4);
    QCOMPARE(site->shortcuts.YearList, (QStringList{"Year 8", "Year 7"}));
    QCOMPARE(site->shortcuts.ClassList, (QStringList{"8B", "7A", "7C"}));

    // The window built from it offers exactly those, sorted.
    Form1 window(*site);
    window.start();
    auto* years = window.findChild<QComboBox*>(QStringLiteral("Combo1"));
    auto* classes = window.findChild<QComboBox*>(QStringLiteral("Combo2"));
    QVERIFY(years && classes);
    QCOMPARE(years->count(), 2);
    QCOMPARE(years->itemText(0), QStringLiteral("Year 7"));
    QCOMPARE(classes->count(), 3);
    QCOMPARE(classes->itemText(0), QStringLiteral("7A"));
    QVERIFY(aWindowIsShown());
}

QTEST_MAIN(TestStartup)
#include "TestStartup.moc"
