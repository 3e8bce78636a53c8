#pragma once

#include "enrol/Enrolment.h"
#include "enrol/Student.h"
#include "register/SiteFiles.h"

#include <QByteArray>
#include <QMap>
#include <QRegularExpression>
#include <QString>
#include <QTemporaryDir>

namespace tktest {

// Writes `bytes` to `path`, making the folders on the way.
void writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);
// Every file and folder under `root` with its bytes: compare two snapshots to
// prove that nothing was touched.
QMap<QString, QByteArray> snapshot(const QString& root);
// A register of `rows` students over `years` years and `classes` classes.
QByteArray registerOf(int rows, int years, int classes);
// An HTML page of exactly `size` bytes.
QByteArray pageOfSize(int size);

// `text` with the random part of every folder name under construction as
// "XXXXXX", so that a message can be compared letter for letter.
inline QString withoutRandomPart(QString text)
{
    static const QRegularExpression randomPart(QStringLiteral("\\.~[0-9a-z]{6}"));
    return text.replace(randomPart, QStringLiteral(".~XXXXXX"));
}

// Students of Year 7 from rows "surname|given name|class", numbered by the
// lines of a list from line 2; a row that is refused stops the test program.
inline QList<tk::Enrolee> enrolees(const tk::SiteData& site, const QStringList& rows);

// " Van der Berg", "Anna Maria " of Year 7, class 7A, as typed with stray blanks.
inline tk::StudentInputs annaMaria()
{
    tk::StudentInputs typed;
    typed.surname = QStringLiteral(" Van der Berg");
    typed.givenName = QStringLiteral("Anna Maria ");
    typed.year = QStringLiteral("Year 7");
    typed.className = QStringLiteral("7A");
    return typed;
}

// A small but complete intranet in a temporary folder: settings, register,
// master template with two subfolders and two files, classes 7A and 7B of Year 7.
class Intranet
{
public:
    Intranet();

    QString root() const; // "/" separators, as every path inside the program
    QString path(const QString& relative) const;
    QString masterFolder() const { return path(QStringLiteral("2026/masterstudent")); }
    QString classFolder(const QString& year, const QString& className) const;
    void writeRegister(const QByteArray& bytes);
    tk::SiteData load() const;

private:
    QTemporaryDir m_dir;
};

inline QList<tk::Enrolee> enrolees(const tk::SiteData& site, const QStringList& rows)
{
    QList<tk::Enrolee> list;
    int line = 2;
    for (const QString& row : rows) {
        const QStringList f = row.split(QLatin1Char('|'));
        tk::StudentInputs typed = annaMaria();
        typed.surname = f[0];
        typed.givenName = f[1];
        typed.className = f[2];
        QString refusal;
        const std::optional<tk::Student> student = tk::Student::from(typed, site, &refusal);
        if (!student)
            qFatal("refused: %s", qPrintable(refusal));
        list.append({line++, *student});
    }
    return list;
}

} // namespace tktest
