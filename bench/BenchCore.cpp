#include "create/HomePage.h"
#include "create/TemplateCopy.h"
#include "platform/FileServices.h"
#include "register/RegisterUpdate.h"
#include "register/SiteFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace tk;

// The largest register the program accepts, a long minified home page and a
// template of a few hundred files: the sizes a big school reaches.
class BenchCore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void loadFullRegister();
    void writeFullRegisterText();
    void updateFullRegisterOnDisk();
    void personaliseLargePage();
    void copyTemplate();

private:
    void write(const QString& relative, const QByteArray& bytes);
    QString at(const QString& relative) const { return QDir::toNativeSeparators(m_dir.filePath(relative)); }

    QTemporaryDir m_dir;
    ShortcutRegister m_register;
};

void BenchCore::write(const QString& relative, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(at(relative)).absolutePath());
    QFile file(at(relative));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

void BenchCore::initTestCase()
{
    QByteArray dat;
    for (int i = 0; i < maxRegisterRows; ++i)
        dat += "Student " + QByteArray::number(100000 + i) + ",student_" + QByteArray::number(i)
            + ",C" + QByteArray::number(i % 90) + ",Year " + QByteArray::number(i % 12) + "\r\n";
    write("tkshrtct.dat", dat);
    write("tkshrtct.ini", "Bench,2026\r\n");
    m_register = LoadRegister(m_dir.path());
    for (int folder = 0; folder < 20; ++folder)
        for (int file = 0; file < 20; ++file)
            write(QStringLiteral("master/f%1/page%2.htm").arg(folder).arg(file), QByteArray(4096, 'x'));
    write("master/index.htm", QByteArray(200, 'x'));
}

void BenchCore::loadFullRegister()
{
    QBENCHMARK {
        LoadRegister(m_dir.path());
    }
}

void BenchCore::writeFullRegisterText()
{
    const RegisterRecord record{"Middle Name", "middle_name", "C1", "Year 1"};
    QBENCHMARK {
        registerTextWith(m_register, record);
    }
}

void BenchCore::updateFullRegisterOnDisk()
{
    const RegisterRecord record{"Middle Name", "middle_name", "C1", "Year 1"};
    QBENCHMARK {
        UpdateRegister(m_dir.path(), m_register, record);
    }
}

void BenchCore::personaliseLargePage()
{
    QByteArray page;
    while (page.size() < 4 * 1024 * 1024)
        page += "<p class=\"x\">Welcome, New Student, to your page.</p>\r\n";
    QBENCHMARK {
        personalisedPage(page, "Anna Maria Van der Berg");
    }
}

void BenchCore::copyTemplate()
{
    int run = 0;
    QBENCHMARK {
        const QString student = at(QStringLiteral("students/s%1").arg(run++));
        QDir().mkpath(student);
        tk::copyTemplate(at("master"), student);
    }
}

QTEST_GUILESS_MAIN(BenchCore)
#include "BenchCore.moc"
