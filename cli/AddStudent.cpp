// "add" for one student, named on the command line.

#include "cli/AddCommand.h"
#include "cli/SiteCommand.h"
#include "cli/Wording.h"
#include "platform/FileServices.h"
#include "register/RegisterWriter.h"

#include <QScopeGuard>

namespace tk::cli {

namespace {

class AddStudent : public SiteCommand
{
public:
    AddStudent(const AddOptions& options, const Console& console)
        : SiteCommand(options.intranet, options.assumeYes, console)
        , m_options(options)
    {
    }

protected:
    int runOn(const SiteData& site) override
    {
        QString refusal = blankProblem(m_options.student, false);
        if (!refusal.isEmpty())
            return refuse(refusal, ExitStatus::Refused);
        const std::optional<Student> student = Student::from(m_options.student, site, &refusal);
        if (!student)
            return refuse(refusal, ExitStatus::Refused);
        if (const PageState master = masterPageOf(site); master != PageState::Sound)
            return refuse(masterPageProblem(site, master), ExitStatus::PageOrPath);
        Enrolment enrolment(site, {{0, *student}});
        enrolment.setLinksClassPages(linksClassPages(site, m_options.linkClassPages));
        // Everything that can be known before anything is made is said
        // before the question, so that a Yes is never answered in vain.
        const StudentReport verdict = enrolment.check(site.shortcuts, true).constFirst();
        switch (verdict.outcome) {
        case StudentOutcome::Refused:
            return refuse(verdict.reason, ExitStatus::Refused);
        case StudentOutcome::PageOrPath:
            return refuse(classPageProblem(site, *student, verdict.classPage),
                          ExitStatus::PageOrPath);
        case StudentOutcome::FolderExists:
            return refuse(folderExistsProblem(*student), ExitStatus::FailedUnchanged);
        default:
            break;
        }
        int status = ExitStatus::Refused;
        QString asked = question(*student);
        if (enrolment.linksClassPages())
            asked += QStringLiteral("\n")
                + pageLines(enrolment.plannedClassPages({0}), *student, true);
        if (!confirmed(asked, &status))
            return status;
        const EnrolmentResult result = enrolment.run();
        const auto aftermath = qScopeGuard([&] { reportAftermath(result); });
        const auto links = qScopeGuard([&] {
            if (!result.classPages.isEmpty())
                say(pageLines(result.classPages, *student, false));
        });
        if (result.stop != EnrolmentResult::Stop::None) {
            complain(QStringLiteral("Not added: %1 (%2, %3).")
                         .arg(student->fullName(), student->year(), student->className()));
            reportStop(site, result);
            return statusOf(result);
        }
        say(QStringLiteral("Added %1: made the folder %2 and added the line \"%3\" to %4.")
                .arg(student->fullName(), nativePath(student->folder()), student->record().text(),
                     nativePath(joinPath(site.appFolder, registerFileName))));
        if (!enrolment.linksClassPages())
            say(nextStepText({student->classFolder()}));
        return ExitStatus::Added;
    }

private:
    int refuse(const QString& why, int status) const
    {
        complain(QStringLiteral("Not added: ") + why);
        complain(QStringLiteral("Nothing was changed."));
        return status;
    }

    static QString question(const Student& student)
    {
        const QString account = student.loginAccount().isEmpty()
            ? student.accountName() + QStringLiteral(" (no login account)")
            : student.accountName();
        return QStringLiteral("Add this student?\n"
                              "  name:     %1\n"
                              "  year:     %2\n"
                              "  class:    %3\n"
                              "  account:  %4\n"
                              "  folder:   %5")
            .arg(student.fullName(), student.year(), student.className(), account,
                 nativePath(student.folder()));
    }

    static QString pageLines(const QList<ClassPageLinks>& pages, const Student& student,
                             bool planned)
    {
        return classPageLinksText(
            pages, [&](qsizetype) { return student.fullName(); }, planned);
    }

    const AddOptions& m_options;
};

} // namespace

int addOneStudent(const AddOptions& options, const Console& console)
{
    return AddStudent(options, console).execute();
}

} // namespace tk::cli
