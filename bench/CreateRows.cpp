#include "Measure.h"
#include "Rows.h"
#include "TestData.h"

#include "enrol/Enrolment.h"
#include "enrol/TemplateCopy.h"
#include "platform/FileServices.h"
#include "register/RegisterLock.h"
#include "register/RegisterReader.h"
#include "register/RegisterWriter.h"

#include <QDir>
#include <QFile>

namespace bench {

namespace {

struct Tier
{
    QString id;
    QString label;
    int files;
    qint64 bytes;
};

class CreateTier
{
public:
    CreateTier(const Options& options, const Tier& tier)
        : m_options(options)
        , m_tier(tier)
        , m_site(options.data + QStringLiteral("/create/") + tier.id)
        , m_master(m_site + QStringLiteral("/2026/masterstudent"))
    {
    }

    void run()
    {
        prepareSite();
        const int pairs = m_tier.bytes >= 1000000000 ? m_options.bigPairs : m_options.pairs;
        const bool deleteEachRound = m_tier.bytes >= 100000000;
        const auto samples = runRounds(QStringLiteral("create ") + m_tier.label, 1, pairs,
                                       {[this] { return program(); }, [this] { return floor(); },
                                        [this] { return stages(); }},
                                       [this, deleteEachRound](int) {
                                           beforeRound(deleteEachRound);
                                       });
        report(samples, deleteEachRound);
        removeTree(m_classFolder);
    }

private:
    void prepareSite()
    {
        QDir().mkpath(m_site);
        // 1499 rows: the program refuses a register that is already full.
        const RegisterData data = writeSite(m_site, 1499);
        m_register = data.text;
        m_year = data.someYear;
        m_class = data.someClass;
        const QString stamp = m_site + QStringLiteral("/template.stamp");
        const QByteArray wanted = QStringLiteral("template v1 %1 files %2 bytes\n")
                                      .arg(m_tier.files)
                                      .arg(m_tier.bytes)
                                      .toLatin1();
        QFile stampFile(stamp);
        const bool current = stampFile.open(QIODevice::ReadOnly) && stampFile.readAll() == wanted;
        stampFile.close();
        if (!current) {
            progress(QStringLiteral("making the %1 template").arg(m_tier.label));
            removeTree(m_master);
            makeTemplate(m_master, m_tier.files, m_tier.bytes);
            writeFile(stamp, wanted);
        }
        m_classFolder = m_site + QStringLiteral("/2026/") + m_year + QLatin1Char('/') + m_class;
        removeTree(m_site + QStringLiteral("/2026/") + m_year);
        writeFile(m_classFolder + QStringLiteral("/index.htm"), classPage());
        QFile::remove(m_site + QStringLiteral("/tkshrtct.old"));
        syncEverything();
        m_siteData = tk::loadSite(m_site);
    }

    void beforeRound(bool deleteOutputs)
    {
        if (deleteOutputs) {
            for (const QString& output : std::as_const(m_outputs))
                removeTree(output);
            m_outputs.clear();
        }
    }

    // Every run starts from the same state, outside its timing: the register
    // as it was, nothing dirty, the page cache dropped, and the inputs read
    // back in.
    void coldStart()
    {
        writeFile(m_site + QStringLiteral("/tkshrtct.dat"), m_register);
        if (!m_options.dropCaches)
            syncEverything();
        else if (!dropCaches())
            die(QStringLiteral("cannot drop the page cache (not root?): run with --keep-caches"));
        for (const QString& input : {m_master, m_site + QStringLiteral("/tkshrtct.dat"),
                                     m_site + QStringLiteral("/tkshrtct.ini"),
                                     m_classFolder + QStringLiteral("/index.htm")})
            warmUp(input);
    }

    tk::StudentInputs nextStudent()
    {
        ++m_run;
        tk::StudentInputs typed;
        typed.surname = QStringLiteral("Benchley");
        typed.givenName = QStringLiteral("Pupil%1").arg(m_run, 4, 10, QLatin1Char('0'));
        typed.year = m_year;
        typed.className = m_class;
        return typed;
    }

    tk::Student studentFrom(const tk::StudentInputs& inputs) const
    {
        QString refusal;
        const std::optional<tk::Student> student = tk::Student::from(inputs, m_siteData, &refusal);
        if (!student)
            die(QStringLiteral("student refused: %1").arg(refusal));
        return *student;
    }

    // What the window does once the operator has said Yes: the student made
    // from the inputs, and one enrolment of that student.
    Sample program()
    {
        coldStart();
        const tk::StudentInputs inputs = nextStudent();
        const Clock::time_point start = Clock::now();
        tk::Enrolment enrolment(m_siteData, {{0, studentFrom(inputs)}});
        const tk::EnrolmentResult result = enrolment.run();
        const double elapsed = millisecondsSince(start);
        m_outputs << enrolment.enrolees().front().student.folder();
        if (result.stop != tk::EnrolmentResult::Stop::None
            || result.count(tk::StudentOutcome::Added) != 1)
            die(QStringLiteral("the enrolment did not add the student (stop %1)")
                    .arg(static_cast<int>(result.stop)));
        return {elapsed, 0, {}};
    }

    // cp -r, then one syncfs of the file system (sync -f), as the program
    // makes the whole folder durable with one syncfs.
    Sample floor()
    {
        coldStart();
        const QString target = m_classFolder
            + QStringLiteral("/floor%1").arg(++m_run, 4, 10, QLatin1Char('0'));
        m_outputs << target;
        Launch copy;
        copy.arguments = {QStringLiteral("cp"), QStringLiteral("-r"), m_master, target};
        Launch sync;
        sync.arguments = {QStringLiteral("sync"), QStringLiteral("-f"), target};
        const Clock::time_point start = Clock::now();
        runProcessOrDie(copy);
        const double copied = millisecondsSince(start);
        runProcessOrDie(sync);
        const double elapsed = millisecondsSince(start);
        return {elapsed, 0, {copied, elapsed - copied}};
    }

    // The enrolment's file work, one call at a time, each timed: make the
    // folder, fill it (copy and personalise), one syncfs, then the register
    // under its lock. Only the checks are left out.
    Sample stages()
    {
        coldStart();
        const tk::Student student = studentFrom(nextStudent());
        m_outputs << student.folder();
        // Read as the program reads it at start-up, before anything is timed.
        const tk::ShortcutRegister known = tk::loadRegister(m_site);
        const Clock::time_point start = Clock::now();
        tk::files::makeFolder(student.folder());
        tk::fillStudentFolder(m_master, student.folder(), student.fullName());
        const double filled = millisecondsSince(start);
        tk::files::syncFileSystemOf(student.folder());
        const double synced = millisecondsSince(start);
        {
            const std::unique_ptr<tk::RegisterLock> lock = tk::RegisterLock::acquire(m_site);
            if (!lock)
                die(QStringLiteral("register lock not acquired"));
            const tk::ShortcutRegister current = tk::reloadRegister(m_site, known);
            tk::updateRegister(m_site, current, {student.record()}, *lock);
        }
        const double elapsed = millisecondsSince(start);
        return {elapsed, 0, {filled, synced - filled, elapsed - synced}};
    }

    void report(const std::vector<std::vector<Sample>>& samples, bool deletedEachRound)
    {
        printRow(
            {QStringLiteral("3") + m_tier.id.right(1), QStringLiteral("program"),
             QStringLiteral("floor"),
             QStringLiteral("create, template %1 files / %2, vs cp -r + sync -f")
                 .arg(m_tier.files)
                 .arg(m_tier.label),
             QStringLiteral("ms"), summarise(times(samples, 0)), summarise(times(samples, 1)),
             summarise(ratios(samples, 0, 1)), 1.10,
             deletedEachRound ? QStringLiteral("(outputs deleted between rounds)") : QString()});
        auto median = [&](int side, int part) {
            return QString::number(summarise(bench::parts(samples, side, part)).median, 'f', 1);
        };
        note(QStringLiteral("durability: floor = cp -r %1 ms + sync -f %2 ms; the enrolment's file "
                            "work timed call by call (%3 ms in all) = make and fill the folder "
                            "%4 + syncfs %5 + lock, reload and update the register %6 ms")
                 .arg(median(1, 0), median(1, 1),
                      QString::number(summarise(times(samples, 2)).median, 'f', 1), median(2, 0),
                      median(2, 1), median(2, 2)));
        note(settleNote());
    }

    const Options& m_options;
    Tier m_tier;
    QString m_site;
    QString m_master;
    QString m_classFolder;
    QString m_year;
    QString m_class;
    QByteArray m_register;
    tk::SiteData m_siteData;
    QStringList m_outputs;
    int m_run = 0;
};

} // namespace

void createRow(const Options& options, char tier)
{
    const Tier tiers[] = {
        {QStringLiteral("tier-a"), QStringLiteral("1 MB"), 20, 1000000},
        {QStringLiteral("tier-b"), QStringLiteral("10 MB"), 200, 10000000},
        {QStringLiteral("tier-c"), QStringLiteral("100 MB"), 2000, 100000000},
        {QStringLiteral("tier-d"), QStringLiteral("1 GB"), 20000, 1000000000},
    };
    const Tier& chosen = tiers[tier - 'a'];
    // The template, plus three copies kept at once where outputs are
    // deleted each round, plus room to spare.
    const qint64 needed = chosen.bytes * 5 + (qint64(2) << 30);
    if (freeBytesAt(options.data) < needed) {
        printLine(QStringLiteral("3%1   create, template %2 files / %3: SKIPPED, less than "
                                 "%4 GB free in %5")
                      .arg(QLatin1Char(tier))
                      .arg(chosen.files)
                      .arg(chosen.label)
                      .arg(needed >> 30)
                      .arg(options.data));
        return;
    }
    CreateTier(options, chosen).run();
}

} // namespace bench
