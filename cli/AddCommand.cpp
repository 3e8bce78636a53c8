#include "cli/AddCommand.h"
#include "cli/ListReport.h"
#include "cli/SiteCommand.h"
#include "cli/Wording.h"
#include "enrol/Refusals.h"
#include "lists/StudentListReader.h"
#include "platform/FileServices.h"
#include "platform/NumberedFailure.h"
#include "platform/StopRequests.h"
#include "platform/SystemText.h"

#include <QScopeGuard>
#include <QStringBuilder>

#include <algorithm>
#include <filesystem>
#include <utility>

namespace tk::cli {

namespace {

const QCommandLineOption surname = valueOption("surname", "The student's surname.", "name");
const QCommandLineOption given = valueOption("given", "The student's given or preferred name.",
                                             "name");
const QCommandLineOption year = valueOption("year", "The scholastic year.", "year");
const QCommandLineOption className = valueOption("class", "The class.", "class");
const QCommandLineOption login = valueOption("login", "The student's own login account, if any.",
                                             "account");
const QCommandLineOption from = valueOption(
    "from", "Add every student of a CSV list (\"-\": standard input).", "file");
const QCommandLineOption encoding = valueOption(
    "encoding",
    "The list's character set, when it is not found from the list (UTF-8, UTF-16, "
    "Windows-1252).",
    "name");
const QCommandLineOption dryRun{
    QStringLiteral("dry-run"),
    QStringLiteral("Show what would happen to each student of the list; change nothing.")};
const QCommandLineOption report = valueOption(
    "report", "Write what became of each row of the list to this CSV file.", "file");

const QList<QCommandLineOption> singleOnly{surname, given, year, className, login};
const QList<QCommandLineOption> listOnly{encoding, dryRun, report};

// A blank value, in the words of the command line, where the window's name
// its own fields: an option for one student, a column for a list's row.
QString blankProblem(const StudentInputs& typed, bool fromList)
{
    const struct
    {
        const QString& value;
        const char* option;
        const char* meaning;
    } fields[] = {{typed.surname, "surname", "surname"},
                  {typed.givenName, "given", "given name"},
                  {typed.year, "year", "year"},
                  {typed.className, "class", "class"}};
    for (const auto& field : fields) {
        if (!trimBlanks(field.value).isEmpty())
            continue;
        if (fromList)
            return QStringLiteral("The row's %1 is blank: fill it in in the list.")
                .arg(QLatin1String(field.meaning));
        return QStringLiteral("--%1 is blank: give the student's %2.")
            .arg(QLatin1String(field.option), QLatin1String(field.meaning));
    }
    return QString();
}

// A list of 100,000 bad rows must not bury the terminal: the report file
// holds every one.
constexpr int mostProblemsShown = 20;

// One row of the list, or the student of the command line, and what becomes of it.
struct Entry
{
    int line = 0;
    StudentInputs typed;
    QStringList held; // what a row that is no student holds
    std::optional<Student> student;
    StudentOutcome outcome = StudentOutcome::ToAdd;
    QString message;
    QString yearAsWritten; // where the list wrote the year otherwise than its folder
};

bool isProblem(StudentOutcome outcome)
{
    return outcome == StudentOutcome::Refused || outcome == StudentOutcome::PageOrPath
        || outcome == StudentOutcome::FolderExists;
}

QString outcomeWord(StudentOutcome outcome, bool previewing)
{
    switch (outcome) {
    case StudentOutcome::ToAdd:
        return previewing ? QStringLiteral("to add") : QStringLiteral("not reached");
    case StudentOutcome::Added:
        return QStringLiteral("added");
    case StudentOutcome::AlreadyAdded:
        return QStringLiteral("skipped");
    case StudentOutcome::Failed:
        return QStringLiteral("failed");
    case StudentOutcome::NotReached:
        return QStringLiteral("not reached");
    case StudentOutcome::Refused:
    case StudentOutcome::PageOrPath:
    case StudentOutcome::FolderExists:
        break;
    }
    return QStringLiteral("refused");
}

// "1 student", "2 students".
QString counted(qsizetype count, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(QString::number(count),
                                       QLatin1String(count == 1 ? one : many));
}

QString shown(const QString& value)
{
    const QString trimmed = trimBlanks(value);
    const QString quoted = refusals::quoted(trimmed);
    return quoted.size() == trimmed.size() + 2 ? trimmed : quoted;
}

QString describe(const Entry& entry)
{
    if (!entry.held.isEmpty()) {
        QStringList values;
        for (const QString& value : entry.held)
            values << refusals::quoted(value);
        return QStringLiteral("(holds %1: %2)")
            .arg(counted(values.size(), "value", "values"), values.join(QStringLiteral(", ")));
    }
    if (!entry.student)
        return QStringLiteral("%1 %2, %3, %4")
            .arg(shown(entry.typed.givenName), shown(entry.typed.surname), shown(entry.typed.year),
                 shown(entry.typed.className));
    const Student& s = *entry.student;
    const QString yearShown = entry.yearAsWritten.isEmpty()
        ? s.year()
        : QStringLiteral("%1 (written %2)").arg(s.year(), refusals::quoted(entry.yearAsWritten));
    // Built, not formatted: a preview says this of every student of a list.
    return s.fullName() % u", " % yearShown % u", " % s.className() % u", account "
        % s.accountName() % u", folder " % nativePath(s.folder());
}

class AddStudents : public SiteCommand
{
public:
    AddStudents(const QCommandLineParser& parser, const Console& console)
        : SiteCommand(parser.value(intranetOption()), parser.isSet(yesOption()), console)
        , m_parser(parser)
    {
    }

protected:
    int runOn(const SiteData& site) override
    {
        return m_parser.isSet(from) ? addList(site) : addOne(site);
    }

private:
    // What the pages got, and what went wrong once the students were
    // registered, however the run is reported.
    auto afterRun(const EnrolmentResult& result) const
    {
        return qScopeGuard([this, &result] {
            if (!result.classPages.isEmpty())
                say(pageLines(result.classPages, false));
            reportAftermath(result);
        });
    }

    int addOne(const SiteData& site)
    {
        StudentInputs typed;
        typed.surname = m_parser.value(surname);
        typed.givenName = m_parser.value(given);
        typed.loginAccount = m_parser.value(login);
        typed.year = m_parser.value(year);
        typed.className = m_parser.value(className);
        QString refusal = blankProblem(typed, false);
        std::optional<Student> student;
        if (refusal.isEmpty())
            student = Student::from(typed, site, &refusal);
        if (!student)
            return refuse(QStringLiteral("Not added: ") + refusal, ExitStatus::Refused);
        if (const PageState master = masterPageOf(site); master != PageState::Sound)
            return refuse(QStringLiteral("Not added: ") + masterPageProblem(site, master),
                          ExitStatus::PageOrPath);
        m_entries.append({0, typed, {}, student, StudentOutcome::ToAdd, {}, {}});
        Enrolment enrolment = checked(site, Enrolment::Repeats::Refuse);
        // Everything that can be known before anything is made is said
        // before the question, so that a Yes is never answered in vain.
        if (isProblem(m_entries.constFirst().outcome))
            return refuse(QStringLiteral("Not added: ") + m_entries.constFirst().message,
                          problemStatus());
        int status = ExitStatus::Refused;
        if (!confirmed(question(*student), &status))
            return status;
        const EnrolmentResult result = enrolment.run();
        const auto aftermath = afterRun(result);
        if (result.stop != EnrolmentResult::Stop::None) {
            complain(QStringLiteral("Not added: %1 (%2, %3).")
                         .arg(student->fullName(), student->year(), student->className()));
            reportStop(site, result);
            return statusOf(result);
        }
        say(QStringLiteral("Added %1: made the folder %2 and added the line \"%3\" to %4.")
                .arg(student->fullName(), nativePath(student->folder()), student->record().text(),
                     nativePath(joinPath(site.appFolder, registerFileName))));
        if (m_plannedPages.isEmpty())
            say(nextStepText({student->classFolder()}));
        return ExitStatus::Added;
    }

    int addList(const SiteData& site)
    {
        if (!m_parser.value(report).isEmpty()) {
            m_report = std::make_unique<ListReport>(m_parser.value(report));
            if (const QString problem = m_report->begin(site, m_parser.value(from));
                !problem.isEmpty())
                return refuse(problem, ExitStatus::Usage);
        }
        std::optional<StudentList> list = readList();
        if (!list)
            return ExitStatus::Usage;
        // However the command ends from here, even by an unforeseen failure.
        const auto unreported = qScopeGuard([this] { finish(0); });
        // What is wrong with the list as a whole leaves no row to speak of.
        QStringList whole;
        for (const ListProblem& problem : list->problems)
            if (problem.line == 0)
                whole << problem.text;
        if (!whole.isEmpty())
            return refuse(whole.join(QLatin1Char('\n')), ExitStatus::Usage);
        makeEntries(site, *list);
        if (const PageState master = masterPageOf(site); master != PageState::Sound)
            return refuse(masterPageProblem(site, master), ExitStatus::PageOrPath);
        Enrolment enrolment = checked(site, Enrolment::Repeats::Skip);
        if (m_parser.isSet(dryRun))
            return preview();
        if (const int status = refuseProblems())
            return status;
        if (count(StudentOutcome::ToAdd) == 0) {
            say(QStringLiteral("Every student of the list is in the register already: nothing "
                               "to do."));
            return finish(ExitStatus::Added);
        }
        int status = ExitStatus::Refused;
        if (!confirmed(question(site), &status))
            return finish(status);
        const StopRequests stops;
        return reportRun(site, enrolment.run(progress(stops)));
    }

    // Says why nothing was changed; the report, if any, is written.
    int refuse(const QString& why, int status)
    {
        complain(why + QStringLiteral("\nNothing was changed."));
        return finish(status);
    }

    std::optional<StudentList> readList() const
    {
        namespace fs = std::filesystem;
        const QString path = m_parser.value(from);
        std::error_code error;
        const fs::file_status status = fs::status(toFsPath(path), error);
        // A device would be read without end, and a folder is read as nothing.
        if (path != QLatin1String("-") && fs::exists(status) && !fs::is_regular_file(status)) {
            complain(QStringLiteral("The list %1 is %2, not a list: --from names the list's CSV "
                                    "file.")
                         .arg(nativePath(path),
                              fs::is_directory(status) ? QStringLiteral("a folder")
                                                       : QStringLiteral("a device or a pipe")));
            return std::nullopt;
        }
        try {
            return readStudentList(path == QLatin1String("-") ? m_console.readAllInput()
                                                              : files::readWholeFile(path),
                                   m_parser.value(encoding));
        } catch (const NumberedFailure& failure) {
            complain(QStringLiteral("The list %1 cannot be read: %2 (error %3).")
                         .arg(nativePath(path), failureMeaning(failure.number()),
                              QString::number(failure.number())));
            return std::nullopt;
        }
    }

    // Bytes that the character set named by --encoding cannot read are a
    // list saved in another one, not characters that the operator typed.
    static QString encodingProblem(const StudentInputs& typed, const QString& named)
    {
        if (named.isEmpty())
            return QString();
        for (const QString* value :
             {&typed.surname, &typed.givenName, &typed.loginAccount, &typed.year, &typed.className})
            if (value->contains(QChar::ReplacementCharacter))
                return QStringLiteral("The row cannot be read in %1, which --encoding names: the "
                                      "list is not in %1.  Leave out --encoding, and the "
                                      "character set is found from the list's bytes.")
                    .arg(named);
        return QString();
    }

    void makeEntries(const SiteData& site, const StudentList& list)
    {
        m_entries.reserve(list.problems.size() + list.rows.size());
        for (const ListProblem& problem : list.problems)
            m_entries.append(
                {problem.line, {}, problem.fields, {}, StudentOutcome::Refused, problem.text, {}});
        const QStringList years = yearsOnDisk(site);
        const QString encodingNamed = m_parser.value(encoding);
        for (const ListRow& row : list.rows) {
            Entry entry{row.line, row.inputs, {}, {}, StudentOutcome::ToAdd, {}, {}};
            entry.message = blankProblem(row.inputs, true);
            if (entry.message.isEmpty())
                entry.message = encodingProblem(row.inputs, encodingNamed);
            if (entry.message.isEmpty())
                entry.message = takeYearFolder(&entry, years);
            if (entry.message.isEmpty())
                entry.student = Student::from(entry.typed, site, &entry.message);
            if (entry.student)
                m_classFolders.begin(entry.student->classFolder());
            else
                entry.outcome = StudentOutcome::Refused;
            m_entries.append(std::move(entry));
        }
        // The rows that are no student went in first: back into the list's order.
        const auto byLine = [](const Entry& a, const Entry& b) { return a.line < b.line; };
        if (!std::is_sorted(m_entries.begin(), m_entries.end(), byLine))
            std::stable_sort(m_entries.begin(), m_entries.end(), byLine);
    }

    // The year as its folder is named, where the list writes it otherwise;
    // a year that no folder or more than one can mean is left to the checks.
    static QString takeYearFolder(Entry* entry, const QStringList& years)
    {
        const QStringList meant = yearFoldersMeant(entry->typed.year, years);
        if (meant.size() > 1)
            return QStringLiteral("The year %1 could be any of the year folders %2: write the "
                                  "year as its folder is named.")
                .arg(refusals::quoted(entry->typed.year),
                     QStringLiteral("\"%1\"").arg(meant.join(QStringLiteral("\", \""))));
        if (meant.size() == 1 && meant.first() != trimBlanks(entry->typed.year)) {
            entry->yearAsWritten = entry->typed.year;
            entry->typed.year = meant.first();
        }
        return QString();
    }

    // The enrolment of the entries that are students, each with its verdict
    // and the pages of those to add as they would be linked now.
    Enrolment checked(const SiteData& site, Enrolment::Repeats repeats)
    {
        QList<Enrolee> enrolees;
        enrolees.reserve(m_entries.size());
        m_enrolled.reserve(m_entries.size());
        for (qsizetype i = 0; i < m_entries.size(); ++i) {
            if (m_entries[i].student) {
                enrolees.append({m_entries[i].line, *m_entries[i].student});
                m_enrolled << i;
            }
        }
        Enrolment enrolment(site, enrolees, repeats);
        enrolment.setLinksClassPages(linksClassPages(site, linksAsked(m_parser)));
        const QList<StudentReport> verdicts = enrolment.check(site.shortcuts, true,
                                                              std::exchange(m_classFolders, {}));
        QList<qsizetype> toAdd;
        for (qsizetype i = 0; i < verdicts.size(); ++i) {
            Entry& entry = m_entries[m_enrolled[i]];
            entry.outcome = verdicts[i].outcome;
            entry.message = verdicts[i].reason;
            if (entry.outcome == StudentOutcome::PageOrPath)
                entry.message = classPageProblem(site, *entry.student, verdicts[i].classPage);
            else if (entry.outcome == StudentOutcome::FolderExists)
                entry.message = QStringLiteral("The folder %1 exists already, and no line of the "
                                               "register names it: it may hold a student's work.  "
                                               "Look inside it before you move it anywhere, then "
                                               "run the command again.")
                                    .arg(nativePath(entry.student->folder()));
            else if (entry.outcome == StudentOutcome::AlreadyAdded)
                entry.message = QStringLiteral("already in the register, with its folder");
            else if (entry.outcome == StudentOutcome::ToAdd)
                toAdd << i;
        }
        if (enrolment.linksClassPages() && !toAdd.isEmpty())
            m_plannedPages = pageLines(enrolment.plannedClassPages(toAdd), true);
        return enrolment;
    }

    qsizetype count(StudentOutcome outcome) const
    {
        return std::count_if(m_entries.begin(), m_entries.end(),
                             [outcome](const Entry& e) { return e.outcome == outcome; });
    }

    qsizetype problemCount() const
    {
        return std::count_if(m_entries.begin(), m_entries.end(),
                             [](const Entry& e) { return isProblem(e.outcome); });
    }

    // Input refused first, then a page or a year or class, then a folder in the way.
    int problemStatus() const
    {
        if (count(StudentOutcome::Refused) > 0)
            return ExitStatus::Refused;
        if (count(StudentOutcome::PageOrPath) > 0)
            return ExitStatus::PageOrPath;
        return ExitStatus::FailedUnchanged;
    }

    QString pageLines(const QList<ClassPageLinks>& pages, bool planned) const
    {
        return classPageLinksText(
            pages, [this](qsizetype i) { return m_entries[m_enrolled[i]].student->fullName(); },
            planned);
    }

    int preview()
    {
        // One write for the whole preview, not a system call for each row.
        QString text;
        for (const Entry& entry : m_entries)
            text += u"line " % Decimal(entry.line).digits() % u": " % describe(entry) % u": "
                % outcomeWord(entry.outcome, true)
                % (isProblem(entry.outcome) ? u": " % entry.message : QString()) % u'\n';
        if (!m_plannedPages.isEmpty())
            text += m_plannedPages % u'\n';
        text += QStringLiteral("%1: %2 to add, %3 already added, %4 refused.  Nothing was "
                               "changed (--dry-run).\n")
                    .arg(counted(m_entries.size(), "student", "students"),
                         QString::number(count(StudentOutcome::ToAdd)),
                         QString::number(count(StudentOutcome::AlreadyAdded)),
                         QString::number(problemCount()));
        m_console.out(text);
        return finish(problemCount() > 0 ? problemStatus() : ExitStatus::Added);
    }

    int refuseProblems()
    {
        const qsizetype problems = problemCount();
        if (problems == 0)
            return 0;
        QStringList lines{
            QStringLiteral("The list cannot be added as it is: %1 cannot go in.  Nothing was "
                           "changed.")
                .arg(m_entries.size() == 1
                         ? QStringLiteral("its only row")
                         : QStringLiteral("%1 of its %2 rows")
                               .arg(QString::number(problems), QString::number(m_entries.size())))};
        for (const Entry& entry : m_entries) {
            if (!isProblem(entry.outcome))
                continue;
            if (lines.size() > mostProblemsShown) {
                lines << QStringLiteral("... and %1 like these%2.")
                             .arg(counted(problems - mostProblemsShown, "more row", "more rows"),
                                  m_parser.value(report).isEmpty()
                                      ? QStringLiteral(" (--report FILE lists every one)")
                                      : QStringLiteral(", all in the report"));
                break;
            }
            lines << QStringLiteral("line %1: %2").arg(entry.line).arg(entry.message);
        }
        complain(lines.join(QLatin1Char('\n')));
        return finish(problemStatus());
    }

    QString question(const Student& student) const
    {
        const QString account = student.loginAccount().isEmpty()
            ? student.accountName() + QStringLiteral(" (no login account)")
            : student.accountName();
        const QString asked = QStringLiteral("Add this student?\n"
                                             "  name:     %1\n"
                                             "  year:     %2\n"
                                             "  class:    %3\n"
                                             "  account:  %4\n"
                                             "  folder:   %5")
                                  .arg(student.fullName(), student.year(), student.className(),
                                       account, nativePath(student.folder()));
        return m_plannedPages.isEmpty() ? asked : asked + QLatin1Char('\n') + m_plannedPages;
    }

    QString question(const SiteData& site) const
    {
        QStringList lines{QStringLiteral("Add %1 to the intranet %2?")
                              .arg(counted(count(StudentOutcome::ToAdd), "student", "students"),
                                   nativePath(site.appFolder))};
        if (const qsizetype skipped = count(StudentOutcome::AlreadyAdded))
            lines << QStringLiteral("(%1 of the list %2 in the register already and %2 skipped.)")
                         .arg(counted(skipped, "student", "students"),
                              skipped == 1 ? QStringLiteral("is") : QStringLiteral("are"));
        int shown = 0;
        for (const Entry& entry : m_entries) {
            if (entry.outcome != StudentOutcome::ToAdd)
                continue;
            if (++shown > mostProblemsShown) {
                lines << QStringLiteral("  ... and %1 more (--dry-run shows every one)")
                             .arg(count(StudentOutcome::ToAdd) - mostProblemsShown);
                break;
            }
            lines << QStringLiteral("  line %1: %2").arg(entry.line).arg(describe(entry));
        }
        if (!m_plannedPages.isEmpty())
            lines << m_plannedPages;
        return lines.join(QLatin1Char('\n'));
    }

    EnrolmentProgress progress(const StopRequests& stops)
    {
        const qsizetype total = count(StudentOutcome::ToAdd);
        return {[this, total](qsizetype i) {
                    const Entry& entry = m_entries[m_enrolled[i]];
                    m_console.out(QStringLiteral("[%1/%2] %3 (%4, %5) ... ")
                                      .arg(QString::number(++m_started), QString::number(total),
                                           entry.student->fullName(), entry.student->year(),
                                           entry.student->className()));
                },
                [this](qsizetype) { say(QStringLiteral("done")); },
                [this](qsizetype) { m_console.out(QStringLiteral("Writing the register ... ")); },
                [this, &stops] {
                    return stops.requested() || (m_console.outputLost && m_console.outputLost());
                }};
    }

    int reportRun(const SiteData& site, const EnrolmentResult& result)
    {
        const auto aftermath = afterRun(result);
        for (qsizetype i = 0; i < result.students.size(); ++i) {
            Entry& entry = m_entries[m_enrolled[i]];
            if (entry.outcome == StudentOutcome::ToAdd
                || result.students[i].outcome != StudentOutcome::NotReached)
                entry.outcome = result.students[i].outcome;
            if (!result.students[i].reason.isEmpty())
                entry.message = result.students[i].reason;
        }
        if (result.stop == EnrolmentResult::Stop::None) {
            say(QStringLiteral("done"));
            const qsizetype skipped = count(StudentOutcome::AlreadyAdded);
            say(QStringLiteral("Added %1%2.")
                    .arg(counted(count(StudentOutcome::Added), "student", "students"),
                         skipped > 0 ? QStringLiteral(" (%1 already in the register %2 skipped)")
                                           .arg(QString::number(skipped),
                                                skipped == 1 ? QStringLiteral("was")
                                                             : QStringLiteral("were"))
                                     : QString()));
            if (m_plannedPages.isEmpty())
                say(nextStepText(addedClassFolders()));
            return finish(ExitStatus::Added);
        }
        if (result.stop == EnrolmentResult::Stop::Interrupted) {
            say(QStringLiteral("done"));
            complain(QStringLiteral("Stopped on request: added %1 of %2 students.  Run the same "
                                    "list again to add the rest: the students already added are "
                                    "skipped.")
                         .arg(count(StudentOutcome::Added))
                         .arg(m_enrolled.size()));
            return finish(statusOf(result));
        }
        const QString why = stopText(site, result);
        for (Entry& entry : m_entries)
            if (entry.outcome == StudentOutcome::Failed && entry.message.isEmpty())
                entry.message = why;
        complain(QStringLiteral("failed"));
        reportStop(site, result);
        complain(QStringLiteral("Added: %1.  Not added: %2.")
                     .arg(QString::number(count(StudentOutcome::Added)),
                          QString::number(m_entries.size() - count(StudentOutcome::Added)
                                          - count(StudentOutcome::AlreadyAdded))));
        if (count(StudentOutcome::Added) > 0)
            complain(QStringLiteral("Run the same list again once this is mended: the students "
                                    "already added are skipped."));
        return finish(statusOf(result));
    }

    QStringList addedClassFolders() const
    {
        QStringList folders;
        for (const Entry& entry : m_entries)
            if (entry.outcome == StudentOutcome::Added)
                folders << entry.student->classFolder();
        folders.removeDuplicates();
        return folders;
    }

    // The report is written however the command ends; it writes itself once.
    int finish(int status)
    {
        if (!m_report)
            return status;
        QList<QStringList> rows;
        for (const Entry& entry : m_entries) {
            const std::optional<Student>& student = entry.student;
            rows << QStringList{QString::number(entry.line), entry.typed.surname,
                                entry.typed.givenName, entry.typed.year, entry.typed.className}
                    + QStringList{student ? student->accountName() : QString(),
                                  student ? nativePath(student->folder()) : QString(),
                                  outcomeWord(entry.outcome, m_parser.isSet(dryRun)),
                                  entry.message};
        }
        if (const QString problem = m_report->write(rows); !problem.isEmpty())
            complain(problem);
        return status;
    }

    QList<Entry> m_entries;
    QList<qsizetype> m_enrolled; // the entries that are students, in enrolment order
    // Begun as each class folder is first named, to be read while the rest of the list is made.
    files::FolderListings m_classFolders;
    qsizetype m_started = 0;
    std::unique_ptr<ListReport> m_report;
    QString m_plannedPages; // what the class pages would get, when this run links them
    const QCommandLineParser& m_parser;
};

} // namespace

QString AddCommand::name() const
{
    return QStringLiteral("add");
}

QStringList AddCommand::synopsis() const
{
    return {QStringLiteral("add --surname S --given G --year Y --class C [--login L]"),
            QStringLiteral("add --from FILE [--dry-run] [--report FILE]")};
}

QString AddCommand::summary() const
{
    return QStringLiteral("Add one student, or every student of a list.");
}

QList<QCommandLineOption> AddCommand::options() const
{
    return singleOnly + QList<QCommandLineOption>{from} + listOnly + linkOptions()
        + QList<QCommandLineOption>{intranetOption(), yesOption()};
}

QString AddCommand::usageProblem(const QCommandLineParser& parser) const
{
    if (QString problem = linkProblem(parser); !problem.isEmpty())
        return problem;
    const bool list = parser.isSet(from);
    for (const QCommandLineOption& option : list ? singleOnly : listOnly)
        if (parser.isSet(option))
            return list ? QStringLiteral("--from takes the students from the list: leave out %1.")
                              .arg(optionName(option))
                        : QStringLiteral("%1 goes with --from.").arg(optionName(option));
    const QString characterSet = parser.value(encoding);
    if (!characterSet.isEmpty() && !isKnownListEncoding(characterSet))
        return QStringLiteral("Unknown character set %1 for --encoding: try UTF-8, UTF-16 or "
                              "Windows-1252.")
            .arg(refusals::quoted(characterSet));
    if (parser.value(from) == QLatin1String("-") && !parser.isSet(yesOption())
        && !parser.isSet(dryRun))
        return QStringLiteral("With --from - the list comes on standard input, where the "
                              "question cannot be asked: add --yes, or --dry-run.");
    if (list)
        return parser.value(from).trimmed().isEmpty()
            ? QStringLiteral("--from names no list: give the list's file, or \"-\" for standard "
                             "input.")
            : QString();
    for (const QCommandLineOption& needed : {surname, given, year, className})
        if (!parser.isSet(needed))
            return QStringLiteral("Missing %1.").arg(optionName(needed));
    return QString();
}

int AddCommand::run(const QCommandLineParser& parser, const Console& console) const
{
    return AddStudents(parser, console).execute();
}

} // namespace tk::cli
