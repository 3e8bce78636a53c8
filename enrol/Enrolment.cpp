#include "enrol/Enrolment.h"

#include "enrol/Refusals.h"
#include "enrol/TemplateCopy.h"
#include "platform/FileServices.h"
#include "platform/FolderCopy.h"
#include "platform/NumberedFailure.h"
#include "register/RegisterLock.h"
#include "register/RegisterReader.h"
#include "register/RegisterWriter.h"

#include <QHash>

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

bool isMissing(int number)
{
    return number == FailureNumber::FileNotFound || number == FailureNumber::PathNotFound;
}

PageState stateOfPage(const QString& folder)
{
    try {
        return pageLooksSound(folder) ? PageState::Sound : PageState::Short;
    } catch (const NumberedFailure& failure) {
        return isMissing(failure.number()) ? PageState::Missing : PageState::Unreadable;
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

QStringList distinctClassFolders(const QList<Enrollee>& enrollees)
{
    QStringList folders;
    for (const Enrollee& enrollee : enrollees)
        if (!folders.contains(enrollee.student.classFolder()))
            folders << enrollee.student.classFolder();
    return folders;
}

} // namespace

Enrolment::Enrolment(const SiteData& site, QList<Enrollee> enrollees, Repeats repeats)
    : m_site(site)
    , m_enrollees(std::move(enrollees))
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
    return stateOfPage(site.masterFolder());
}

PageState classPageOf(const Student& student)
{
    return stateOfPage(student.classFolder());
}

QList<StudentReport> Enrolment::check(const ShortcutRegister& current, bool lookOnDisk) const
{
    RegisterCheck registerCheck(current);
    QHash<QString, PageState> classPages;
    QList<StudentReport> reports;
    reports.reserve(m_enrollees.size());
    for (const Enrollee& enrollee : m_enrollees) {
        const Student& student = enrollee.student;
        if (m_repeats == Repeats::Skip && registerCheck.rowNaming(student)
            && files::nameExists(student.folder())) {
            reports.append({StudentOutcome::AlreadyAdded, {}, {}});
            continue;
        }
        std::optional<QString> refusal;
        if (pathsAreLimited)
            refusal = refusals::ofPathLength(student, templateDepth());
        if (!refusal)
            refusal = registerCheck.refusalFor(student, enrollee.line);
        if (refusal) {
            reports.append({StudentOutcome::Refused, *refusal, {}});
            continue;
        }
        if (lookOnDisk) {
            const auto page = classPages.constFind(student.classFolder());
            const PageState state = page != classPages.constEnd()
                ? *page
                : *classPages.insert(student.classFolder(), classPageOf(student));
            if (state != PageState::Sound) {
                reports.append({StudentOutcome::PageOrPath, {}, state});
                continue;
            }
            if (files::nameExists(student.folder())) {
                reports.append({StudentOutcome::FolderExists, {}, {}});
                continue;
            }
        }
        reports.append({StudentOutcome::ToAdd, {}, {}});
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
        m_result.students.resize(enrolment.enrollees().size());
    }

    EnrolmentResult go()
    {
        if (pagesAreSound())
            addUnderLock();
        return std::move(m_result);
    }

private:
    using Stop = EnrolmentResult::Stop;

    const Student& student(qsizetype i) const { return m_enrolment.enrollees().at(i).student; }

    void stop(Stop why, const std::optional<FailureReport>& failure = std::nullopt)
    {
        m_result.stop = why;
        m_result.failure = failure;
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
        } catch (const NumberedFailure& failure) {
            stop(Stop::MasterCheckFailed, FailureReport::of(failure));
            return false;
        }
        for (const QString& classFolder : distinctClassFolders(m_enrolment.enrollees())) {
            bool sound = true;
            if (auto failure = failureOf([&] { sound = pageLooksSound(classFolder); })) {
                stop(Stop::Failed, failure);
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
            stop(Stop::Failed, failure);
            return;
        }
        if (!lock) {
            stop(Stop::Locked);
            return;
        }
        // Another copy may have added students since this one read the register.
        ShortcutRegister current;
        try {
            current = reloadRegister(m_site.appFolder, m_site.shortcuts);
        } catch (const StartupError& error) {
            m_result.problem = error.problem();
            stop(Stop::RegisterUnreadable);
            return;
        }
        if (!acceptedAgainst(current))
            return;
        const QList<qsizetype> made = makeFolders();
        if (!made.isEmpty())
            registerStudents(current, made, *lock);
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

    QList<qsizetype> makeFolders()
    {
        QList<qsizetype> made;
        for (qsizetype i = 0; i < m_result.students.size(); ++i) {
            if (m_result.students[i].outcome == StudentOutcome::AlreadyAdded)
                continue;
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
        const Student& s = student(i);
        bool folderMade = false;
        const auto failure = failureOf([&] {
            files::makeFolder(s.folder());
            folderMade = true;
            fillStudentFolder(m_site.masterFolder(), s.folder(), s.fullName());
        });
        if (!failure)
            return true;
        stop(Stop::Failed, failure);
        m_result.students[i].outcome = StudentOutcome::Failed;
        // A folder that was there before this run is never touched.
        if (folderMade)
            removeUnregistered(s.folder());
        return false;
    }

    void registerStudents(const ShortcutRegister& current, const QList<qsizetype>& made,
                          const RegisterLock& lock)
    {
        if (m_progress.registering)
            m_progress.registering(made.size());
        QList<RegisterRecord> records;
        QStringList classFolders;
        for (const qsizetype i : made) {
            records << student(i).record();
            if (!classFolders.contains(student(i).classFolder()))
                classFolders << student(i).classFolder();
        }
        const auto failure = failureOf([&] {
            // The register never names a student whose files a power cut could take.
            for (const QString& classFolder : classFolders)
                files::syncFileSystemOf(classFolder);
            if (const auto late = updateRegister(m_site.appFolder, current, records, lock))
                m_result.afterRegistered = FailureReport::of(*late);
        });
        for (const qsizetype i : made)
            m_result.students[i].outcome = failure ? StudentOutcome::Failed : StudentOutcome::Added;
        if (!failure)
            return;
        if (!m_result.failure)
            stop(Stop::Failed, failure);
        for (const qsizetype i : made)
            removeUnregistered(student(i).folder());
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
