#include "enrol/Refusals.h"

#include "enrol/Journal.h"
#include "enrol/Student.h"
#include "platform/FileServices.h"
#include "platform/SystemText.h"
#include "platform/TextScan.h"

#include <QFile>
#include <QSet>
#include <QStringBuilder>

#include <algorithm>

namespace tk {

namespace {

struct Field
{
    QString label;
    QString value;
    bool saysValue = false; // the folder name, never typed, is named with its value

    // Said only in a refusal: building it for every student of a list cost more
    // than all the checks of a value.
    QString name() const { return saysValue ? label + refusals::quoted(value) : label; }
};

// Nearly every value is plain ASCII, which holds no control and nothing
// invisible: one pass says so before the checks that look character by character.
bool isPlainAscii(const QString& text)
{
    return std::all_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F; });
}

// Most values hold none of the characters a check looks for: one pass says so.
bool holdsAnyOf(const QString& value, QStringView characters)
{
    return std::find_first_of(value.begin(), value.end(), characters.begin(), characters.end())
        != value.end();
}

using Refusal = std::optional<QString>;

Refusal registerSyntaxRefusal(const Field& field)
{
    if (!holdsAnyOf(field.value, u",\"\r\n"))
        return std::nullopt;
    const struct
    {
        QChar character;
        const char* name;
    } unstorable[] = {{QLatin1Char(','), "the comma \",\""},
                      {QLatin1Char('"'), "the double quote '\"'"},
                      {QLatin1Char('\r'), "a line break"},
                      {QLatin1Char('\n'), "a line break"}};
    for (const auto& bad : unstorable) {
        if (field.value.contains(bad.character))
            return QStringLiteral("The %1 holds %2, which the register file tkshrtct.dat cannot "
                                  "store.  Please remove it and try again.")
                .arg(field.name(), QLatin1String(bad.name));
    }
    return std::nullopt;
}

// C1 controls too: a list read in the wrong character set brings them.
Refusal controlCharacterRefusal(const Field& field)
{
    if (isPlainAscii(field.value))
        return std::nullopt;
    for (const QChar c : field.value) {
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F))
            return QStringLiteral("The %1 holds a control character (code %2), which no folder "
                                  "name or register line may hold.  Please remove it and try "
                                  "again.")
                .arg(field.name(), QString::number(c.unicode()));
    }
    return std::nullopt;
}

bool isDirectionControl(char32_t c)
{
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E)
        || (c >= 0x2066 && c <= 0x2069);
}

// What a character is, when it is one that a name must not hold because it
// cannot be seen, or makes the name look other than it is, or is no
// character at all. Joiners stay: some scripts spell names with them.
const char* invisibleKind(char32_t c)
{
    if (isDirectionControl(c))
        return "a direction control, which makes the text look other than it is";
    if (c == 0xFEFF)
        return "a byte-order mark";
    if (c == 0xFFFD)
        return "the replacement character, left where a character could not be read";
    if (QChar::isNonCharacter(c))
        return "a noncharacter";
    if (QChar::isSpace(c) && c != U' ')
        return "a space other than the plain blank";
    return nullptr;
}

Refusal invisibleCharacterRefusal(const Field& field)
{
    const QString& value = field.value;
    if (isPlainAscii(value))
        return std::nullopt;
    for (qsizetype i = 0, length = 0; i < value.size(); i += length) {
        const Character c = characterAt(value, i);
        const char* kind = QChar::isSurrogate(c.value)
            ? "half of a character, which no file name can hold"
            : invisibleKind(c.value);
        if (kind)
            return QStringLiteral("The %1 holds the character U+%2, %3.  Please remove it and "
                                  "try again.")
                .arg(field.name(),
                     QStringLiteral("%1").arg(c.value, 4, 16, QLatin1Char('0')).toUpper(),
                     QLatin1String(kind));
        length = c.length;
    }
    return std::nullopt;
}

Refusal blankRefusal(const Field& field)
{
    if (!field.value.isEmpty())
        return std::nullopt;
    return QStringLiteral("The %1 is blank.  Please choose or type one and try again.")
        .arg(field.name());
}

Refusal pathSegmentRefusal(const Field& field)
{
    const QStringView separators = u"/\\";
    for (const QChar separator : holdsAnyOf(field.value, separators) ? separators : QStringView()) {
        if (field.value.contains(separator))
            return QStringLiteral("The %1 holds the character \"%2\", which would put the "
                                  "student's folder outside the Ilvantis structure.  Please "
                                  "remove it and try again.")
                .arg(field.name(), separator);
    }
    if (field.value == QLatin1String(".") || field.value == QLatin1String(".."))
        return QStringLiteral("The %1 may not be \"%2\": that would put the student's folder "
                              "outside the Ilvantis structure.  Please change it and try again.")
            .arg(field.name(), field.value);
    return std::nullopt;
}

// The same intranet must work whichever machine serves it, and Windows file
// systems refuse these characters in a name and drop a trailing dot.
Refusal windowsNameRefusal(const Field& field)
{
    const QStringView forbidden = u"<>:\"|?*";
    for (const QChar c : holdsAnyOf(field.value, forbidden) ? forbidden : QStringView()) {
        if (field.value.contains(c))
            return QStringLiteral("The %1 holds the character \"%2\", which Windows does not "
                                  "allow in a folder name.  Please remove it and try again.")
                .arg(field.name(), c);
    }
    if (field.value.endsWith(QLatin1Char('.')))
        return QStringLiteral("The %1 ends with a dot, which Windows drops from a folder name.  "
                              "Please remove it and try again.")
            .arg(field.name());
    return std::nullopt;
}

// Windows takes these names, before any dot, for devices, whatever follows.
Refusal windowsDeviceRefusal(const Field& field)
{
    static const QSet<QString> devices = [] {
        QSet<QString> names{QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                            QStringLiteral("NUL")};
        for (const QString& digit :
             {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
              QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8"),
              QStringLiteral("9"), QStringLiteral("\u00B9"), QStringLiteral("\u00B2"),
              QStringLiteral("\u00B3")}) {
            names.insert(QStringLiteral("COM") + digit);
            names.insert(QStringLiteral("LPT") + digit);
        }
        return names;
    }();
    const QStringView stem = QStringView(field.value).left(field.value.indexOf(QLatin1Char('.')));
    if ((stem.size() != 3 && stem.size() != 4) || !devices.contains(stem.toString().toUpper()))
        return std::nullopt;
    return QStringLiteral("The %1 begins with \"%2\", which Windows takes for a device, never "
                          "for a folder.  Please change it and try again.")
        .arg(field.name(), field.value.section(QLatin1Char('.'), 0, 0));
}

constexpr int longestName = 255;

Refusal nameLengthRefusal(const Field& field)
{
#ifdef _WIN32
    const qsizetype length = field.value.size();
    const char* unit = "characters";
    const char* system = "Windows takes";
#else
    // No character takes more than three bytes for each of its UTF-16 units.
    if (field.value.size() * 3 <= longestName)
        return std::nullopt;
    const qsizetype length = QFile::encodeName(field.value).size();
    const char* unit = "bytes";
    const char* system = "the file system takes";
#endif
    if (length <= longestName)
        return std::nullopt;
    return QStringLiteral("The %1 is %2 %3 long, and %4 names of at most %5 %3.  Please shorten "
                          "the surname or the given name and try again.")
        .arg(field.name(), QString::number(length), QLatin1String(unit), QLatin1String(system),
             QString::number(longestName));
}

Refusal encodingRefusal(const Field& field, TextEncoding registerEncoding)
{
    // Every code page stores ASCII as it is, and nearly every name is ASCII:
    // the check of each character, which allocates, is for the others.
    if (isAscii(field.value))
        return std::nullopt;
    // The home page takes any name: what its charset lacks goes in as a
    // character reference.
    const QString unstorable = unstorableCharacters(field.value, {registerEncoding});
    if (unstorable.isEmpty())
        return std::nullopt;
    return QStringLiteral("The %1 holds the characters %2, which the register file "
                          "tkshrtct.dat cannot store in its character set.  Please type the name "
                          "without them and try again.")
        .arg(field.name(), refusals::quoted(unstorable));
}

using Check = Refusal (*)(const Field&);

// Letters, digits, the blank, the hyphen, the apostrophe and the underscore:
// what nearly every name, year and class is made of.
bool isPlainName(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9')
            || u == u' ' || u == u'-' || u == u'\'' || u == u'_';
    });
}

// The checks that look only for characters that a plain name never holds:
// skipped for a plain name, they were most of the cost of checking a list.
bool looksOnlyForCharacters(Check check)
{
    return check == registerSyntaxRefusal || check == controlCharacterRefusal
        || check == invisibleCharacterRefusal || check == pathSegmentRefusal
        || check == windowsNameRefusal;
}

Refusal firstRefusal(const Field& field, std::initializer_list<Check> checks)
{
    const bool plain = isPlainName(field.value);
    for (const Check check : checks)
        if (!(plain && looksOnlyForCharacters(check)))
            if (Refusal refusal = check(field))
                return refusal;
    return std::nullopt;
}

// Every refused field at once, so that one look at a refused row shows all
// that needs changing in it.
Refusal together(const QStringList& refusals)
{
    if (refusals.isEmpty())
        return std::nullopt;
    return refusals.join(QStringLiteral("  "));
}

struct Fields
{
    explicit Fields(const Student& student)
        : givenName{QStringLiteral("Given or Preferred Name"), student.givenName()}
        , surname{QStringLiteral("New Student's Surname"), student.surname()}
        , year{QStringLiteral("Scholastic Year"), student.year()}
        , className{QStringLiteral("Class"), student.className()}
        , login{QStringLiteral("Individual Login Account"), student.loginAccount()}
        , folder{QStringLiteral("student's folder name "), student.folderName(), true}
    {
    }

    Field givenName;
    Field surname;
    Field year;
    Field className;
    Field login;
    Field folder;
};

template<typename Map>
const typename Map::mapped_type* holderOf(const Map& map, const QString& key)
{
    const auto found = map.find(key);
    return found == map.end() ? nullptr : &found->second;
}

QString folderKey(const QString& year, const QString& className, const QString& folderName)
{
    return caseFoldedKey(year % QLatin1Char('/') % className % QLatin1Char('/') % folderName);
}

} // namespace

Refusal refusals::ofValues(const Student& student)
{
    const Fields f(student);
    QStringList refused;
    const auto check = [&refused](const Field& field, std::initializer_list<Check> checks) {
        if (Refusal refusal = firstRefusal(field, checks))
            refused << *refusal;
    };
    for (const Field& name : {f.givenName, f.surname})
        check(name,
              {registerSyntaxRefusal, controlCharacterRefusal, invisibleCharacterRefusal,
               blankRefusal, pathSegmentRefusal});
    for (const Field& place : {f.year, f.className})
        check(place,
              {registerSyntaxRefusal, controlCharacterRefusal, invisibleCharacterRefusal,
               blankRefusal, pathSegmentRefusal, windowsNameRefusal});
    check(f.login, {registerSyntaxRefusal, controlCharacterRefusal, invisibleCharacterRefusal});
    // The folder name is made of the names: its faults are theirs, said once.
    if (refused.isEmpty())
        check(f.folder,
              {pathSegmentRefusal, windowsNameRefusal, windowsDeviceRefusal, nameLengthRefusal});
    return together(refused);
}

QString refusals::quoted(const QString& value)
{
    constexpr qsizetype longest = 60;
    if (value.size() <= longest)
        return QLatin1Char('"') + value + QLatin1Char('"');
    qsizetype start = 20;
    if (value.at(start - 1).isHighSurrogate())
        --start;
    return QStringLiteral("\"%1%2\" (%3 characters)")
        .arg(value.left(start), QChar(0x2026), QString::number(value.size()));
}

Refusal refusals::ofPathLength(const Student& student, qsizetype longestTemplatePath)
{
    constexpr qsizetype longestPath = 259;
    // Built under a longer name first.
    const qsizetype length = student.folder().size() + temporarySuffixLength
        + (longestTemplatePath > 0 ? 1 + longestTemplatePath : 0);
    if (length <= longestPath)
        return std::nullopt;
    return QStringLiteral("The student's folder %1 would hold paths of %2 characters once the "
                          "template is copied into it, and Windows takes paths of at most %3 "
                          "characters.  Please shorten the surname or the given name and try "
                          "again.")
        .arg(nativePath(student.folder()), QString::number(length), QString::number(longestPath));
}

RegisterCheck::RegisterCheck(const ShortcutRegister& current)
    : m_register(current)
    , m_rows(current.rowCount())
    , m_years(current.years.begin(), current.years.end())
    , m_classes(current.classes.begin(), current.classes.end())
{
    // Room for every row the register can hold: a list's students join
    // these as they are checked, without growing them again and again.
    m_accounts.reserve(maxRegisterRows);
    m_rowsByAccount.reserve(current.rowCount());
    m_folders.reserve(maxRegisterRows);
    for (qsizetype i = 0; i < current.rows.size(); ++i) {
        const RegisterRecord& row = current.rows[i];
        const QString key = caseFoldedKey(row.accountName);
        m_accounts.insert_or_assign(key, Holder{i, 0});
        m_rowsByAccount.emplace(key, i);
        m_folders.insert_or_assign(folderKey(row.yearName, row.className, row.folderName),
                                   Holder{i, 0});
    }
}

// Asked of every student of a list that may run again: looked up by the
// account, not by a walk through the whole register.
bool RegisterCheck::registerNames(const Student& student) const
{
    const auto [begin, end] = m_rowsByAccount.equal_range(student.accountKey());
    return std::any_of(begin, end, [&](const auto& rowOfAccount) {
        const RegisterRecord& row = m_register.rows[rowOfAccount.second];
        return row.folderName == student.folderName() && row.className == student.className()
            && row.yearName == student.year();
    });
}

Refusal RegisterCheck::refusalFor(const Student& student, int line)
{
    const Fields f(student);
    QStringList unstorable;
    for (const Field& field : {f.givenName, f.surname, f.year, f.className, f.login})
        if (Refusal refusal = encodingRefusal(field, m_register.encoding))
            unstorable << *refusal;
    if (Refusal r = together(unstorable))
        return r;
    if (Refusal r = limitRefusal(student))
        return r;
    const QString& account = student.accountKey();
    const QString folder = folderKey(student.year(), student.className(), student.folderName());
    // Looked up once for the three checks that ask: a list asks it of every student.
    const Holder* const accountHolder = holderOf(m_accounts, account);
    const Holder* const folderHolder = holderOf(m_folders, folder);
    if (Refusal r = repeatRefusal(accountHolder, folderHolder, line))
        return r;
    if (Refusal r = accountRefusal(accountHolder))
        return r;
    if (Refusal r = folderRefusal(student, folderHolder))
        return r;
    ++m_rows;
    m_years.insert(student.year());
    m_classes.insert(student.className());
    m_accounts.emplace(account, Holder{-1, line});
    m_folders.emplace(folder, Holder{-1, line});
    return std::nullopt;
}

Refusal RegisterCheck::limitRefusal(const Student& student) const
{
    if (m_rows >= maxRegisterRows)
        return QStringLiteral("The register file tkshrtct.dat already holds %1 students, the "
                              "most that this utility can read back.  No more students can be "
                              "added to it.")
            .arg(maxRegisterRows);
    const struct
    {
        const TextSet& names;
        const QString& value;
        int limit;
        const char* what;
    } lists[] = {{m_years, student.year(), maxYears, "years"},
                 {m_classes, student.className(), maxClasses, "classes"}};
    for (const auto& list : lists) {
        if (list.names.size() >= std::size_t(list.limit) && list.names.count(list.value) == 0)
            return QStringLiteral("The register file tkshrtct.dat already names %1 different "
                                  "%2, the most that this utility can read back.  Please choose "
                                  "one of them.")
                .arg(QString::number(list.limit), QLatin1String(list.what));
    }
    return std::nullopt;
}

// The register takes a student to a folder by the account name, so a second
// student with the same account could never be reached.
Refusal RegisterCheck::accountRefusal(const Holder* holder) const
{
    if (!holder)
        return std::nullopt;
    if (holder->line == 0 && holder->registerRow >= 0)
        return QStringLiteral("The register file tkshrtct.dat already holds this account name, "
                              "in the line %1, and one account cannot belong to two "
                              "students.  If this is another student, type a different "
                              "Individual Login Account and try again.")
            .arg(refusals::quoted(m_register.rows[holder->registerRow].text()));
    return QStringLiteral("The student on line %1 has this account name too, and one account "
                          "cannot belong to two students.  Give one of them a different login "
                          "account.")
        .arg(holder->line);
}

// A row typed twice into a list is one student: another account would
// enrol the student twice.
Refusal RegisterCheck::repeatRefusal(const Holder* account, const Holder* folder, int line) const
{
    if (line == 0 || !account || !folder || account->line == 0 || folder->line != account->line)
        return std::nullopt;
    return QStringLiteral("This row repeats line %1, the same student in the same year and "
                          "class: remove line %2 from the list.")
        .arg(QString::number(account->line), QString::number(line));
}

// One folder holds one student's work: a second account for it would hand
// that work to whoever logs in with it.
Refusal RegisterCheck::folderRefusal(const Student& student, const Holder* holder) const
{
    if (!holder)
        return std::nullopt;
    if (holder->registerRow >= 0) {
        const RegisterRecord& row = m_register.rows[holder->registerRow];
        return QStringLiteral("The register file tkshrtct.dat already names the folder %1, in the "
                              "line %2 (account %3): this student is there already.")
            .arg(nativePath(student.folder()), refusals::quoted(row.text()), row.accountName);
    }
    return QStringLiteral("The student's folder %1 is the same as that of the student on line %2.")
        .arg(nativePath(student.folder()), QString::number(holder->line));
}

} // namespace tk
