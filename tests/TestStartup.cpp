#include "ScriptedDialogs.h"
#include "TestSupport.h"

#include "gui/AddStudentWindow.h"
#include "gui/StartUp.h"

#include <QApplication>
#include <QDir>
#include <QtTest>

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

using namespace tk;

namespace {

// Everything written to standard error while it lives, caught where the
// program writes it: the file descriptor.
struct CapturedStandardError
{
    std::FILE* file = std::tmpfile();
    int saved = dup(2);
    CapturedStandardError() { dup2(fileno(file), 2); }
    ~CapturedStandardError()
    {
        dup2(saved, 2);
        close(saved);
        std::fclose(file);
    }
    QString text() const
    {
        std::rewind(file);
        QByteArray bytes;
        for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file))
            bytes += static_cast<char>(c);
        return QString::fromUtf8(bytes);
    }
};

// Counts the program windows shown while it lives, even those closed again.
struct WindowWatch : QObject
{
    int shown = 0;
    WindowWatch() { qApp->installEventFilter(this); }
    bool eventFilter(QObject* object, QEvent* event) override
    {
        shown += event->type() == QEvent::Show && qobject_cast<AddStudentWindow*>(object);
        return false;
    }
};

const QByteArray goodRegister = "Adams Ben,adams_ben,8B,Year 8\r\n"
                                "Lee Kim,lee_kim,7A,Year 7\r\n"
                                "Nye Jo,nye_jo,7C,Year 7\r\n";

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    tktest::ScriptedDialogs m_dialogs;

    // The school's two files, with `brokenFile` left out when `contents` is empty.
    QString writeFolder(const QString& brokenFile = {}, const QByteArray& contents = {})
    {
        tktest::writeFile(m_dir.filePath(settingsFileName), "\"Our School\",2026\r\n");
        tktest::writeFile(m_dir.filePath(registerFileName), goodRegister);
        if (contents.isEmpty())
            QFile::remove(m_dir.filePath(brokenFile));
        else
            tktest::writeFile(m_dir.filePath(brokenFile), contents);
        return QDir::toNativeSeparators(m_dir.path());
    }

private slots:
    void init() { m_dialogs.clear(); }

    void brokenFolderIsReportedOnceAndStopsTheProgram_data()
    {
        QTest::addColumn<QString>("brokenFile");
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("no settings file") << settingsFileName << QByteArray();
        QTest::newRow("no register file") << registerFileName << QByteArray();
        QTest::newRow("register cut short")
            << registerFileName << QByteArray("Adams Ben,adams_ben,8B\r\n");
    }

    void brokenFolderIsReportedOnceAndStopsTheProgram()
    {
        QFETCH(QString, brokenFile);
        QFETCH(QByteArray, contents);
        const QString folder = writeFolder(brokenFile, contents);
        const QMap<QString, QByteArray> before = tktest::snapshot(m_dir.path());
        WindowWatch windows;
        CapturedStandardError standardError;
        QVERIFY(!loadSiteOrReport(folder, m_dialogs));
        QCOMPARE(m_dialogs.shown.size(), 1);
        const tktest::ScriptedDialogs::Shown box = m_dialogs.shown.first();
        QCOMPARE(box.style, MessageStyle::Error);
        QVERIFY2(box.text.contains(brokenFile), qPrintable(box.text));
        // Whoever started the program from a console sees the same report there.
        QCOMPARE(standardError.text().trimmed(), box.text.trimmed());

        QCOMPARE(runProgram(folder, &m_dialogs), 1);
        QCOMPARE(m_dialogs.shown.size(), 2);
        QCOMPARE(windows.shown, 0);
        QCOMPARE(tktest::snapshot(m_dir.path()), before);
    }
};

QTEST_MAIN(TestStartup)
#include "TestStartup.moc"
