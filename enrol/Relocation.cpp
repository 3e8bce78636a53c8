#include "enrol/Relocation.h"

#include "enrol/ChangeLog.h"
#include "platform/FileServices.h"
#include "platform/NumberedFailure.h"
#include "register/RegisterLock.h"
#include "register/RegisterReader.h"

#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace tk {

namespace {

using Kind = RelocationRequest::Kind;
using Verdict = RelocationPlan::Verdict;

// Seconds, and no colon, which Windows refuses in a name.
const QString stampFormat = QStringLiteral("yyyy-MM-dd HH-mm-ss");

QString actionOf(Kind kind)
{
    static const QString actions[] = {QStringLiteral("remove"), QStringLiteral("move"),
                                      QStringLiteral("restore")};
    return actions[static_cast<int>(kind)];
}

bool sameText(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// A register written by hand may name anything; nothing it names may lead
// a move outside the student's class.
bool isPlainName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}

// Only the folders that are there, named as they are: what the operator types
// can never reach past them.
bool classExists(const SiteData& site, const QString& year, const QString& className)
{
    return yearsOnDisk(site).contains(year) && classesOnDisk(site, year).contains(className);
}

bool storable(const QString& account)
{
    return !account.isEmpty() && account == account.trimmed()
        && std::none_of(account.begin(), account.end(), [](QChar c) {
               return c == QLatin1Char(',') || c == QLatin1Char('"')
                   || c.category() == QChar::Other_Control;
           });
}

RelocationPlan refused(RelocationPlan plan, Verdict verdict)
{
    plan.verdict = verdict;
    return plan;
}

// The link keeps the name the old class page gives the student, where it
// gives one, and is noted with the change so that a run finishing it links
// the same.
RelocationPlan noted(const SiteData& site, const RelocationRequest& request, RelocationPlan plan,
                     const QString& from, const QString& to,
                     const std::optional<RegisterRecord>& oldRow,
                     const std::optional<RegisterRecord>& newRow)
{
    plan.note = {actionOf(request.kind),
                 folderInSite(site.appFolder, from),
                 folderInSite(site.appFolder, to),
                 oldRow,
                 newRow,
                 std::nullopt};
    if (files::nameExists(to))
        return refused(plan, Verdict::FolderTaken);
    plan.verdict = Verdict::Ready;
    if (request.linkClassPages) {
        const RegisterRecord& row = newRow ? *newRow : *oldRow;
        const QString oldClassFolder = oldRow
            ? site.classFolder(oldRow->yearName, oldRow->className)
            : QString();
        plan.note.link = pageStudentFor(oldClassFolder, row.folderName, row.accountName);
        plan.pages = relocateClassPageLinks(site.appFolder, plan.note, false);
    }
    return plan;
}

std::optional<RegisterRecord> rowTaking(const ShortcutRegister& current, const RegisterRecord& row,
                                        bool account)
{
    for (const RegisterRecord& other : current.rows)
        if ((account && sameText(other.accountName, row.accountName))
            || (sameText(other.folderName, row.folderName)
                && sameText(other.className, row.className)
                && sameText(other.yearName, row.yearName)))
            return other;
    return std::nullopt;
}

// A line that takes the register past what this program reads back would
// leave a register that no later run can open.
bool registerCanTake(const ShortcutRegister& current, const RegisterRecord& row, bool added)
{
    return (!added || current.rowCount() < maxRegisterRows)
        && (current.years.contains(row.yearName) || current.years.size() < maxYears)
        && (current.classes.contains(row.className) || current.classes.size() < maxClasses);
}

RelocationPlan planRestore(const SiteData& site, const ShortcutRegister& current,
                           const RelocationRequest& request)
{
    static const QRegularExpression heldName(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d-\\d\\d-\\d\\d (.+)$"));
    RelocationPlan plan;
    const QString holding = joinPath(site.appFolder, holdingFolderName);
    const QRegularExpressionMatch match = heldName.match(request.held);
    if (!match.hasMatch() || !files::subfolderNames(holding).contains(request.held))
        return refused(plan, Verdict::NotHeld);
    plan.row = {request.student.account, match.captured(1), request.toClass, request.toYear};
    if (!isPlainName(plan.row.folderName))
        return refused(plan, Verdict::OddFolder);
    if (!storable(plan.row.accountName))
        return refused(plan, Verdict::BadAccount);
    if (!classExists(site, request.toYear, request.toClass))
        return refused(plan, Verdict::NoSuchClass);
    if (!registerCanTake(current, plan.row, true))
        return refused(plan, Verdict::RegisterFull);
    if (const auto other = rowTaking(current, plan.row, true)) {
        plan.row = *other;
        return refused(plan, Verdict::RowTaken);
    }
    const QString to = joinPath(site.classFolder(request.toYear, request.toClass),
                                plan.row.folderName);
    return noted(site, request, plan, joinPath(holding, request.held), to, std::nullopt, plan.row);
}

// Whether a stopped run was making this very change, which this run then finished.
bool sameChange(const RelocationNote& note, const RelocationRequest& request)
{
    if (note.action != actionOf(request.kind))
        return false;
    if (request.kind == Kind::Restore)
        return note.newRow && sameText(note.newRow->accountName, request.student.account)
            && note.from.endsWith(QLatin1Char('/') + request.held);
    return note.oldRow && request.student.picks(*note.oldRow)
        && (request.kind == Kind::Remove
            || (note.newRow && (request.toYear.isEmpty() || note.newRow->yearName == request.toYear)
                && (request.toClass.isEmpty() || note.newRow->className == request.toClass)));
}

class Relocation
{
public:
    Relocation(const SiteData& site, const RelocationRequest& request)
        : m_site(site)
        , m_request(request)
    {
    }

    RelocationResult go()
    {
        std::unique_ptr<RegisterLock> lock;
        try {
            lock = RegisterLock::acquire(m_site.appFolder);
        } catch (const NumberedFailure& failure) {
            return fail(failure);
        }
        if (!lock) {
            m_result.stop = Stop::Locked;
            m_result.lockHolder = RegisterLock::holderComputer(m_site.appFolder);
            return m_result;
        }
        try {
            underLock(*lock);
        } catch (const StartupError& error) {
            m_result.stop = Stop::RegisterUnreadable;
            m_result.problem = error.problem();
        } catch (const NumberedFailure& failure) {
            fail(failure);
        }
        if (const std::optional<NumberedFailure> failure = lock->release())
            m_result.lockLeft = FailureReport::of(*failure);
        return m_result;
    }

private:
    using Stop = RelocationResult::Stop;

    RelocationResult fail(const NumberedFailure& failure)
    {
        m_result.stop = Stop::Failed;
        m_result.failure = FailureReport::of(failure);
        return m_result;
    }

    QString inSite(const QString& relative) const { return joinPath(m_site.appFolder, relative); }

    void underLock(const RegisterLock& lock)
    {
        m_result.leftovers = finishInterruptedWork(m_site, lock);
        for (const RelocationNote& note : m_result.leftovers.relocated)
            if (sameChange(note, m_request)) {
                m_result.finishedEarlier = true;
                m_result.plan.verdict = Verdict::Ready;
                m_result.plan.note = note;
                m_result.plan.row = note.oldRow ? *note.oldRow : *note.newRow;
                m_result.pages = m_result.leftovers.relinked;
                return;
            }
        const ShortcutRegister current = reloadRegister(m_site.appFolder, m_site.shortcuts);
        m_result.plan = planRelocation(m_site, current, m_request);
        if (m_result.plan.verdict != Verdict::Ready) {
            m_result.stop = Stop::Refused;
            return;
        }
        const RelocationNote& note = m_result.plan.note;
        writeRelocationNote(m_site.appFolder, note);
        if (!change(current, note, lock))
            return;
        // After the register, so that a page that cannot be edited leaves the
        // change made, and the operator edits it by hand as the report says.
        m_result.pages = relocateClassPageLinks(m_site.appFolder, note, true);
        m_result.logLeft = appendToChangeLog(m_site.appFolder,
                                             {{note.action, m_result.plan.row.accountName, note.to,
                                               note.from}});
        // Left behind, the note is dropped by the next run: the register matches it.
        try {
            files::removeFileIfPresent(journalPathIn(m_site.appFolder));
        } catch (const NumberedFailure&) {
        }
    }

    // The folder first, so that the register never names a student whose
    // folder is not in place; put back when the register cannot follow it.
    bool change(const ShortcutRegister& current, const RelocationNote& note,
                const RegisterLock& lock)
    {
        const QString from = inSite(note.from);
        const QString to = inSite(note.to);
        bool moved = false;
        bool madeHolding = false;
        const QString holding = inSite(holdingFolderName);
        try {
            if (m_request.kind == Kind::Remove && !m_result.plan.folderGone
                && !files::nameExists(holding)) {
                files::makeFolder(holding);
                madeHolding = true;
            }
            if (!m_result.plan.folderGone) {
                if (!files::moveUnlessTaken(from, to))
                    throw NumberedFailure(FailureNumber::PathFileAccess,
                                          QStringLiteral("Move folder"), to);
                moved = true;
                files::syncFolder(QFileInfo(to).path());
                files::syncFolder(QFileInfo(from).path());
            }
            updateRegisterFor(m_site.appFolder, current, note, lock);
            return true;
        } catch (const NumberedFailure& failure) {
            fail(failure);
        }
        try {
            if (moved && !files::moveUnlessTaken(to, from))
                m_result.leftHalfway = true;
        } catch (const NumberedFailure&) {
            m_result.leftHalfway = true;
        }
        // Kept, the note lets the next run finish what cannot be undone now.
        if (!m_result.leftHalfway) {
            try {
                if (madeHolding)
                    files::removeFolderTree(holding); // empty again, and this run's own
                files::removeFileIfPresent(journalPathIn(m_site.appFolder));
            } catch (const NumberedFailure&) {
            }
        }
        return false;
    }

    const SiteData& m_site;
    const RelocationRequest& m_request;
    RelocationResult m_result;
};

} // namespace

bool StudentChoice::picks(const RegisterRecord& row) const
{
    if (!account.isEmpty())
        return sameText(row.accountName, account);
    return sameText(row.yearName, year) && sameText(row.className, className)
        && sameText(row.folderName, folder);
}

RelocationPlan planRelocation(const SiteData& site, const ShortcutRegister& current,
                              const RelocationRequest& request)
{
    if (request.kind == Kind::Restore)
        return planRestore(site, current, request);
    RelocationPlan plan;
    for (const RegisterRecord& row : current.rows)
        if (request.student.picks(row) && plan.matches++ == 0)
            plan.row = row;
    if (plan.matches == 0)
        return refused(plan, Verdict::NotRegistered);
    if (plan.matches > 1)
        return refused(plan, Verdict::Ambiguous);
    const RegisterRecord row = plan.row;
    if (!isPlainName(row.folderName) || !isPlainName(row.className) || !isPlainName(row.yearName))
        return refused(plan, Verdict::OddFolder);
    const QString from = joinPath(site.classFolder(row.yearName, row.className), row.folderName);
    plan.folderGone = !files::nameExists(from);
    QString to;
    std::optional<RegisterRecord> newRow;
    if (request.kind == Kind::Remove) {
        to = joinPath(joinPath(site.appFolder, holdingFolderName),
                      QDateTime::currentDateTime().toString(stampFormat) + QLatin1Char(' ')
                          + row.folderName);
    } else {
        newRow = {row.accountName, row.folderName,
                  request.toClass.isEmpty() ? row.className : request.toClass,
                  request.toYear.isEmpty() ? row.yearName : request.toYear};
        if (!classExists(site, newRow->yearName, newRow->className))
            return refused(plan, Verdict::NoSuchClass);
        if (newRow->yearName == row.yearName && newRow->className == row.className)
            return refused(plan, Verdict::SameClass);
        if (plan.folderGone)
            return refused(plan, Verdict::FolderGone);
        if (!registerCanTake(current, *newRow, false))
            return refused(plan, Verdict::RegisterFull);
        if (const auto other = rowTaking(current, *newRow, false)) {
            plan.row = *other;
            return refused(plan, Verdict::RowTaken);
        }
        to = joinPath(site.classFolder(newRow->yearName, newRow->className), row.folderName);
    }
    return noted(site, request, plan, from, to, row, newRow);
}

RelocationResult relocate(const SiteData& site, const RelocationRequest& request)
{
    return Relocation(site, request).go();
}

} // namespace tk
