#include "cli/RelocationCommand.h"

#include "cli/SiteCommand.h"
#include "cli/Wording.h"
#include "enrol/ChangeLog.h"
#include "enrol/Refusals.h"
#include "platform/FileServices.h"
#include "platform/SystemText.h"

#include <QRegularExpression>

namespace tk::cli {

namespace {

using Kind = RelocationRequest::Kind;
using Verdict = RelocationPlan::Verdict;

const QCommandLineOption account = valueOption(
    "account", "The student's account, as the register holds it (any letter case).", "account");
const QCommandLineOption year = valueOption("year", "The scholastic year.", "year");
const QCommandLineOption className = valueOption("class", "The class.", "class");
const QCommandLineOption folder = valueOption("folder", "The student's folder name.", "name");
const QCommandLineOption toYear = valueOption(
    "to-year", "The year to move the student to (default: the same year).", "year");
const QCommandLineOption toClass = valueOption(
    "to-class", "The class to move the student to (default: the same class).", "class");
const QCommandLineOption held = valueOption(
    "held", "The student's folder in removed/, as remove printed it.", "name");
const QCommandLineOption dryRun{QStringLiteral("dry-run"),
                                QStringLiteral("Show what would happen; change nothing.")};

// How each verb names itself, in the order of RelocationRequest::Kind.
struct Verb
{
    QString name;
    QString synopsis;
    QString summary;
    QString notDone;
    QString question;
};

const Verb verbs[] = {
    {QStringLiteral("remove"),
     QStringLiteral(
         "remove --account A | --year Y --class C --folder F [--dry-run] [--link | --no-link]"),
     QStringLiteral("Take a student out of the register; the folder is kept in removed/."),
     QStringLiteral("Not removed: "), QStringLiteral("Remove this student?")},
    {QStringLiteral("move"),
     QStringLiteral("move --account A | --year Y --class C --folder F [--to-year Y] --to-class C "
                    "[--dry-run] [--link | --no-link]"),
     QStringLiteral("Move a student's folder and line to another class or year."),
     QStringLiteral("Not moved: "), QStringLiteral("Move this student?")},
    {QStringLiteral("restore"),
     QStringLiteral(
         "restore --held NAME --account A --year Y --class C [--dry-run] [--link | --no-link]"),
     QStringLiteral("Put a removed student back, as remove printed it."),
     QStringLiteral("Not put back: "), QStringLiteral("Put this student back?")},
};

const Verb& verbOf(Kind kind)
{
    return verbs[static_cast<int>(kind)];
}

QString listed(const QStringList& names)
{
    return names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", "));
}

// As a shell and cmd.exe both take it back, pasted.
QString shellWord(const QString& value)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./:@+\\\\-]+$"));
    return plain.match(value).hasMatch() ? value : QLatin1Char('"') + value + QLatin1Char('"');
}

// A file or folder of the intranet, as the operator's system writes its path.
QString shownIn(const SiteData& site, const QString& relative)
{
    return nativePath(joinPath(site.appFolder, relative));
}

QString lineOf(const RegisterRecord& row)
{
    return QLatin1Char('"') + row.text() + QLatin1Char('"');
}

QString missing(const QCommandLineParser& parser, const QList<QCommandLineOption>& options)
{
    for (const QCommandLineOption& option : options)
        if (!parser.isSet(option))
            return QStringLiteral("Missing %1.").arg(optionName(option));
    return QString();
}

// Remove and move name a registered student by the account, or by the year,
// the class and the folder.
QString studentChoiceProblem(const QCommandLineParser& parser)
{
    const QList<QCommandLineOption> byFolder{year, className, folder};
    if (parser.isSet(account)) {
        for (const QCommandLineOption& option : byFolder)
            if (parser.isSet(option))
                return QStringLiteral("--account names the student: leave out %1.")
                    .arg(optionName(option));
        return QString();
    }
    if (!parser.isSet(year) && !parser.isSet(className) && !parser.isSet(folder))
        return QStringLiteral("Name the student: --account A, or --year Y --class C --folder F.");
    return missing(parser, byFolder);
}

// As add words it: one line a page, and the line to edit by hand where one is needed.
QString pageLines(const QList<PageChange>& pages, const QString& name, bool planned)
{
    QStringList lines;
    for (const PageChange& page : pages) {
        const PageLinkOutcome& outcome = page.outcome;
        if (!page.takenOut) {
            lines << classPageLinksText(
                {{page.classFolder, {outcome}}}, [&](qsizetype) { return name; }, planned);
            continue;
        }
        QString what = planned ? QStringLiteral("will take out the link to %1")
                               : QStringLiteral("took out the link to %1");
        if (outcome.problem != LinkProblem::None)
            what = (planned ? QStringLiteral("cannot take out a link to %1 (%2)")
                            : QStringLiteral("did not take out a link to %1 (%2)"))
                       .arg(QStringLiteral("%1"), linkProblemText(outcome.problem));
        lines << QStringLiteral("Class page %1: %2.")
                     .arg(nativePath(joinPath(page.classFolder, QStringLiteral("index.htm"))),
                          what.arg(name));
        if (!outcome.byHand.isEmpty())
            lines << QStringLiteral("  take out by hand: ") + outcome.byHand;
    }
    return lines.join(QLatin1Char('\n'));
}

class RelocationFace : public SiteCommand
{
public:
    RelocationFace(const QCommandLineParser& parser, RelocationRequest request,
                   const Console& console)
        : SiteCommand(parser.value(intranetOption()), parser.isSet(yesOption()), console)
        , m_request(std::move(request))
        , m_verb(verbOf(m_request.kind))
        , m_dryRun(parser.isSet(dryRun))
        , m_link(linksAsked(parser))
    {
    }

protected:
    int runOn(const SiteData& site) override
    {
        m_request.linkClassPages = linksClassPages(site, m_link);
        const RelocationPlan plan = planRelocation(site, site.shortcuts, m_request);
        // A stopped run may have left what makes this one possible or needless:
        // only the run under the lock, which finishes it first, can tell. That
        // run would change what nobody was shown, so it needs --yes, and a
        // preview never starts it.
        if (plan.verdict != Verdict::Ready) {
            const bool stoppedRun = files::nameExists(journalPathIn(site.appFolder));
            if (!stoppedRun || m_dryRun || !assumesYes())
                return refuse(site, plan, stoppedRun);
        }
        if (plan.verdict == Verdict::Ready) {
            if (m_dryRun) {
                say(preview(site, plan));
                say(QStringLiteral("--dry-run: nothing was changed."));
                return ExitStatus::Added;
            }
            int status = ExitStatus::Refused;
            if (!confirmed(preview(site, plan), &status))
                return status;
        }
        return report(site, relocate(site, m_request));
    }

private:
    int refuse(const SiteData& site, const RelocationPlan& plan, bool stoppedRun = false) const
    {
        complain(m_verb.notDone + refusal(site, plan));
        if (stoppedRun)
            complain(QStringLiteral("An earlier run was stopped part way, and finishing it may "
                                    "change this.  Run the command again with --yes, and without "
                                    "--dry-run, to finish that run first and then do this if it "
                                    "can be done."));
        complain(QStringLiteral("Nothing was changed."));
        if (plan.verdict == Verdict::NoSuchClass)
            return ExitStatus::PageOrPath;
        return plan.verdict == Verdict::FolderTaken ? ExitStatus::FailedUnchanged
                                                    : ExitStatus::Refused;
    }

    QString refusal(const SiteData& site, const RelocationPlan& plan) const
    {
        const StudentChoice& choice = m_request.student;
        const QString newYear = m_request.toYear.isEmpty() ? plan.row.yearName : m_request.toYear;
        const QString newClass = m_request.toClass.isEmpty() ? plan.row.className
                                                             : m_request.toClass;
        const QString dat = shownIn(site, registerFileName);
        switch (plan.verdict) {
        case Verdict::NotRegistered:
            if (!choice.account.isEmpty())
                return QStringLiteral("No line of the register %1 names the account %2.")
                    .arg(dat, refusals::quoted(choice.account));
            return QStringLiteral("No line of the register %1 names the folder %2 in %3, %4.")
                .arg(dat, refusals::quoted(choice.folder), choice.year, choice.className);
        case Verdict::Ambiguous:
            return QStringLiteral("%1 lines of the register name the account %2 in different "
                                  "letter cases: name the student by --year, --class and "
                                  "--folder instead.")
                .arg(plan.matches)
                .arg(refusals::quoted(choice.account));
        case Verdict::OddFolder:
            return QStringLiteral("The line %1 names a year, class or folder that is no plain "
                                  "folder name, so this program leaves it alone: correct the line "
                                  "by hand.")
                .arg(lineOf(plan.row));
        case Verdict::NoSuchClass: {
            const QStringList years = yearsOnDisk(site);
            if (!years.contains(newYear))
                return QStringLiteral("There is no year %1 in %2.  Its years are: %3.")
                    .arg(refusals::quoted(newYear), nativePath(site.structureFolder()),
                         listed(years));
            return QStringLiteral("There is no class %1 in %2.  Its classes are: %3.")
                .arg(refusals::quoted(newClass),
                     nativePath(joinPath(site.structureFolder(), newYear)),
                     listed(classesOnDisk(site, newYear)));
        }
        case Verdict::SameClass:
            return QStringLiteral("The student is in %1, %2 already.")
                .arg(plan.row.yearName, plan.row.className);
        case Verdict::FolderGone:
            return QStringLiteral("The line %1 names a folder that is not there, so there is "
                                  "nothing to move: remove the student instead.")
                .arg(lineOf(plan.row));
        case Verdict::FolderTaken:
            return QStringLiteral("The folder %1 exists already: it may hold a student's work.  "
                                  "Look inside it before you move it anywhere, then run the "
                                  "command again.")
                .arg(shownIn(site, plan.note.to));
        case Verdict::RowTaken:
            return QStringLiteral("The register holds the line %1 already, for the same account "
                                  "or the same folder.")
                .arg(lineOf(plan.row));
        case Verdict::NotHeld:
            return QStringLiteral("There is no folder %1 in %2: name one of its folders, as "
                                  "remove printed it.")
                .arg(refusals::quoted(m_request.held), shownIn(site, holdingFolderName));
        case Verdict::BadAccount:
            return QStringLiteral("The account %1 cannot go into the register: it is blank, has "
                                  "blanks around it, or holds a comma, a double quote or a "
                                  "control character.")
                .arg(refusals::quoted(plan.row.accountName));
        case Verdict::RegisterFull:
            return QStringLiteral("The register %1 would then hold more than %2 students, %3 "
                                  "years or %4 classes, the most that this utility can read "
                                  "back.")
                .arg(dat, QString::number(maxRegisterRows), QString::number(maxYears),
                     QString::number(maxClasses));
        case Verdict::Ready:
            break;
        }
        return QString();
    }

    QString preview(const SiteData& site, const RelocationPlan& plan) const
    {
        const RelocationNote& note = plan.note;
        QString line = lineOf(note.oldRow ? *note.oldRow : *note.newRow);
        if (!note.newRow)
            line += QStringLiteral(", taken out of the register");
        else if (!note.oldRow)
            line += QStringLiteral(", put back into the register");
        else
            line += QStringLiteral(" becomes ") + lineOf(*note.newRow);
        QString text = m_verb.question + QStringLiteral("\n  account:  ") + plan.row.accountName
            + QStringLiteral("\n  line:     ") + line + QStringLiteral("\n  folder:   ")
            + shownIn(site, note.from);
        if (plan.folderGone)
            text += QStringLiteral(" (not there: only the line is taken out)");
        else
            text += QStringLiteral("\n  moved to: ") + shownIn(site, note.to);
        if (!plan.pages.isEmpty())
            text += QLatin1Char('\n') + pageLines(plan.pages, note.link->fullName(), true);
        return text;
    }

    QString done(const SiteData& site, const RelocationPlan& plan) const
    {
        const RelocationNote& note = plan.note;
        const QString from = shownIn(site, note.from);
        const QString to = shownIn(site, note.to);
        const QString dat = shownIn(site, registerFileName);
        if (m_request.kind == Kind::Move)
            return QStringLiteral("Moved %1: moved the folder %2 to %3 and changed the line in %4 "
                                  "to %5.  The home page is as it was.")
                .arg(plan.row.accountName, from, to, dat, lineOf(*note.newRow));
        if (m_request.kind == Kind::Restore)
            return QStringLiteral("Put back %1: moved the folder %2 to %3 and added the line %4 "
                                  "to %5.")
                .arg(plan.row.accountName, from, to, lineOf(*note.newRow), dat);
        if (plan.folderGone)
            return QStringLiteral("Removed %1: took the line %2 out of %3.  Its folder %4 was not "
                                  "there, so no folder was moved.")
                .arg(plan.row.accountName, lineOf(*note.oldRow), dat, from);
        return QStringLiteral("Removed %1: moved the folder %2 to %3 and took the line %4 out of "
                              "%5.")
            .arg(plan.row.accountName, from, to, lineOf(*note.oldRow), dat);
    }

    QString undo(const SiteData& site, const RelocationPlan& plan) const
    {
        const RelocationNote& note = plan.note;
        if (m_request.kind == Kind::Remove && plan.folderGone)
            return QStringLiteral("There is no folder to put back: add the student again to make "
                                  "one.");
        QStringList words;
        if (m_request.kind == Kind::Remove)
            words << QStringLiteral("restore") << QStringLiteral("--held")
                  << note.to.section(QLatin1Char('/'), -1) << QStringLiteral("--account")
                  << note.oldRow->accountName << QStringLiteral("--year") << note.oldRow->yearName
                  << QStringLiteral("--class") << note.oldRow->className;
        else if (m_request.kind == Kind::Move)
            words << QStringLiteral("move") << QStringLiteral("--account")
                  << note.oldRow->accountName << QStringLiteral("--to-year")
                  << note.oldRow->yearName << QStringLiteral("--to-class")
                  << note.oldRow->className;
        else
            words << QStringLiteral("remove") << QStringLiteral("--account")
                  << note.newRow->accountName;
        words << QStringLiteral("--intranet") << nativePath(site.appFolder);
        // The verb and the option names are plain words that stay as they are.
        for (QString& word : words)
            word = shellWord(word);
        return QStringLiteral("To undo it:\n  ") + consoleProgram + QLatin1Char(' ')
            + words.join(QLatin1Char(' '));
    }

    int report(const SiteData& site, const RelocationResult& result) const
    {
        using Stop = RelocationResult::Stop;
        if (result.leftovers.registered > 0 || result.leftovers.removed > 0)
            say(leftoversText(result.leftovers));
        if (result.leftovers.logNotWritten)
            complain(QStringLiteral("What the earlier run left was finished, but it could not be "
                                    "written to the log %1.")
                         .arg(shownIn(site, changeLogFileName)));
        for (const RelocationNote& note : result.leftovers.relocated)
            if (!result.finishedEarlier)
                say(QStringLiteral("An earlier run was stopped part way; this one finished its %1 "
                                   "of %2.")
                        .arg(note.action, (note.oldRow ? note.oldRow : note.newRow)->accountName));
        if (result.lockLeft)
            complain(lockLeftText(*result.lockLeft));
        switch (result.stop) {
        case Stop::None:
            if (result.finishedEarlier)
                say(QStringLiteral("An earlier run of this command was stopped part way; this one "
                                   "finished it."));
            say(done(site, result.plan));
            if (!result.pages.isEmpty())
                say(pageLines(result.pages, result.plan.note.link->fullName(), false));
            say(undo(site, result.plan));
            if (result.logLeft)
                complain(QStringLiteral("The change is made, but it could not be written to the "
                                        "log: %1")
                             .arg(failureText(*result.logLeft)));
            return ExitStatus::Added;
        case Stop::Refused:
            return refuse(site, result.plan);
        case Stop::Locked:
            complain(m_verb.notDone + lockedProblem(site, result.lockHolder));
            break;
        case Stop::RegisterUnreadable:
            complain(m_verb.notDone + registerChangedProblem(result.problem));
            break;
        case Stop::Failed:
            complain(m_verb.notDone + failureText(*result.failure));
            if (result.leftHalfway) {
                complain(QStringLiteral("The folder is at %1 now and could not be moved back; the "
                                        "next run of tkaddstudent on this intranet finishes the "
                                        "change.")
                             .arg(shownIn(site, result.plan.note.to)));
                return ExitStatus::FailedAfterChange;
            }
            break;
        }
        complain(QStringLiteral("Nothing was changed."));
        return ExitStatus::FailedUnchanged;
    }

    RelocationRequest m_request;
    const Verb& m_verb;
    bool m_dryRun;
    std::optional<bool> m_link; // --link or --no-link
};

} // namespace

QString RelocationCommand::name() const
{
    return verbOf(m_kind).name;
}

QStringList RelocationCommand::synopsis() const
{
    return {verbOf(m_kind).synopsis};
}

QString RelocationCommand::summary() const
{
    return verbOf(m_kind).summary;
}

QList<QCommandLineOption> RelocationCommand::options() const
{
    QList<QCommandLineOption> own{account, year, className};
    if (m_kind == Kind::Restore)
        own.prepend(held);
    else
        own << folder;
    if (m_kind == Kind::Move)
        own << toYear << toClass;
    return own + QList<QCommandLineOption>{dryRun, intranetOption(), yesOption()} + linkOptions();
}

QString RelocationCommand::usageProblem(const QCommandLineParser& parser) const
{
    if (m_kind == Kind::Restore) {
        if (QString problem = missing(parser, {held, account, year, className}); !problem.isEmpty())
            return problem;
        return linkProblem(parser);
    }
    if (m_kind == Kind::Move && !parser.isSet(toYear) && !parser.isSet(toClass))
        return QStringLiteral("Say where to: --to-class C, with --to-year Y for a class of "
                              "another year.");
    if (QString problem = linkProblem(parser); !problem.isEmpty())
        return problem;
    return studentChoiceProblem(parser);
}

int RelocationCommand::run(const QCommandLineParser& parser, const Console& console) const
{
    RelocationRequest request{m_kind,
                              {trimBlanks(parser.value(account)), trimBlanks(parser.value(year)),
                               trimBlanks(parser.value(className)),
                               trimBlanks(parser.value(folder))},
                              trimBlanks(parser.value(toYear)),
                              trimBlanks(parser.value(toClass)),
                              trimBlanks(parser.value(held))};
    // Restore's --year and --class say where the student goes back to.
    if (m_kind == Kind::Restore) {
        request.toYear = request.student.year;
        request.toClass = request.student.className;
    }
    return RelocationFace(parser, request, console).execute();
}

} // namespace tk::cli
