#include "cli/Wording.h"

#include "enrol/Refusals.h"
#include "platform/FileServices.h"
#include "platform/NumberedFailure.h"
#include "register/RegisterLock.h"

namespace tk::cli {

namespace {

QString pageOf(const QString& folder)
{
    return nativePath(joinPath(folder, QStringLiteral("index.htm")));
}

QString listed(const QStringList& names)
{
    return names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", "));
}

} // namespace

QString failureText(const FailureReport& failure)
{
    return QStringLiteral("%1 failed for %2: %3 (error %4).")
        .arg(failure.operation, nativePath(failure.path), failureMeaning(failure.number),
             QString::number(failure.number));
}

QString masterPageProblem(const SiteData& site, PageState state)
{
    switch (state) {
    case PageState::Short:
        return QStringLiteral("The master student page %1 is shorter than 100 bytes, so it looks "
                              "damaged.  Restore it from a backup.")
            .arg(pageOf(site.masterFolder()));
    case PageState::Missing:
        return QStringLiteral("The master student page %1 is missing: every student's folder "
                              "is copied from its folder.  Restore that folder from a backup "
                              "(Ilvantis v4.0 and later make it with the structure).")
            .arg(pageOf(site.masterFolder()));
    case PageState::Unreadable:
        return QStringLiteral("The master student page %1 cannot be read.")
            .arg(pageOf(site.masterFolder()));
    case PageState::NoPlaceholder:
        return QStringLiteral("The master student page %1 does not hold the words \"New "
                              "Student\", which every new student's page shows in their name's "
                              "place.  Put them back where the name belongs, or restore the page "
                              "from a backup.")
            .arg(pageOf(site.masterFolder()));
    case PageState::Sound:
        break;
    }
    return QString();
}

QString classPageProblem(const SiteData& site, const Student& student, PageState state)
{
    if (state == PageState::Short)
        return QStringLiteral("The class page %1 is shorter than 100 bytes, so it looks damaged.  "
                              "Check it, and restore it from a backup if it is.")
            .arg(pageOf(student.classFolder()));
    // A year or class that no folder has can be too long to open at all.
    const QStringList years = yearsOnDisk(site);
    if (!years.contains(student.year()))
        return QStringLiteral("There is no year %1 in %2.  Its years are: %3.")
            .arg(refusals::quoted(student.year()), nativePath(site.structureFolder()),
                 listed(years));
    const QStringList classes = classesOnDisk(site, student.year());
    if (!classes.contains(student.className()))
        return QStringLiteral("There is no class %1 in %2.  Its classes are: %3.")
            .arg(refusals::quoted(student.className()),
                 nativePath(joinPath(site.structureFolder(), student.year())), listed(classes));
    if (state == PageState::Unreadable)
        return QStringLiteral("The class page %1 cannot be read.")
            .arg(pageOf(student.classFolder()));
    return QStringLiteral("The class page %1 is missing.").arg(pageOf(student.classFolder()));
}

QString lockedProblem(const SiteData& site, const QString& holder)
{
    const QString lock = nativePath(RegisterLock::pathIn(site.appFolder));
    const QString where = holder.isEmpty() ? QString() : QStringLiteral(" on %1").arg(holder);
    return QStringLiteral("Another copy of tkaddstudent%2 is changing the register (it holds the "
                          "lock file %1).  Wait a moment and run the command again; if no other "
                          "copy is running on another computer, delete %1 first.")
        .arg(lock, where);
}

QString afterRegisteredText(const FailureReport& failure)
{
    return QStringLiteral("The students are registered, but the folder %1 could not be flushed "
                          "to disk (error %2): a power cut now could still lose them.")
        .arg(nativePath(failure.path), QString::number(failure.number));
}

QString lockLeftText(const FailureReport& failure)
{
    return QStringLiteral("The lock file %1 could not be removed (error %2), so every other copy "
                          "of tkaddstudent waits for it: delete it.")
        .arg(nativePath(failure.path), QString::number(failure.number));
}

QString registerChangedProblem(const QString& problem)
{
    return QStringLiteral("tkshrtct.dat was changed since this command started, and it can no "
                          "longer be read: %1")
        .arg(problem);
}

QString stopText(const SiteData& site, const EnrolmentResult& result)
{
    using Stop = EnrolmentResult::Stop;
    switch (result.stop) {
    case Stop::None:
        return QString();
    case Stop::MasterPageShort:
        return masterPageProblem(site, PageState::Short);
    case Stop::ClassPageShort:
        return QStringLiteral("The class page %1 is shorter than 100 bytes, so it looks damaged.  "
                              "Check it, and restore it from a backup if it is.")
            .arg(pageOf(result.pagePath));
    case Stop::MasterMissing:
        return masterPageProblem(site, PageState::Missing);
    case Stop::MasterNoPlaceholder:
        return masterPageProblem(site, PageState::NoPlaceholder);
    case Stop::Locked:
        return lockedProblem(site, result.lockHolder);
    case Stop::RegisterUnreadable:
        return registerChangedProblem(result.problem);
    case Stop::Refused:
        return result.problem;
    case Stop::Interrupted:
        return QStringLiteral("Stopped on request before every student was added.");
    case Stop::PathMissing:
    case Stop::Failed:
        break;
    }
    return failureText(*result.failure);
}

int statusOf(const EnrolmentResult& result)
{
    using Stop = EnrolmentResult::Stop;
    switch (result.stop) {
    case Stop::None:
        return ExitStatus::Added;
    case Stop::MasterPageShort:
    case Stop::MasterNoPlaceholder:
    case Stop::ClassPageShort:
    case Stop::MasterMissing:
        return ExitStatus::PageOrPath;
    case Stop::Refused:
        return ExitStatus::Refused;
    case Stop::PathMissing:
        if (!result.changedAnything())
            return ExitStatus::PageOrPath;
        break;
    case Stop::Interrupted:
    case Stop::Failed:
    case Stop::Locked:
    case Stop::RegisterUnreadable:
        break;
    }
    return result.changedAnything() ? ExitStatus::FailedAfterChange : ExitStatus::FailedUnchanged;
}

QString foldersLeftText(const QStringList& folders)
{
    QStringList native;
    for (const QString& folder : folders)
        native << QStringLiteral("  ") + nativePath(folder);
    return QStringLiteral("These folders were made for students who are not in the register, "
                          "and could not be removed again; the next run of tkaddstudent on this "
                          "intranet finishes or removes them:\n")
        + native.join(QLatin1Char('\n'));
}

QString leftoversText(const Leftovers& leftovers)
{
    return QStringLiteral("An earlier run was stopped part way; this one finished its work: %1 "
                          "student%2 registered, %3 folder%4 it had not put in place removed.")
        .arg(leftovers.registered)
        .arg(leftovers.registered == 1 ? QString() : QStringLiteral("s"))
        .arg(leftovers.removed)
        .arg(leftovers.removed == 1 ? QString() : QStringLiteral("s"));
}

QString nextStepText(const QStringList& classFolders)
{
    QStringList pages;
    for (const QString& folder : classFolders)
        pages << QStringLiteral("  ") + pageOf(folder);
    return QStringLiteral("Next: link each new student's page from the class page, which this "
                          "program never edits:\n")
        + pages.join(QLatin1Char('\n'));
}

bool linksClassPages(const SiteData& site, const std::optional<bool>& asked)
{
    return asked ? *asked : classPageLinksWanted(site.appFolder);
}

QString classPageLinksText(const QList<ClassPageLinks>& pages,
                           const std::function<QString(qsizetype)>& nameOf, bool planned)
{
    QStringList lines;
    for (const ClassPageLinks& page : pages) {
        QStringList parts;
        QStringList linked;
        for (const qsizetype i : page.linked())
            linked << nameOf(i);
        if (!linked.isEmpty())
            parts << (planned ? QStringLiteral("will link ") : QStringLiteral("linked "))
                    + linked.join(QStringLiteral(", "));
        QStringList notLinked;
        QStringList byHand;
        for (const PageLinkOutcome& outcome : page.notLinked()) {
            notLinked << QStringLiteral("%1 (%2)").arg(nameOf(outcome.student),
                                                       linkProblemText(outcome.problem));
            if (!outcome.byHand.isEmpty())
                byHand << QStringLiteral("  add by hand: ") + outcome.byHand;
        }
        if (!notLinked.isEmpty())
            parts << (planned ? QStringLiteral("cannot link ") : QStringLiteral("did not link "))
                    + notLinked.join(QStringLiteral(", "));
        lines << QStringLiteral("Class page %1: %2.")
                     .arg(pageOf(page.classFolder), parts.join(QStringLiteral("; ")));
        lines << byHand;
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace tk::cli
