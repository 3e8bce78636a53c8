#include "TestData.h"

#include "Measure.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace bench {

namespace {

// Fixed seeds: every run of the benchmark measures the same data.
class Random
{
public:
    explicit Random(std::uint64_t seed)
        : m_state(seed)
    {
    }
    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
    double unit() { return static_cast<double>(next() >> 11) / 9007199254740992.0; }
    double normal()
    {
        const double u = std::max(unit(), 1e-12);
        return std::sqrt(-2.0 * std::log(u)) * std::cos(6.283185307179586 * unit());
    }
    template<typename T>
    void shuffle(std::vector<T>& items)
    {
        for (size_t i = items.size(); i > 1; --i)
            std::swap(items[i - 1], items[static_cast<size_t>(below(static_cast<int>(i)))]);
    }

private:
    std::uint64_t m_state;
};

const char* const surnames[] = {"Abernethy",    "Okonkwo",  "Nguyen",  "Smithson",   "Brownlee",
                                "Van der Berg", "Kowalski", "Murphy",  "Rossetti",   "Patel",
                                "Tanaka",       "Jones",    "Garcia",  "Muller",     "Dubois",
                                "Silvestri",    "Kim",      "Cohen",   "Ivanova",    "Hughes",
                                "Quorrel",      "Li",       "Wong",    "Reid",       "Fraser",
                                "O Brien",      "Haddad",   "Novak",   "Bergstrom",  "Costa",
                                "Ali",          "Khan",     "Lee",     "Ward",       "Prichard",
                                "Bellamy",      "Stone",    "Young",   "Kingsley",   "Hall",
                                "Woodward",     "Moss",     "Hartley", "Lowe",       "Nash",
                                "Dunn",         "Fordham",  "Gray",    "Huntington", "Lambert",
                                "Marsh",        "Nolan",    "Pageant", "Rice",       "Shaw",
                                "Tait",         "Vance",    "Webster", "York",       "Zhou"};
const char* const givenNames[] = {"Anna", "Benjamin",   "Chloe",      "Dravin",   "Eleanor",
                                  "Finn", "Grace",      "Hugo",       "Isla",     "Jack",
                                  "Kai",  "Lily",       "Maximilian", "Nora",     "Oscar",
                                  "Pia",  "Quinn",      "Ruby",       "Samuel",   "Tess",
                                  "Uma",  "Veronica",   "William",    "Xena",     "Yusuf",
                                  "Zoe",  "Anna Maria", "Leo",        "Mia",      "Noah",
                                  "Ava",  "Elijah",     "Ivy",        "Jude",     "Luca",
                                  "Maya", "Omar",       "Rosalind",   "Theodore", "Zara"};

QString lowerWithoutBlanks(const QString& text)
{
    return text.toLower().remove(QLatin1Char(' '));
}

} // namespace

RegisterData makeRegister(int rows, int years, int classes)
{
    Random random(20261208);
    struct Student
    {
        QString surname, given;
        int year = 0, classIndex = 0;
    };
    std::vector<std::pair<int, int>> names;
    for (int s = 0; s < int(std::size(surnames)); ++s)
        for (int g = 0; g < int(std::size(givenNames)); ++g)
            names.emplace_back(s, g);
    random.shuffle(names);
    if (rows > int(names.size()))
        die(QStringLiteral("too many register rows asked for"));

    auto spread = [&](int distinct) {
        std::vector<int> picks;
        for (int i = 0; i < rows; ++i)
            picks.push_back(i < distinct ? i : random.below(distinct));
        random.shuffle(picks);
        return picks;
    };
    const std::vector<int> yearOf = spread(years);
    const std::vector<int> classOf = spread(classes);

    std::vector<Student> list;
    for (int i = 0; i < rows; ++i)
        list.push_back({QString::fromLatin1(surnames[names[i].first]),
                        QString::fromLatin1(givenNames[names[i].second]), yearOf[i], classOf[i]});
    std::sort(list.begin(), list.end(), [](const Student& a, const Student& b) {
        return (a.surname + QLatin1Char(' ') + a.given).toUpper()
            < (b.surname + QLatin1Char(' ') + b.given).toUpper();
    });

    auto yearName = [](int i) { return QStringLiteral("Year %1").arg(i + 1); };
    auto className = [](int i) {
        const char* const houses[] = {"Kestrel", "Falcon", "Heron", "Osprey", "Wren",
                                      "Robin",   "Magpie", "Finch", "Swift"};
        return QString::number(1 + i % 12) + QLatin1Char(' ') + QLatin1String(houses[i / 12 % 9]);
    };
    RegisterData data;
    QString text;
    for (const Student& row : list) {
        text += row.surname + QLatin1Char(' ') + row.given + QLatin1Char(',')
            + lowerWithoutBlanks(row.surname) + QLatin1Char('_') + lowerWithoutBlanks(row.given)
            + QLatin1Char(',') + className(row.classIndex) + QLatin1Char(',') + yearName(row.year)
            + QLatin1String("\r\n");
    }
    data.text = text.toLatin1();
    data.someYear = yearName(list.front().year);
    data.someClass = className(list.front().classIndex);
    return data;
}

RegisterData writeSite(const QString& folder, int rows)
{
    const RegisterData data = makeRegister(rows);
    writeFile(folder + QStringLiteral("/tkshrtct.ini"), "\"Bench College Intranet\",2026\r\n");
    writeFile(folder + QStringLiteral("/tkshrtct.dat"), data.text);
    return data;
}

QByteArray classPage()
{
    QByteArray page = "<html>\r\n<head><title>Class page</title></head>\r\n<body>\r\n<ul>\r\n";
    for (int i = 0; i < 25; ++i)
        page += "<li><a href=\"student" + QByteArray::number(i) + "/index.htm\">Student "
            + QByteArray::number(i) + "</a></li>\r\n";
    page += "</ul>\r\n</body>\r\n</html>\r\n";
    return page;
}

namespace {

QByteArray homePage()
{
    QByteArray page = "<html>\r\n<head><title>New Student - home page</title>\r\n"
                      "<link rel=\"stylesheet\" href=\"style.css\"></head>\r\n<body>\r\n"
                      "<h1>Welcome, New Student</h1>\r\n";
    const char* const sections[] = {"pictures", "writing", "maths", "science", "projects"};
    for (const char* section : sections)
        page += QByteArray("<p><a href=\"") + section + "/index.htm\">" + section
            + " of New Student</a></p>\r\n";
    while (page.size() < 3000)
        page += "<p>This is the intranet home page of a student at this school.</p>\r\n";
    page += "<p>Page kept by New Student</p>\r\n</body>\r\n</html>\r\n";
    return page;
}

// What the files hold does not matter to any file system here; only their
// number and sizes do. Text files get text, the rest bytes from a fixed pool.
const QByteArray& bytePool()
{
    static const QByteArray pool = [] {
        Random random(7);
        QByteArray bytes(8 << 20, Qt::Uninitialized);
        for (qsizetype i = 0; i + 8 <= bytes.size(); i += 8) {
            const std::uint64_t v = random.next();
            std::memcpy(bytes.data() + i, &v, 8);
        }
        return bytes;
    }();
    return pool;
}

void writeContent(const QString& path, qint64 size, bool text, Random& random)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        die(QStringLiteral("cannot write %1").arg(path));
    static const QByteArray line = "<p>Lorem ipsum dolor sit amet, consectetur adipiscing.</p>\r\n";
    const QByteArray& pool = bytePool();
    qint64 left = size;
    while (left > 0) {
        qint64 chunk = 0;
        if (text) {
            chunk = std::min<qint64>(left, line.size());
            file.write(line.constData(), chunk);
        } else {
            chunk = std::min<qint64>(left, 1 << 20);
            const qint64 offset = static_cast<qint64>(
                random.next() % static_cast<std::uint64_t>(pool.size() - chunk + 1));
            file.write(pool.constData() + offset, chunk);
        }
        left -= chunk;
    }
    if (!file.flush())
        die(QStringLiteral("cannot write %1").arg(path));
}

} // namespace

void makeTemplate(const QString& folder, int files, qint64 bytes)
{
    Random random(static_cast<std::uint64_t>(files) * 1000003ULL
                  + static_cast<std::uint64_t>(bytes));
    QDir().mkpath(folder);

    // Subjects, then terms inside them, then weeks inside the terms.
    const QStringList subjects{"pictures", "writing", "maths",   "science",
                               "projects", "music",   "history", "art"};
    const int folderCount = std::max(2, files / 40);
    QStringList folders;
    for (int i = 0; i < subjects.size() && folders.size() < folderCount; ++i)
        folders << subjects[i];
    const QStringList level1 = folders;
    QStringList level2;
    for (int t = 1; t <= 4 && folders.size() < folderCount; ++t)
        for (const QString& subject : level1)
            if (folders.size() < folderCount) {
                level2 << subject + QStringLiteral("/term%1").arg(t);
                folders << level2.last();
            }
    for (int w = 1; folders.size() < folderCount; ++w)
        for (const QString& term : level2)
            if (folders.size() < folderCount)
                folders << term + QStringLiteral("/week%1").arg(w, 2, 10, QLatin1Char('0'));
    for (const QString& f : folders)
        QDir().mkpath(folder + QLatin1Char('/') + f);

    const QByteArray home = homePage();
    writeFile(folder + QStringLiteral("/index.htm"), home);

    // Sizes spread as on a real share: mostly small pages, many pictures,
    // the odd recording or document of a few megabytes.
    const int others = files - 1;
    std::vector<double> raw;
    for (int i = 0; i < others; ++i)
        raw.push_back(std::exp(1.7 * random.normal()));
    double rawTotal = 0;
    for (double r : raw)
        rawTotal += r;
    const qint64 target = bytes - home.size();
    std::vector<qint64> sizes;
    qint64 sum = 0;
    for (double r : raw) {
        sizes.push_back(std::max<qint64>(200, static_cast<qint64>(r / rawTotal * double(target))));
        sum += sizes.back();
    }
    auto largest = std::max_element(sizes.begin(), sizes.end());
    *largest += target - sum;
    if (*largest < 200)
        die(QStringLiteral("template too small for its file count"));

    for (int i = 0; i < others; ++i) {
        const qint64 size = sizes[static_cast<size_t>(i)];
        QString where;
        // A few files beside the home page; the rest in the subfolders.
        if (i >= 3)
            where = folders[random.below(static_cast<int>(folders.size()))] + QLatin1Char('/');
        QString name;
        bool text = false;
        if (size < 24 * 1024) {
            const char* const kinds[] = {"page%1.htm", "notes%1.txt", "style%1.css"};
            name = QString::fromLatin1(kinds[random.below(3)]).arg(i, 5, 10, QLatin1Char('0'));
            text = true;
        } else if (size < 1536 * 1024) {
            name = QString::fromLatin1(random.below(2) ? "photo%1.jpg" : "drawing%1.png")
                       .arg(i, 5, 10, QLatin1Char('0'));
        } else {
            name = QString::fromLatin1(random.below(2) ? "report%1.pdf" : "recording%1.mp3")
                       .arg(i, 5, 10, QLatin1Char('0'));
        }
        writeContent(folder + QLatin1Char('/') + where + name, size, text, random);
    }
}

QByteArray oneLinePage(qsizetype bytes)
{
    QByteArray page = "<html><head><title>Home</title></head><body>";
    const QByteArray filler = "<span class=\"c\">minified content</span>";
    while (page.size() < bytes / 2)
        page += filler;
    page += "<h1>Welcome, New Student</h1>";
    while (page.size() < bytes - 14 - filler.size())
        page += filler;
    page += QByteArray(bytes - 14 - page.size(), ' ');
    page += "</body></html>";
    return page;
}

QByteArray manyLinePage(qsizetype bytes)
{
    const QByteArray line = "<p class=\"xy\">Welcome, New Student, to your page.</p>\r\n";
    QByteArray page;
    page.reserve(bytes);
    while (page.size() + 2 * line.size() <= bytes)
        page += line;
    page += "<!--" + QByteArray(bytes - page.size() - 9, '-') + "-->\r\n";
    return page;
}

} // namespace bench
