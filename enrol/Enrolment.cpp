#include "enrol/Enrolment.h"

#include "enrol/ChangeLog.h"
#include "enrol/Journal.h"
#include "enrol/Refusals.h"
#include "enrol/TemplateCopy.h"
#include "platform/FileServices.h"
#include "platform/FolderCopy.h"
#include "platform/NumberedFailure.h"
#include "platform/SystemText.h"
#include "register/RegisterLock.h"
#include "register/RegisterReader.h"
#include "register/RegisterWriter.h"

#include <QMap>

#include <algorithm>

namespace tk {

FailureReport FailureReport::of(const NumberedFailure& failure)
{
    return {failure.number(), failure.operation(), failure.path()};
}

qsizetype EnrolmentResult::count(StudentOutcome outcome) const
{
    return std::count_if(students.begin(), students.end(), [outcome](const StudentReport& report) {
        return report.outcome == outcome;
    });
}

bool EnrolmentResult::changedAnything() const
{
    return count(StudentOutcome::Added) > 0 || !foldersLeft.isEmpty();
}

namespace {

// Windows limits a whole path; elsewhere only each name is limited.
#ifdef _WIN32
constexpr bool pathsAreLimited = true;
#else
constexpr bool pathsAreLimited = false;
#endif

PageState stateOfPage(const QString& folder)
{
    try {
        return pageLooksSound(folder) ? PageState::Sound : PageState::Short;
    } catch (const NumberedFailure& failure) {
        return FailureNumber::meansMissing(failure.number()) ? PageState::Missing
                                                             : PageState::Unreadable;
    }
}

// Runs one step that may fail, and says how it failed: a numbered failure,
// or anything else that escaped, counted as an input/output error, so that
// whatever happens the folders made so far are seen to.
template<typename Step>
std::optional<FailureReport> failureOf(Step step)
{
    try {
        step();
        return std::nullopt;
    } catch (const NumberedFailure& failure) {
        return FailureReport::of(failure);
    } catch (const std::exception& error) {
        return FailureReport{FailureNumber::DeviceIoError, QStringLiteral("Add the student"),
                             QString::fromLocal8Bit(error.what())};
    }
}

QStringList distinctClassFolders(const QList<Enrolee>& enrolees)
{
    QStringList folders;
    for (const Enrolee& enrolee : enrolees)
        if (!folders.contains(enrolee.student.classFolder()))
            folders << enrolee.student.classFolder();
    return folders;
}

} // namespace

Enrolment::Enrolment(const SiteData& site, QList<Enrolee> enrolees, Repeats repeats)
    : m_site(site)
    , m_enrolees(std::move(enrolees))
    , m_repeats(repeats)
{
}

qsizetype Enrolment::templateDepth() const
{
    if (!m_templateDepth)
        m_templateDepth = longestRelativePath(m_site.masterFolder());
    return *m_templateDepth;
}

PageState masterPageOf(const SiteData& site)
{
    const PageState state = stateOfPage(site.masterFolder());
    if (state != PageState::Sound)
        return state;
    try {
        return pageHoldsPlaceholder(site.masterFolder()) ? state : PageState::NoPlaceholder;
    } catch (const NumberedFailure&) {
        return PageState::Unreadable;
    }
}

PageState classPageOf(const Student& student)
{
    return stateOfPage(student.classFolder());
}

PageStudent pageStudentOf(const Student& student)
{
    return {student.surname(), student.givenName(), student.folderName()};
}

namespace {

// The students of each class page, in the order of each page's first.
QList<std::pair<QString, QList<qsizetype>>> byClassPage(const QList<Enrolee>& enrolees,
                                                        const QList<qsizetype>& which)
{
    QList<std::pair<QString, QList<qsizetype>>> pages;
    for (const qsizetype i : which) {
        const QString& folder = enrolees.at(i).student.classFolder();
        auto page = std::find_if(pages.begin(), pages.end(),
                                 [&](const auto& p) { return p.first == folder; });
        if (page == pages.end())
            page = pages.insert(pages.end(), {folder, {}});
        page->second << i;
    }
    return pages;
}

QList<PageStudent> pageStudents(const QList<Enrolee>& enrolees, const QList<qsizetype>& which)
{
    QList<PageStudent> students;
    for (const qsizetype i : which)
        students << pageStudentOf(enrolees.at(i).student);
    return students;
}

} // namespace

QList<ClassPageLinks> Enrolment::plannedClassPages(const QList<qsizetype>& students) const
{
    QList<ClassPageLinks> pages;
    for (const auto& [classFolder, which] : byClassPage(m_enrolees, students))
        pages << plannedLinks(classFolder, pageStudents(m_enrolees, which), which);
    return pages;
}

QList<StudentReport> Enrolment::check(const ShortcutRegister& current, bool lookOnDisk,
                                      files::FolderListings classFolders) const
{
    // The disk is asked last, so that the listings run while the register is checked.
    const auto folderExists = [&classFolders](const Student& student) {
        return classFolders.holds(student.classFolder(), student.folderName());
    };
    RegisterCheck registerCheck(current);
    QList<StudentReport> reports;
    reports.reserve(m_enrolees.size());
    for (const Enrolee& enrolee : m_enrolees) {
        const Student& student = enrolee.student;
        if (m_repeats == Repeats::Skip && registerCheck.registerNames(student)
            && folderExists(student)) {
            reports.append({StudentOutcome::AlreadyAdded, {}, {}});
            continue;
        }
        std::optional<QString> refusal;
        if (pathsAreLimited)
            refusal = refusals::ofPathLength(student, templateDepth());
        if (!refusal)
            refusal = registerCheck.refusalFor(student, enrolee.line);
        if (refusal)
            reports.append({StudentOutcome::Refused, *refusal, {}});
        else
            reports.append({StudentOutcome::ToAdd, {}, {}});
    }
    if (!lookOnDisk)
        return reports;
    TextMap<PageState> classPages;
    for (qsizetype i = 0; i < reports.size(); ++i) {
        const Student& student = m_enrolees.at(i).student;
        if (reports.at(i).outcome != StudentOutcome::ToAdd)
            continue;
        const auto page = classPages.find(student.classFolder());
        const PageState state = page != classPages.end()
            ? page->second
            : classPages.emplace(student.classFolder(), classPageOf(student)).first->second;
        if (state != PageState::Sound)
            reports[i] = {StudentOutcome::PageOrPath, {}, state};
        else if (folderExists(student))
            reports[i] = {StudentOutcome::FolderExists, {}, {}};
    }
    return reports;
}

// One run of an enrolment, from the page checks to the register.
class Enrolment::Run
{
public:
    Run(const Enrolment& enrolment, const EnrolmentProgress& progress)
        : m_enrolment(enrolment)
        , m_site(enrolment.site())
        , m_progress(progress)
    {
        m_result.students.resize(enrolment.enrolees().size());
    }

    EnrolmentResult go()
    {
        if (pagesAreSound())
            addUnderLock();
        return std::move(m_result);
    }

private:
    using Stop = EnrolmentResult::Stop;

    const Student& student(qsizetype i) const { return m_enrolment.enrolees().at(i).student; }

    void stop(Stop why, const std::optional<FailureReport>& failure = std::nullopt)
    {
        m_result.stop = why;
        m_result.failure = failure;
    }

    // A folder that is not there is the operator's to choose anew; anything
    // else is the system's.
    void fail(const FailureReport& failure, Stop whenMissing = Stop::PathMissing)
    {
        stop(FailureNumber::meansMissing(failure.number) ? whenMissing : Stop::Failed, failure);
    }

    // The master page is looked at first: when it and the class are both
    // missing, it is the one to mend first.
    bool pagesAreSound()
    {
        try {
            if (!pageLooksSound(m_site.masterFolder())) {
                m_result.pagePath = m_site.masterFolder();
                stop(Stop::MasterPageShort);
                return false;
            }
            // A page that cannot carry the name would make students without one.
            if (!pageHoldsPlaceholder(m_site.masterFolder())) {
                stop(Stop::MasterNoPlaceholder);
                return false;
            }
        } catch (const NumberedFailure& failure) {
            fail(FailureReport::of(failure), Stop::MasterMissing);
            return false;
        }
        for (const QString& classFolder : distinctClassFolders(m_enrolment.enrolees())) {
            bool sound = true;
            if (auto failure = failureOf([&] { sound = pageLooksSound(classFolder); })) {
                fail(*failure);
                return false;
            }
            if (!sound) {
                m_result.pagePath = classFolder;
                stop(Stop::ClassPageShort);
                return false;
            }
        }
        return true;
    }

    // Held from before the first folder is made until the register names the
    // students, so that a refusal leaves nothing half made and no other
    // copy's row is lost.
    void addUnderLock()
    {
        std::unique_ptr<RegisterLock> lock;
        if (auto failure = failureOf([&] { lock = RegisterLock::acquire(m_site.appFolder); })) {
            fail(*failure);
            return;
        }
        if (!lock) {
            m_result.lockHolder = RegisterLock::holderComputer(m_site.appFolder);
            stop(Stop::Locked);
            return;
        }
        if (finishInterruptedRun(*lock)) {
            addStudents(*lock);
            // What the run could not clean up is the next run's to finish.
            if (!m_unplacedNames.isEmpty() && m_result.foldersLeft.isEmpty() && !m_keepJournal)
                failureOf([&] { files::removeFileIfPresent(journalPathIn(m_site.appFolder)); });
        }
        if (const std::optional<NumberedFailure> failure = lock->release())
            m_result.lockLeft = FailureReport::of(*failure);
    }

    void addStudents(const RegisterLock& lock)
    {
        // Another copy may have added students since this one read the register.
        ShortcutRegister current;
        if (!reloaded(&current) || !acceptedAgainst(current))
            return;
        const QList<qsizetype> made = makeFolders();
        if (!made.isEmpty())
            registerStudents(current, made, lock);
    }

    bool reloaded(ShortcutRegister* current)
    {
        try {
            *current = reloadRegister(m_site.appFolder, m_site.shortcuts);
            return true;
        } catch (const StartupError& error) {
            m_result.problem = error.problem();
            stop(Stop::RegisterUnreadable);
            return false;
        }
    }

    bool finishInterruptedRun(const RegisterLock& lock)
    {
        try {
            m_result.leftovers = finishInterruptedWork(m_site, lock);
            return true;
        } catch (const StartupError& error) {
            m_result.problem = error.problem();
            stop(Stop::RegisterUnreadable);
        } catch (const NumberedFailure& failure) {
            fail(FailureReport::of(failure));
        }
        return false;
    }

    bool acceptedAgainst(const ShortcutRegister& current)
    {
        const QList<StudentReport> verdicts = m_enrolment.check(current, false);
        for (qsizetype i = 0; i < verdicts.size(); ++i) {
            if (verdicts[i].outcome == StudentOutcome::Refused && m_result.problem.isEmpty())
                m_result.problem = verdicts[i].reason;
            if (verdicts[i].outcome != StudentOutcome::ToAdd)
                m_result.students[i] = verdicts[i];
        }
        if (m_result.problem.isEmpty())
            return true;
        stop(Stop::Refused);
        return false;
    }

    QString unplacedFolder(qsizetype i) const
    {
        Q_ASSERT(m_unplacedNames.contains(i));
        return joinPath(student(i).classFolder(), m_unplacedNames[i]);
    }

    JournalEntry journalEntry(qsizetype i) const
    {
        JournalEntry entry{m_unplacedNames.value(i), student(i).record(), {}};
        if (m_enrolment.linksClassPages())
            entry.link = pageStudentOf(student(i));
        return entry;
    }

    // Each under a name of its own until every one is complete and on the disk.
    QList<qsizetype> makeFolders()
    {
        QList<JournalEntry> journal;
        for (qsizetype i = 0; i < m_result.students.size(); ++i)
            if (m_result.students[i].outcome != StudentOutcome::AlreadyAdded) {
                m_unplacedNames.insert(i, newTemporaryFolderName(student(i).folderName()));
                journal << journalEntry(i);
            }
        if (journal.isEmpty())
            return {};
        if (auto failure = failureOf([&] { writeJournal(m_site.appFolder, journal); })) {
            fail(*failure);
            return {};
        }
        QList<qsizetype> made;
        for (auto it = m_unplacedNames.keyBegin(); it != m_unplacedNames.keyEnd(); ++it) {
            const qsizetype i = *it;
            if (m_progress.stopRequested && m_progress.stopRequested()) {
                stop(Stop::Interrupted);
                break;
            }
            if (m_progress.starting)
                m_progress.starting(i);
            if (!makeFolder(i))
                break;
            made << i;
            if (m_progress.folderMade)
                m_progress.folderMade(i);
        }
        return made;
    }

    bool makeFolder(qsizetype i)
    {
        bool folderMade = false;
        const auto failure = failureOf([&] {
            files::makeFolder(unplacedFolder(i));
            folderMade = true;
            fillStudentFolder(m_site.masterFolder(), unplacedFolder(i), student(i).fullName());
        });
        if (!failure)
            return true;
        fail(*failure);
        m_result.students[i].outcome = StudentOutcome::Failed;
        if (folderMade)
            removeUnregistered(unplacedFolder(i));
        return false;
    }

    void registerStudents(const ShortcutRegister& current, const QList<qsizetype>& made,
                          const RegisterLock& lock)
    {
        if (m_progress.registering)
            m_progress.registering(made.size());
        QStringList classFolders;
        for (const qsizetype i : made)
            if (!classFolders.contains(student(i).classFolder()))
                classFolders << student(i).classFolder();
        // A folder is put in place only once all of it is on the disk, and
        // registered only once its place is.
        const auto syncAll = [&] {
            for (const QString& classFolder : classFolders)
                files::syncFileSystemOf(classFolder);
        };
        QList<qsizetype> placed;
        if (auto failure = failureOf(syncAll)) {
            fail(*failure);
        } else {
            placed = putInPlace(made);
        }
        QList<RegisterRecord> records;
        for (const qsizetype i : placed)
            records << student(i).record();
        // Linked only once the folders are in place: the next run registers
        // what is in place, so a kill never leaves a link to no student.
        auto failure = placed.isEmpty() ? std::nullopt : failureOf([&] { linkClassPages(placed); });
        if (!placed.isEmpty() && !failure)
            failure = failureOf([&] {
                syncAll();
                if (const auto late = updateRegister(m_site.appFolder, current, records, lock))
                    m_result.afterRegistered = FailureReport::of(*late);
            });
        if (failure)
            unlinkClassPages();
        for (const qsizetype i : made) {
            const bool added = !failure && placed.contains(i);
            m_result.students[i].outcome = added ? StudentOutcome::Added : StudentOutcome::Failed;
            if (added)
                continue;
            // A page that still links the folder keeps it in place, for the
            // next run to register.
            if (placed.contains(i) && (m_stillLinked.contains(i) || !takenOutOfPlace(i)))
                m_result.foldersLeft << student(i).folder();
            else if (!m_keepJournal)
                removeUnregistered(unplacedFolder(i));
        }
        if (failure && !m_result.failure)
            fail(*failure);
        if (!failure)
            logAdded(placed);
    }

    void logAdded(const QList<qsizetype>& added)
    {
        QList<ChangeLogLine> lines;
        for (const qsizetype i : added)
            lines.append({QStringLiteral("add"),
                          student(i).accountName(),
                          folderInSite(m_site.appFolder, student(i).folder()),
                          {}});
        m_result.logLeft = appendToChangeLog(m_site.appFolder, lines);
    }

    void linkClassPages(const QList<qsizetype>& placed)
    {
        if (!m_enrolment.linksClassPages())
            return;
        for (const auto& [classFolder, which] : byClassPage(m_enrolment.enrolees(), placed)) {
            QByteArray before;
            const ClassPageLinks links = linkClassPage(classFolder,
                                                       pageStudents(m_enrolment.enrolees(), which),
                                                       which, &before);
            m_result.classPages << links;
            if (!links.linked().isEmpty())
                m_linkedPages.append({classFolder, before, which});
        }
    }

    // Each page as it was, before the folders it linked go: a kill between
    // the two leaves folders in place, which the next run registers and links.
    void unlinkClassPages()
    {
        m_result.classPages.clear();
        for (const PageBefore& page : m_linkedPages)
            if (failureOf([&] { replaceClassPage(page.classFolder, page.before); })) {
                m_stillLinked << page.students;
            }
        m_linkedPages.clear();
    }

    // In order, until one cannot be: its name is taken, or the move fails.
    QList<qsizetype> putInPlace(const QList<qsizetype>& made)
    {
        QList<qsizetype> placed;
        for (const qsizetype i : made) {
            bool moved = false;
            auto failure = failureOf(
                [&] { moved = files::moveUnlessTaken(unplacedFolder(i), student(i).folder()); });
            if (!failure && !moved)
                failure = FailureReport{FailureNumber::PathFileAccess,
                                        QStringLiteral("Make folder"), student(i).folder()};
            if (!failure) {
                placed << i;
                continue;
            }
            fail(*failure);
            // The note keeps only what this run put in place: the folder whose
            // name was taken is someone else's, for the next run to leave alone.
            QList<JournalEntry> journal;
            for (const qsizetype j : placed)
                journal << journalEntry(j);
            // Failing that, the note still names them all, and the next run
            // removes what is not in place.
            m_keepJournal = failureOf([&] { writeJournal(m_site.appFolder, journal); }).has_value();
            break;
        }
        return placed;
    }

    // Out of its place again before it goes, so that a kill while it goes
    // leaves a folder that the next run removes, never one it registers.
    bool takenOutOfPlace(qsizetype i)
    {
        bool moved = false;
        return !failureOf([&] {
                    moved = files::moveUnlessTaken(student(i).folder(), unplacedFolder(i));
                }).has_value()
            && moved;
    }

    // Everything in the folder is this run's own copy, made exclusively.
    void removeUnregistered(const QString& folder)
    {
        if (failureOf([&] { files::removeFolderTree(folder); }))
            m_result.foldersLeft << folder;
    }

    const Enrolment& m_enrolment;
    const SiteData& m_site;
    const EnrolmentProgress& m_progress;
    EnrolmentResult m_result;
    QMap<qsizetype, QString> m_unplacedNames; // of the students this run makes, in order
    bool m_keepJournal = false; // it names folders that this run could not see to
    struct PageBefore
    {
        QString classFolder;
        QByteArray before;
        QList<qsizetype> students;
    };
    QList<PageBefore> m_linkedPages; // written by this run, until the register names the students
    QList<qsizetype> m_stillLinked; // students whose page could not be put back
};

EnrolmentResult Enrolment::run(const EnrolmentProgress& progress)
{
    return Run(*this, progress).go();
}

QStringList yearsOnDisk(const SiteData& site)
{
    QStringList years = files::subfolderNames(site.structureFolder());
    years.removeAll(QStringLiteral("masterstudent"));
    return years;
}

QStringList classesOnDisk(const SiteData& site, const QString& year)
{
    return files::subfolderNames(joinPath(site.structureFolder(), year));
}

} // namespace tk
