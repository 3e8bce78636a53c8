#include "TestSupport.h"

#include "lists/StudentListReader.h"

#include <QtTest>

using namespace tk;

// Lists as spreadsheets and people save them.
class TestStudentList : public QObject
{
    Q_OBJECT

private slots:
    void readsListsAsSpreadsheetsWriteThem_data();
    void readsListsAsSpreadsheetsWriteThem();
};

void TestStudentList::readsListsAsSpreadsheetsWriteThem_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QStringList>("students"); // line: surname|given|login|year|class
    QTest::newRow("columns in any order and case")
        << QByteArray("Class,YEAR,Given,Surname,extra\r\n7A,Year 7,Jo,Lee,x\r\n")
        << QStringList{"2: Lee|Jo||Year 7|7A"};
    QTest::newRow("quotes, doubled quotes and a line break")
        << QByteArray(
               "surname,given,year,class,login\n\"Lee, \"\"Jr\"\"\",\"Jo\nAnn\",Year 7,7A,jl\n"
               "Kim,Bo,Year 7,7B,\n")
        << QStringList{"2: Lee, \"Jr\"|Jo\nAnn|jl|Year 7|7A", "4: Kim|Bo||Year 7|7B"};
    QTest::newRow("semicolons, BOM, blank lines")
        << QByteArray(
               "\xEF\xBB\xBFsurname;given;year;class\r\n\r\nM\xC3\xBCller;Zo\xC3\xAB;Year 7;7A\r\n")
        << QStringList{QString::fromUtf8("3: Müller|Zoë||Year 7|7A")};
}

void TestStudentList::readsListsAsSpreadsheetsWriteThem()
{
    QFETCH(QByteArray, csv);
    QFETCH(QStringList, students);
    const StudentList list = readStudentList(csv);
    QVERIFY(list.problems.isEmpty());
    QStringList read;
    for (const ListRow& row : list.rows)
        read << QStringLiteral("%1: %2|%3|%4|%5|%6")
                    .arg(QString::number(row.line), row.inputs.surname, row.inputs.givenName,
                         row.inputs.loginAccount, row.inputs.year, row.inputs.className);
    QCOMPARE(read, students);
}

QTEST_GUILESS_MAIN(TestStudentList)
#include "TestStudentList.moc"
