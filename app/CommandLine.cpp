#include "app/CommandLine.h"

#include "Version.h"
#include "create/CreateCommand.h"
#include "create/Messages.h"
#include "create/StudentList.h"
#include "platform/FileServices.h"
#include "platform/NumberedFailure.h"
#include "register/RegisterUpdate.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace tk {

namespace {

QString plainLines(QString text)
{
    return text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

bool standardInputIsTerminal()
{
#ifdef _WIN32
    return _isatty(_fileno(stdin));
#else
    return isatty(fileno(stdin));
#endif
}

// The message boxes of the window, as lines on the terminal; the question is
// asked there, or answered by --yes.
class TerminalDialogs : public UserDialogs
{
public:
    TerminalDialogs(const Console& console, bool assumeYes)
        : m_console(console)
        , m_assumeYes(assumeYes)
    {
    }

    Answer show(const QString& title, const QString& text, MessageStyle style) override
    {
        const QString box = title + QLatin1Char('\n') + plainLines(text) + QLatin1Char('\n');
        if (style == MessageStyle::Error) {
            m_console.err(box);
            return Answer::Ok;
        }
        m_console.out(box);
        return style == MessageStyle::Question ? ask() : Answer::Ok;
    }

private:
    Answer ask()
    {
        if (m_assumeYes) {
            m_console.out(QStringLiteral("Yes (--yes)\n"));
            return Answer::Yes;
        }
        m_console.out(QStringLiteral("[y/N] "));
        const std::optional<QString> answer = m_console.readAnswer();
        if (!answer) {
            m_console.err(QStringLiteral("\nThere is no terminal to ask on, so nothing was done.  "
                                         "Run again with --yes to answer Yes.\n"));
            return Answer::No;
        }
        const QString word = answer->trimmed().toLower();
        return word == QLatin1String("y") || word == QLatin1String("yes") ? Answer::Yes
                                                                          : Answer::No;
    }

    const Console& m_console;
    bool m_assumeYes;
};

int statusFor(CreateCommand::Ending ending)
{
    switch (ending) {
    case CreateCommand::Ending::Added:
        return ExitStatus::Added;
    case CreateCommand::Ending::Declined:
    case CreateCommand::Ending::InputRefused:
        return ExitStatus::Refused;
    case CreateCommand::Ending::PageOrPathProblem:
        return ExitStatus::PageOrPath;
    case CreateCommand::Ending::FailedBeforeChange:
        return ExitStatus::FailedUnchanged;
    case CreateCommand::Ending::FailedAfterChange:
        break;
    }
    return ExitStatus::FailedAfterChange;
}

struct Options
{
    QCommandLineOption surname{QStringLiteral("surname"), QStringLiteral("The student's surname."),
                               QStringLiteral("name")};
    QCommandLineOption given{QStringLiteral("given"),
                             QStringLiteral("The student's given or preferred name."),
                             QStringLiteral("name")};
    QCommandLineOption year{QStringLiteral("year"), QStringLiteral("The scholastic year."),
                            QStringLiteral("year")};
    QCommandLineOption className{QStringLiteral("class"), QStringLiteral("The class."),
                                 QStringLiteral("class")};
    QCommandLineOption login{QStringLiteral("login"),
                             QStringLiteral("The student's own login account, if any."),
                             QStringLiteral("account")};
    QCommandLineOption from{QStringLiteral("from"),
                            QStringLiteral("Add every student of a CSV file with the columns "
                                           "surname, given, year, class and, optionally, login."),
                            QStringLiteral("file")};
    QCommandLineOption intranet{QStringLiteral("intranet"),
                                QStringLiteral("The intranet's root folder, which holds "
                                               "tkshrtct.ini (default: the program's folder)."),
                                QStringLiteral("folder")};
    QCommandLineOption dryRun{QStringLiteral("dry-run"),
                              QStringLiteral("With --from: check every student, change nothing.")};
    QCommandLineOption yes{QStringLiteral("yes"),
                           QStringLiteral("Answer Yes to the question instead of asking it.")};

    void addTo(QCommandLineParser& parser) const
    {
        parser.addOptions({surname, given, year, className, login, from, intranet, dryRun, yes});
    }
};

class AddCommand
{
public:
    AddCommand(const QCommandLineParser& parser, const Options& options, const Console& console)
        : m_parser(parser)
        , m_options(options)
        , m_console(console)
        , m_dialogs(console, parser.isSet(options.yes))
    {
    }

    int run()
    {
        // Absolute, so that the question names the very folder to be made.
        const QString folder = m_parser.isSet(m_options.intranet)
            ? QDir(m_parser.value(m_options.intranet)).absolutePath()
            : QCoreApplication::applicationDirPath();
        try {
            m_site = loadSite(folder);
        } catch (const StartupError& error) {
            m_console.err(error.report() + QLatin1Char('\n'));
            return ExitStatus::CannotLoad;
        }
        return m_parser.isSet(m_options.from) ? addList() : addOne();
    }

private:
    int addOne()
    {
        StudentInputs inputs{m_parser.value(m_options.surname), m_parser.value(m_options.given),
                             m_parser.value(m_options.login), m_parser.value(m_options.year),
                             m_parser.value(m_options.className)};
        CreateCommand command(
            m_site, [&inputs] { return inputs; }, m_dialogs);
        command.run();
        return statusFor(command.ending());
    }

    int addList()
    {
        const std::optional<StudentList> list = readList();
        if (!list)
            return ExitStatus::Refused;
        m_students = list->students;
        if (const int status = reportProblems(list->problems + check(m_site.shortcuts)))
            return status;
        if (m_parser.isSet(m_options.dryRun)) {
            m_console.out(QStringLiteral("All %1 students can be added.  Nothing was changed "
                                         "(--dry-run).\n")
                              .arg(m_students.size()));
            return ExitStatus::Added;
        }
        if (m_dialogs.show(messages::confirmTitle, listQuestion(), MessageStyle::Question)
            == Answer::No)
            return ExitStatus::Refused;
        return addUnderLock();
    }

    std::optional<StudentList> readList()
    {
        const QString path = m_parser.value(m_options.from);
        try {
            StudentList list = readStudentList(files::readWholeFile(path));
            if (list.students.isEmpty() && list.problems.isEmpty())
                list.problems.append(
                    {0, ListProblem::Kind::Refused, QStringLiteral("The list holds no student.")});
            return list;
        } catch (const NumberedFailure& failure) {
            m_console.err(QStringLiteral("The list %1 cannot be read (error %2).\n")
                              .arg(nativePath(path), QString::number(failure.number())));
            return std::nullopt;
        }
    }

    QList<ListProblem> check(const ShortcutRegister& current) const
    {
        return checkStudentList(m_site, current, m_students);
    }

    // Every failing row at once, so that the list is mended in one go.
    int reportProblems(QList<ListProblem> problems) const
    {
        if (problems.isEmpty())
            return 0;
        std::stable_sort(problems.begin(), problems.end(),
                         [](const ListProblem& a, const ListProblem& b) {
                             return a.line < b.line;
                         });
        QString report = QStringLiteral("Cannot add the list: nothing was changed.\n");
        for (const ListProblem& problem : problems)
            report += (problem.line > 0 ? QStringLiteral("line %1: ").arg(problem.line)
                                        : QStringLiteral("list: "))
                + plainLines(problem.text) + QLatin1Char('\n');
        m_console.err(report);
        const bool refused = std::any_of(problems.begin(), problems.end(), [](const auto& p) {
            return p.kind == ListProblem::Kind::Refused;
        });
        return refused ? ExitStatus::Refused : ExitStatus::PageOrPath;
    }

    QString describe(const ListedStudent& student) const
    {
        return QStringLiteral("%1 (%2, %3)")
            .arg(fullNameFor(student.inputs), trimBlanks(student.inputs.year),
                 trimBlanks(student.inputs.className));
    }

    QString listQuestion() const
    {
        QString text = QStringLiteral("This utility will create a new Ilvantis folder structure "
                                      "for each of these %1 students and add them to the "
                                      "tkshrtct.dat file:\r\n")
                           .arg(m_students.size());
        for (const ListedStudent& student : m_students)
            text += nativePath(studentFolderPathFor(m_site, student.inputs))
                + QStringLiteral("\r\n");
        return text + QStringLiteral("\r\nAre you sure you want to do this?");
    }

    int addUnderLock()
    {
        const std::optional<RegisterLock> lock = RegisterLock::acquire(m_site.appFolder);
        if (!lock) {
            m_console.err(messages::registerLocked(RegisterLock::pathIn(m_site.appFolder))
                          + QLatin1Char('\n'));
            return ExitStatus::FailedUnchanged;
        }
        ShortcutRegister current;
        try {
            current = loadRegister(m_site.appFolder);
        } catch (const StartupError& error) {
            m_console.err(plainLines(messages::registerUnreadable(error.problem()))
                          + QLatin1Char('\n'));
            return ExitStatus::FailedUnchanged;
        }
        // Another copy may have added students since the first check.
        if (const int status = reportProblems(check(current)))
            return status;
        const ListResult result = addStudentList(m_site, current, m_students, *lock, progress());
        return result.failureNumber ? reportFailure(result) : reportSuccess();
    }

    ListProgress progress() const
    {
        const auto total = m_students.size();
        return {[this, total](qsizetype i) {
                    m_console.out(QStringLiteral("[%1/%2] Making the folder of %3 ... ")
                                      .arg(QString::number(i + 1), QString::number(total),
                                           describe(m_students.at(i))));
                },
                [this](qsizetype) { m_console.out(QStringLiteral("done\n")); },
                [this](qsizetype count) {
                    m_console.out(
                        QStringLiteral("Adding %1 students to the register ... ").arg(count));
                }};
    }

    int reportSuccess() const
    {
        m_console.out(QStringLiteral("done\nAll %1 students were added.  You must now edit the "
                                     "Class Page of each of their classes to add a link to their "
                                     "new webpages.\n")
                          .arg(m_students.size()));
        return ExitStatus::Added;
    }

    int reportFailure(const ListResult& result) const
    {
        const int number = result.failureNumber;
        const bool missing = number == FailureNumber::FileNotFound
            || number == FailureNumber::PathNotFound;
        const messages::Box box = missing
            ? messages::Box{messages::invalidPathTitle, messages::invalidPath()}
            : messages::failureBox(number);
        QStringList added;
        QStringList notAdded;
        for (qsizetype i = 0; i < m_students.size(); ++i)
            (i < result.added ? added : notAdded) << describe(m_students.at(i));
        m_console.err(QStringLiteral("failed\n") + box.title + QLatin1Char('\n')
                      + plainLines(box.text) + QLatin1Char('\n')
                      + QStringLiteral("Added (%1): %2\nNot added (%3): %4\n")
                            .arg(QString::number(added.size()), added.join(QStringLiteral("; ")),
                                 QString::number(notAdded.size()),
                                 notAdded.join(QStringLiteral("; "))));
        const QStringList leftOver = foldersLeftOver(result);
        if (!leftOver.isEmpty())
            m_console.err(QStringLiteral("These folders were made but are not in the register: "
                                         "remove them before you add their students again.\n")
                          + leftOver.join(QLatin1Char('\n')) + QLatin1Char('\n'));
        if (result.added > 0 || !leftOver.isEmpty())
            return ExitStatus::FailedAfterChange;
        return missing ? ExitStatus::PageOrPath : ExitStatus::FailedUnchanged;
    }

    QStringList foldersLeftOver(const ListResult& result) const
    {
        QStringList folders;
        const qsizetype made = result.failedAt < 0 ? m_students.size() : result.failedAt;
        if (result.registerFailed)
            for (qsizetype i = 0; i < made; ++i)
                folders << nativePath(studentFolderPathFor(m_site, m_students.at(i).inputs));
        if (result.failedFolderMade)
            folders << nativePath(
                studentFolderPathFor(m_site, m_students.at(result.failedAt).inputs));
        return folders;
    }

    const QCommandLineParser& m_parser;
    const Options& m_options;
    const Console& m_console;
    TerminalDialogs m_dialogs;
    SiteData m_site;
    QList<ListedStudent> m_students;
};

// Which options each form of "add" needs and allows.
QString usageProblem(const QCommandLineParser& parser, const Options& options)
{
    if (parser.positionalArguments() != QStringList{QStringLiteral("add")})
        return QStringLiteral("Say what to do: tkaddstudent add ...");
    if (parser.isSet(options.from)) {
        for (const QCommandLineOption* single :
             {&options.surname, &options.given, &options.year, &options.className, &options.login})
            if (parser.isSet(*single))
                return QStringLiteral("--from takes the students from the list: leave out --%1.")
                    .arg(single->names().first());
        return QString();
    }
    if (parser.isSet(options.dryRun))
        return QStringLiteral("--dry-run goes with --from.");
    for (const QCommandLineOption* needed :
         {&options.surname, &options.given, &options.year, &options.className})
        if (!parser.isSet(*needed))
            return QStringLiteral("Missing --%1.").arg(needed->names().first());
    return QString();
}

} // namespace

Console standardConsole()
{
    return {[](const QString& text) { std::cout << text.toLocal8Bit().constData() << std::flush; },
            [](const QString& text) { std::cerr << text.toLocal8Bit().constData() << std::flush; },
            []() -> std::optional<QString> {
                std::string line;
                if (!standardInputIsTerminal() || !std::getline(std::cin, line))
                    return std::nullopt;
                return QString::fromLocal8Bit(line.c_str());
            }};
}

bool wantsCommandLine(int argc, char** argv)
{
    Q_UNUSED(argv);
    return argc > 1;
}

void attachToParentConsole()
{
#ifdef _WIN32
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
        std::freopen("CONIN$", "r", stdin);
    }
#endif
}

int runCommandLine(const QStringList& arguments, const Console& console)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Adds late-enrolling students to the Ilvantis intranet whose root folder "
                       "holds tkshrtct.ini.  Without arguments it opens its window.\n\n"
                       "  tkaddstudent add --surname S --given G --year Y --class C [--login L]\n"
                       "  tkaddstudent add --from FILE [--dry-run]"));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("add"),
                                 QStringLiteral("Add one student, or every student of a list."));
    const Options options;
    options.addTo(parser);

    if (!parser.parse(arguments)) {
        console.err(parser.errorText() + QStringLiteral("\nSee: tkaddstudent --help\n"));
        return ExitStatus::Usage;
    }
    if (parser.isSet(help)) {
        console.out(parser.helpText());
        return ExitStatus::Added;
    }
    if (parser.isSet(version)) {
        console.out(QStringLiteral("tkaddstudent %1\n").arg(QLatin1String(tkVersionString)));
        return ExitStatus::Added;
    }
    if (const QString problem = usageProblem(parser, options); !problem.isEmpty()) {
        console.err(problem + QStringLiteral("\nSee: tkaddstudent --help\n"));
        return ExitStatus::Usage;
    }
    return AddCommand(parser, options, console).run();
}

} // namespace tk
