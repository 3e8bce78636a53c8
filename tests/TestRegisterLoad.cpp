#include "TestSupport.h"

#include "register/ListItemReader.h"
#include "register/RegisterReader.h"
#include "register/RegisterWriter.h"
#include "register/SiteFiles.h"

#include <QDir>
#include <QtTest>

using namespace tk;
using tktest::Intranet;

class TestRegisterLoad : public QObject
{
    Q_OBJECT

private slots:
    void readsItems_data();
    void readsItems();
    void integerItems_data();
    void integerItems();
    void settings_data();
    void settings();
    void registerLayouts_data();
    void registerLayouts();
    void filesThatStopStartUp_data();
    void filesThatStopStartUp();
    void rowLimit();
    void yearAndClassLimits_data();
    void yearAndClassLimits();
    void listsAreDistinctAfterTrimmingAndCaseSensitive();
    void theRegisterDecidesItsCharacterSet_data();
    void theRegisterDecidesItsCharacterSet();
    void rewriteReadsBackInTheSameEncoding_data();
    void rewriteReadsBackInTheSameEncoding();
    void valuesInReportsAreNotPlaceholders();
};

namespace {

// Reads items until the end; "!" marks an item that could not be completed.
QStringList allItems(const QString& text)
{
    ListItemReader reader(text);
    QStringList items;
    while (!reader.atEnd()) {
        const std::optional<QString> item = reader.readItem();
        items << item.value_or(QStringLiteral("!"));
        if (!item)
            break;
    }
    return items;
}

} // namespace

void TestRegisterLoad::readsItems_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("commas and CR LF") << "a,b\r\nc" << QStringList{"a", "b", "c"};
    QTest::newRow("lone CR and lone LF") << "a\rb\nc" << QStringList{"a", "b", "c"};
    QTest::newRow("record split over lines") << "a,\r\nb" << QStringList{"a", "", "b"};
    QTest::newRow("empty line is one empty item") << "a\r\n\r\nb" << QStringList{"a", "", "b"};
    QTest::newRow("two commas") << "a,,b" << QStringList{"a", "", "b"};
    QTest::newRow("leading blanks skipped, trailing kept") << "  a ,b" << QStringList{"a ", "b"};
    QTest::newRow("tab is content") << "\ta\t,b" << QStringList{"\ta\t", "b"};
    QTest::newRow("quoted comma") << "\"Smith, Jo\",x" << QStringList{"Smith, Jo", "x"};
    QTest::newRow("quoted line break") << "\"a\r\nb\",c" << QStringList{"a\r\nb", "c"};
    QTest::newRow("quote then line end") << "\"a\"\r\nb" << QStringList{"a", "b"};
    QTest::newRow("text after closing quote dropped") << "\"a\" x,b" << QStringList{"a", "b"};
    QTest::newRow("unclosed quote cannot complete") << "a,\"b" << QStringList{"a", "!"};
    QTest::newRow("blanks at the very end cannot complete") << "a\r\n  " << QStringList{"a", "!"};
}

void TestRegisterLoad::readsItems()
{
    QFETCH(QString, text);
    QFETCH(QStringList, items);
    QCOMPARE(allItems(text), items);
}

void TestRegisterLoad::integerItems_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("value");
    QTest::newRow("plain") << "2026"
                           << "2026";
    QTest::newRow("blanks around") << "  2026 "
                                   << "2026";
    QTest::newRow("negative") << "-12"
                              << "-12";
    QTest::newRow("fraction rounds up") << "2025.7"
                                        << "2026";
    QTest::newRow("half rounds to even") << "2025.5"
                                         << "2026";
    QTest::newRow("half rounds to even, down") << "2026.5"
                                               << "2026";
    QTest::newRow("word") << "abc"
                          << "none";
    QTest::newRow("number then word") << "12abc"
                                      << "none";
    QTest::newRow("empty") << ""
                           << "none";
    QTest::newRow("two points") << "1.2.3"
                                << "none";
    QTest::newRow("line end after blanks") << "2026 \n"
                                           << "2026";
}

void TestRegisterLoad::integerItems()
{
    QFETCH(QString, item);
    QFETCH(QString, value);
    const std::optional<double> read = integerItemValue(item);
    QCOMPARE(read ? QString::number(*read) : QStringLiteral("none"), value);
}

void TestRegisterLoad::settings_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<int>("structureYear");
    QTest::newRow("one line") << QByteArray("\"Vesk College\",2026\r\n") << 2026;
    QTest::newRow("two lines, no final line end") << QByteArray("Vesk\r\n2005") << 2005;
    QTest::newRow("further content ignored") << QByteArray("Vesk,2005,junk\r\n\"unclosed") << 2005;
    QTest::newRow("lowest year") << QByteArray("Vesk,-32768\r\n") << -32768;
    QTest::newRow("highest year") << QByteArray("Vesk,32767\r\n") << 32767;
}

void TestRegisterLoad::settings()
{
    QFETCH(QByteArray, ini);
    QFETCH(int, structureYear);
    Intranet intranet;
    tktest::writeFile(intranet.path("tkshrtct.ini"), ini);
    const SiteSettings settings = loadSettings(intranet.root());
    QCOMPARE(int(settings.structureYear), structureYear);
}

void TestRegisterLoad::registerLayouts_data()
{
    QTest::addColumn<QByteArray>("dat");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("years");
    QTest::addColumn<QStringList>("classes");
    QTest::newRow("empty file") << QByteArray() << QStringList() << QStringList() << QStringList();
    const QStringList two{"b,b_x,7B,Year 8", "a,a_y,7A,Year 7"};
    QTest::newRow("final CR LF") << QByteArray("b,b_x,7B,Year 8\r\na,a_y,7A,Year 7\r\n") << two
                                 << QStringList{"Year 8", "Year 7"} << QStringList{"7B", "7A"};
    QTest::newRow("no final CR LF") << QByteArray("b,b_x,7B,Year 8\r\na,a_y,7A,Year 7") << two
                                    << QStringList{"Year 8", "Year 7"} << QStringList{"7B", "7A"};
    QTest::newRow("quoted and spaced")
        << QByteArray("\"Smith, Jo\" , smith_jo,\"7A\",  Year 7  \r\n")
        << QStringList{"\"Smith, Jo\",smith_jo,7A,Year 7"} << QStringList{"Year 7"}
        << QStringList{"7A"};
    // An editor's last empty line, and blank lines anywhere, hold nobody.
    QTest::newRow("blank lines anywhere")
        << QByteArray("\r\nb,b_x,7B,Year 8\r\n\r\n   \r\n\r\na,a_y,7A,Year 7\r\n\r\n") << two
        << QStringList{"Year 8", "Year 7"} << QStringList{"7B", "7A"};
    QTest::newRow("lone LF and lone CR")
        << QByteArray("b,b_x,7B,Year 8\na,a_y,7A,Year 7\r") << two
        << QStringList{"Year 8", "Year 7"} << QStringList{"7B", "7A"};
    QTest::newRow("duplicates kept in order")
        << QByteArray("a,x,7A,Y\r\na,x,7A,Y\r\n") << QStringList{"a,x,7A,Y", "a,x,7A,Y"}
        << QStringList{"Y"} << QStringList{"7A"};
}

void TestRegisterLoad::registerLayouts()
{
    QFETCH(QByteArray, dat);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, years);
    QFETCH(QStringList, classes);
    Intranet intranet;
    intranet.writeRegister(dat);
    const ShortcutRegister shortcuts = loadRegister(intranet.root());
    QStringList texts;
    for (const RegisterRecord& row : shortcuts.rows)
        texts << row.text();
    QCOMPARE(texts, rows);
    QCOMPARE(shortcuts.rowCount(), rows.size());
    QCOMPARE(shortcuts.years, years);
    QCOMPARE(shortcuts.classes, classes);
}

void TestRegisterLoad::filesThatStopStartUp_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("problem");
    const QString ini = "tkshrtct.ini";
    const QString dat = "tkshrtct.dat";
    QTest::newRow("empty settings") << ini << QByteArray() << "ends before the structure year";
    QTest::newRow("settings of one item")
        << ini << QByteArray("Vesk\r\n") << "ends before the structure year";
    QTest::newRow("year above 16 bits")
        << ini << QByteArray("Vesk,32768") << "\"32768\" is too large";
    QTest::newRow("year below 16 bits")
        << ini << QByteArray("Vesk,-32769") << "\"-32769\" is too large";
    QTest::newRow("year not a number")
        << ini << QByteArray("\"Vesk\",abc\r\n")
        << "The structure year \"abc\" is not a number.  The settings file must hold a title and "
           "the year of the structure, for example: \"Intranet\",2026";
    QTest::newRow("settings saved as UTF-16") << ini
                                              << QByteArray("\xFF\xFE\"\0V\0\"\0,\0"
                                                            "2\0"
                                                            "0\0"
                                                            "2\0"
                                                            "6\0",
                                                            18)
                                              << "The settings file is saved as Unicode (UTF-16).";
    QTest::newRow("record cut short")
        << dat << QByteArray("a,b,c,d\r\ne,f,g,h\r\ni,j\r\n")
        << "Line 3 of the register holds 2 items where it must hold four: account name, folder "
           "name, class and year, separated by commas.";
    // Read across the line end, this would shift every student after it.
    QTest::newRow("record split over two lines")
        << dat << QByteArray("a,b,c,d\r\n\r\ne,f\r\ng,h\r\n")
        << "Line 3 of the register holds 2 items";
    QTest::newRow("one item") << dat << QByteArray("a\r\n")
                              << "Line 1 of the register holds 1 item ";
    QTest::newRow("five items") << dat << QByteArray("a,b,c,d\r\ne,f,g,h,\r\n")
                                << "Line 2 of the register holds 5 items";
    QByteArray classesThenCutShort;
    for (int i = 0; i <= maxClasses; ++i)
        classesThenCutShort += "n,f,C" + QByteArray::number(i) + ",Y\r\n";
    QTest::newRow("a class too many, then a line cut short")
        << dat << classesThenCutShort + "i,j\r\n"
        << "Line 102 of the register holds 2 items";
    QTest::newRow("quote never closed")
        << dat << QByteArray("\"a,b,c,d\r\ne,f,g,h\"\r\n")
        << "Line 1 of the register opens a quoted value that it never closes.";
}

void TestRegisterLoad::filesThatStopStartUp()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, problem);
    Intranet intranet;
    tktest::writeFile(intranet.path(file), bytes);
    try {
        intranet.load();
        QFAIL("the site loaded");
    } catch (const StartupError& error) {
        QCOMPARE(error.filePath(), intranet.path(file));
        QVERIFY2(error.problem().contains(problem), qPrintable(error.problem()));
        QVERIFY(error.report().contains(QDir::toNativeSeparators(intranet.path(file))));
    }
}

void TestRegisterLoad::rowLimit()
{
    Intranet intranet;
    intranet.writeRegister(tktest::registerOf(maxRegisterRows, 10, 1));
    QCOMPARE(loadRegister(intranet.root()).rowCount(), maxRegisterRows);

    intranet.writeRegister(tktest::registerOf(maxRegisterRows + 1, 10, 1));
    QVERIFY_THROWS_EXCEPTION(StartupError, loadRegister(intranet.root()));
}

void TestRegisterLoad::yearAndClassLimits_data()
{
    QTest::addColumn<QString>("recordPattern");
    QTest::addColumn<int>("distinct");
    QTest::addColumn<bool>("loads");
    QTest::newRow("100 years") << "n,f,7A,Y%1" << 100 << true;
    QTest::newRow("101 years") << "n,f,7A,Y%1" << 101 << false;
    QTest::newRow("100 classes") << "n,f,C%1,Y" << 100 << true;
    QTest::newRow("101 classes") << "n,f,C%1,Y" << 101 << false;
}

void TestRegisterLoad::yearAndClassLimits()
{
    QFETCH(QString, recordPattern);
    QFETCH(int, distinct);
    QFETCH(bool, loads);
    QByteArray dat;
    for (int i = 0; i < distinct; ++i)
        dat += recordPattern.arg(i).toUtf8() + "\r\n" + recordPattern.arg(0).toUtf8() + "\r\n";
    Intranet intranet;
    intranet.writeRegister(dat);
    if (loads) {
        const ShortcutRegister shortcuts = loadRegister(intranet.root());
        QCOMPARE(shortcuts.years.size() * shortcuts.classes.size(), distinct);
    } else {
        QVERIFY_THROWS_EXCEPTION(StartupError, loadRegister(intranet.root()));
    }
}

void TestRegisterLoad::listsAreDistinctAfterTrimmingAndCaseSensitive()
{
    Intranet intranet;
    intranet.writeRegister("a,f,7A,Year 7\r\nb,f, 7A ,year 7\r\nc,f,7a,  Year 7\r\n");
    const ShortcutRegister shortcuts = loadRegister(intranet.root());
    QCOMPARE(shortcuts.years, (QStringList{"Year 7", "year 7"}));
    QCOMPARE(shortcuts.classes, (QStringList{"7A", "7a"}));
}

void TestRegisterLoad::theRegisterDecidesItsCharacterSet_data()
{
    QTest::addColumn<QByteArray>("dat");
    QTest::addColumn<TextEncoding>("encoding");
    QTest::addColumn<QString>("account");
    QTest::newRow("ASCII") << QByteArray("Lee Kim,l,7A,Y\r\n") << TextEncoding::CodePage
                           << "Lee Kim";
    QTest::newRow("byte-order mark and ASCII")
        << QByteArray("\xEF\xBB\xBFLee Kim,l,7A,Y\r\n") << TextEncoding::CodePage << "Lee Kim";
    QTest::newRow("Latin-1 letter") << QByteArray("M\xFCller,m,7A,Y\r\n") << TextEncoding::CodePage
                                    << QString::fromUtf8("Müller");
    QTest::newRow("UTF-8") << QByteArray("M\xC3\xBCller,m,7A,Y\r\n") << TextEncoding::Utf8
                           << QString::fromUtf8("Müller");
#ifndef Q_OS_WIN
    QTest::newRow("Windows-1252 quote") << QByteArray("O\x92"
                                                      "Brien,o,7A,Y\r\n")
                                        << TextEncoding::CodePage << QString::fromUtf8("O’Brien");
    QTest::newRow("byte Windows-1252 leaves undefined")
        << QByteArray("\x80\x81,o,7A,Y\r\n") << TextEncoding::Latin1
        << QString::fromUtf8("\u0080\u0081");
#endif
}

void TestRegisterLoad::theRegisterDecidesItsCharacterSet()
{
    QFETCH(QByteArray, dat);
    const ShortcutRegister shortcuts = parseRegister(dat, "tkshrtct.dat");
    QTEST(shortcuts.encoding, "encoding");
    QTEST(shortcuts.rows.at(0).accountName, "account");
}

void TestRegisterLoad::rewriteReadsBackInTheSameEncoding_data()
{
    QTest::addColumn<QByteArray>("dat");
    QTest::newRow("ASCII") << QByteArray("Lee Kim,lee_kim,7B,Year 7\r\n");
    QTest::newRow("Latin-1") << QByteArray("M\xFCller Jo,m\xFCller_jo,7A,Year 7\r\n");
    QTest::newRow("UTF-8") << QByteArray("M\xC3\xBCller Jo,m\xC3\xBCller_jo,7A,Year 7\r\n");
    // The only byte that is not UTF-8 sits after a closing quote, which the
    // rewrite drops: the values alone decide the encoding.
    QTest::newRow("invalid byte only in dropped text") << QByteArray("\"\" \xff,a,7A,Y\r\n");
    QTest::newRow("byte-order mark opens the file") << QByteArray("\xef\xbb\xbf"
                                                                  "Adams,a,7A,Y\r\n");
    QTest::newRow("value opens with a byte-order mark") << QByteArray("\"\xef\xbb\xbf"
                                                                      "Adams\",a,7A,Y\r\n");
    QTest::newRow("Latin-1 value opens with the mark's bytes")
        << QByteArray("\"\xef\xbb\xbf"
                      "Adams\xff\",a,7A,Y\r\n");
    // Found by fuzz/FuzzRegister: an unquoted value that opens with the
    // mark and holds a double quote.
    QTest::newRow("value opens with the mark and holds a quote")
        << QByteArray("a,b,c,\xef\xbb\xbf\"x\r\n");
    QTest::newRow("Latin-1 value opens with the mark's bytes and holds a quote")
        << QByteArray("\"\" \xff,a,7A,\xef\xbb\xbf\"\" \xff\r\n");
}

void TestRegisterLoad::rewriteReadsBackInTheSameEncoding()
{
    QFETCH(QByteArray, dat);
    const ShortcutRegister before = parseRegister(dat, "tkshrtct.dat");
    const RegisterRecord added{"Zed", "zed_", "7A", "Y"};
    const ShortcutRegister after = parseRegister(registerTextWith(before, {added}), "tkshrtct.dat");
    QCOMPARE(after.encoding, before.encoding);
    const auto texts = [](const ShortcutRegister& shortcuts) {
        QStringList lines;
        for (const RegisterRecord& row : shortcuts.rows)
            lines << row.text();
        return lines;
    };
    QStringList rows = texts(after);
    QVERIFY(rows.removeOne("Zed,zed_,7A,Y"));
    QCOMPARE(rows, texts(before));
}

void TestRegisterLoad::valuesInReportsAreNotPlaceholders()
{
    QByteArray dat;
    for (int i = 0; i < maxClasses; ++i)
        dat += "n,f,C" + QByteArray::number(i) + ",Y\r\n";
    dat += "n,f,%1,Y\r\n";
    try {
        parseRegister(dat, "tkshrtct.dat");
        QFAIL("101 classes loaded");
    } catch (const StartupError& error) {
        QVERIFY2(error.problem().contains("(the next one, \"%1\", is on line 101)"),
                 qPrintable(error.problem()));
    }
}

QTEST_GUILESS_MAIN(TestRegisterLoad)
#include "TestRegisterLoad.moc"
