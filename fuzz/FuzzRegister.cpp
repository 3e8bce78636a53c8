// The input is the bytes of a register file. Whatever they are, reading them
// either fails with a StartupError or gives a register that, rewritten with
// one more student, reads back as the same rows in the same order and the same
// encoding, plus that student, and every line copied as read is what its
// row writes afresh. The same bytes also go through the item reader
// on its own, and, as a settings file, through the settings reader.

#include "platform/SystemText.h"
#include "register/ListItemReader.h"
#include "register/RegisterReader.h"
#include "register/RegisterWriter.h"
#include "register/SiteFiles.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace tk;

namespace {

// A broken property must end the run as a crash does, so that libFuzzer
// keeps the input.
[[noreturn]] void fail(const char* property, const QString& detail = QString())
{
    std::fprintf(stderr, "\nPROPERTY FAILED: %s\n%s\n", property, detail.toUtf8().constData());
    std::fflush(stderr);
    std::abort();
}

QString shown(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toPercentEncoding(" ,\"'"));
}

void checkItemsAlwaysAdvance(const QString& text)
{
    ListItemReader reader(text);
    qsizetype items = 0;
    while (!reader.atEnd()) {
        const qsizetype before = reader.position();
        const std::optional<QString> item = reader.readItem();
        if (!item)
            return;
        if (reader.position() <= before)
            fail("readItem gave an item without moving on",
                 QStringLiteral("at %1 of %2").arg(before).arg(text.size()));
        if (reader.position() > text.size())
            fail("readItem moved past the end");
        if (++items > text.size() + 1)
            fail("more items than characters");
    }
}

struct Row
{
    QStringList fields;
    QString text;
    bool operator==(const Row& other) const { return fields == other.fields && text == other.text; }
};

QList<Row> rowsOf(const ShortcutRegister& shortcuts)
{
    QList<Row> rows;
    for (const RegisterRecord& r : shortcuts.rows)
        rows.append({{r.accountName, r.folderName, r.className, r.yearName}, r.text()});
    return rows;
}

// The Create command refuses a student the register could not hold and read
// back (see refusalFor); only the others are ever written.
bool isAccepted(const ShortcutRegister& shortcuts, const RegisterRecord& added)
{
    for (const QString& field :
         {added.accountName, added.folderName, added.className, added.yearName})
        if (!unstorableCharacters(field, {shortcuts.encoding}).isEmpty())
            return false;
    return shortcuts.rowCount() < maxRegisterRows
        && (shortcuts.years.contains(added.yearName) || shortcuts.years.size() < maxYears)
        && (shortcuts.classes.contains(added.className) || shortcuts.classes.size() < maxClasses);
}

void checkRewrite(const QByteArray& input, const ShortcutRegister& before,
                  const RegisterRecord& added)
{
    if (!isAccepted(before, added))
        return;
    const QByteArray written = registerTextWith(before, {added});
    ShortcutRegister rowsOnly = before;
    rowsOnly.lines.clear();
    if (registerTextWith(rowsOnly, {added}) != written)
        fail("a line copied as read is not what its row writes",
             "input:   " + shown(input) + "\nwritten: " + shown(written));
    ShortcutRegister after;
    try {
        after = parseRegister(written, QStringLiteral("tkshrtct.dat"));
    } catch (const StartupError& error) {
        fail("the rewritten register does not load",
             error.problem() + "\ninput:   " + shown(input) + "\nwritten: " + shown(written));
    }
    const auto detail = [&] {
        return "input:   " + shown(input) + "\nwritten: " + shown(written)
            + "\nadded:   " + added.text();
    };
    if (after.encoding != before.encoding)
        fail("the rewritten register reads in another encoding", detail());
    const QList<Row> old = rowsOf(before);
    const QList<Row> now = rowsOf(after);
    if (now.size() != old.size() + 1)
        fail("the rewritten register does not hold one row more", detail());
    qsizetype at = 0;
    while (at < old.size() && now.at(at) == old.at(at))
        ++at;
    const Row expected{{added.accountName, added.folderName, added.className, added.yearName},
                       added.text()};
    if (!(now.at(at) == expected))
        fail("a row changed, or the new one is not where the old rows part", detail());
    for (qsizetype i = at; i < old.size(); ++i)
        if (!(now.at(i + 1) == old.at(i)))
            fail("a row after the new one changed", detail());
}

void checkRegister(const QByteArray& bytes)
{
    ShortcutRegister shortcuts;
    try {
        shortcuts = parseRegister(bytes, QStringLiteral("tkshrtct.dat"));
    } catch (const StartupError&) {
        return; // an unreadable register is reported at start-up, never written
    }
    checkRewrite(bytes, shortcuts, {"Zed Fuzz", "zed_fuzz", "7A", "Year 7"});
    checkRewrite(bytes, shortcuts,
                 {QString::fromUtf8("\xC3\x86gir \xC3\x98stergaard Zo\xC3\xAB"),
                  QString::fromUtf8("\xC3\xB8stergaard_zo\xC3\xAB"), QString::fromUtf8("7\xC3\x85"),
                  QStringLiteral("Year 7")});
    // Beside an account the register already holds, in a class and year it names.
    if (!shortcuts.rows.isEmpty()) {
        const RegisterRecord& middle = shortcuts.rows.at(shortcuts.rows.size() / 2);
        checkRewrite(bytes, shortcuts,
                     {middle.accountName, "zed_fuzz", middle.className, middle.yearName});
    }
}

// The settings reader takes a folder, not bytes: the input is written there
// as tkshrtct.ini, once per input. The file is made afresh each time, since
// ext4 makes a truncating rewrite wait for the last one to reach the disk.
void checkSettings(const QByteArray& bytes)
{
    static QTemporaryDir folder;
    if (!folder.isValid())
        fail("no temporary folder for the settings file");
    QFile file(folder.filePath(settingsFileName));
    file.remove();
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) || file.write(bytes) != bytes.size())
        fail("cannot write the settings file");
    file.close();
    try {
        loadSettings(folder.path());
    } catch (const StartupError&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    checkItemsAlwaysAdvance(QString::fromLatin1(bytes));
    checkItemsAlwaysAdvance(QString::fromUtf8(bytes));
    checkRegister(bytes);
    checkSettings(bytes);
    return 0;
}
