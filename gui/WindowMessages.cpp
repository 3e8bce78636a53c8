#include "gui/WindowMessages.h"

#include "enrol/ClassPage.h"
#include "enrol/Student.h"
#include "platform/FileServices.h"
#include "platform/NumberedFailure.h"

namespace tk::messages {

QString confirmation(const Student& student)
{
    const QString crLf = QStringLiteral("\r\n");
    const QString opening = QStringLiteral("This utility will create a new Ilvantis folder "
                                           "structure for ")
        + student.fullName() + QStringLiteral(" located in the path: ");
    const QString& login = student.loginAccount();
    const QString loginSentence = login.isEmpty()
        ? QStringLiteral("This student does not have an individual login account for the "
                         "Ilvantis server.")
            + crLf
        : QStringLiteral("The tkshrtct.dat file will include the login account name of ") + login
            + QLatin1Char('.') + crLf;
    return opening + crLf + nativePath(student.folder()) + crLf + loginSentence + crLf
        + QStringLiteral("Are you sure you want to do this?");
}

QString confirmation(const Student& student, const ClassPageLinks& page)
{
    const QString crLf = QStringLiteral("\r\n");
    const QString question = confirmation(student);
    // After the sentence on the login, before the blank line and the question.
    const qsizetype asked = question.lastIndexOf(crLf);
    const QString pagePath = nativePath(joinPath(page.classFolder, QStringLiteral("index.htm")));
    const QList<PageLinkOutcome> notLinked = page.notLinked();
    const QString sentence = notLinked.isEmpty() ? QStringLiteral("The class page ") + pagePath
            + QStringLiteral(" will get a link to their new webpage.")
                                                 : QStringLiteral("The class page ") + pagePath
            + QStringLiteral(" cannot get a link to their new webpage: ")
            + linkProblemText(notLinked.constFirst().problem) + QLatin1Char('.');
    return question.left(asked) + sentence + crLf + question.mid(asked);
}

QString masterPageConcern(const QString& masterFolderPath)
{
    return QStringLiteral("The index.htm file which is the master student page located in ")
        + nativePath(masterFolderPath)
        + QStringLiteral(" - appears to be corrupt.  You may want to verify this and restore "
                         "from backup if necessary");
}

QString masterPlaceholderMissing(const QString& masterFolderPath)
{
    return QStringLiteral("The index.htm file which is the master student page located in ")
        + nativePath(masterFolderPath)
        + QStringLiteral(" does not contain the words \"New Student\", which this utility "
                         "replaces with the student's name.  Nothing has been created.  Please "
                         "put the words back where the name belongs, or restore the page from "
                         "backup.");
}

QString classPageConcern()
{
    return QStringLiteral("The index.htm file which is the class page for your selected class "
                          "appears to be corrupt.  You may want to verify this.");
}

QString masterMissing(const QString& masterFolderPath)
{
    return QStringLiteral("The path ") + nativePath(masterFolderPath)
        + QStringLiteral(" does not appear to exist, or is empty.  This utility cannot "
                         "continue.  Did you create your Ilvantis structure using v4.0 or "
                         "later?  If yes, you will need to restore this folder from your "
                         "backup.  This utility will now close.");
}

QString problem()
{
    return QStringLiteral("Either there is already a student folder for this student, or you "
                          "do not have sufficient rights to create the folder structure.  This "
                          "utility will now close.");
}

QString invalidPath()
{
    return QStringLiteral("The combination of your selected year and class appears to be "
                          "invalid.  Please choose the correct year and class and try again.");
}

QString seriousError(int failureNumber)
{
    return QStringLiteral("A serious error (code=") + QString::number(failureNumber)
        + QStringLiteral(") has occurred.  Check the Ilvantis website for further help or "
                         "e-mail ")
        + supportEmailAddress + QStringLiteral(" with details of this error");
}

QString success(const QString& fullName, const QString& classText)
{
    return QStringLiteral("An Ilvantis folder structure for ") + fullName
        + QStringLiteral(" has been created successfully and their name added to the "
                         "TKSHRTCT.DAT file.  You must now edit the Class Page for class ")
        + classText
        + QStringLiteral(" to add a link to their new webpage.  The link on the class page "
                         "cannot be created by this utility and must be done manually.  Click "
                         "OK to exit.");
}

QString success(const QString& fullName, const QString& classText, const ClassPageLinks& page)
{
    const QString opening = QStringLiteral("An Ilvantis folder structure for ") + fullName
        + QStringLiteral(" has been created successfully and their name added to the "
                         "TKSHRTCT.DAT file.  ");
    const QList<PageLinkOutcome> notLinked = page.notLinked();
    if (notLinked.isEmpty())
        return opening + QStringLiteral("The Class Page for class ") + classText
            + QStringLiteral(" now links to their new webpage.  Click OK to exit.");
    const PageLinkOutcome& outcome = notLinked.constFirst();
    const QString byHand = outcome.byHand.isEmpty()
        ? QString()
        : QStringLiteral("  Add this line to its list of students:\r\n") + outcome.byHand
            + QStringLiteral("\r\n");
    return opening + QStringLiteral("The Class Page for class ") + classText
        + QStringLiteral(" was left as it was: ") + linkProblemText(outcome.problem)
        + QLatin1Char('.') + byHand + QStringLiteral("  Click OK to exit.");
}

QString registerLocked(const QString& lockFilePath)
{
    return QStringLiteral("Another copy of this utility is adding a student to the register file "
                          "tkshrtct.dat right now.  Please wait a moment and press Create again.  "
                          "If no other copy is running, delete the lock file ")
        + nativePath(lockFilePath) + QStringLiteral(" and try again.");
}

Box failureBox(int failureNumber)
{
    if (failureNumber == FailureNumber::PathFileAccess)
        return {problemTitle, problem()};
    return {seriousTitle, seriousError(failureNumber)};
}

QString registerUnreadable(const QString& problem)
{
    return QStringLiteral("The register file tkshrtct.dat was changed by another program since "
                          "this utility started, and it can no longer be read.  Nothing has been "
                          "created.")
        + QStringLiteral("\r\n\r\n") + problem;
}

QString folderLeft(const QString& folder)
{
    return QStringLiteral("The folder ") + nativePath(folder)
        + QStringLiteral(" was made for this student, but it could not be removed after the "
                         "failure.  The next Create finishes or removes it.");
}

QString lockLeft(const QString& lockFilePath)
{
    return QStringLiteral("The lock file ") + nativePath(lockFilePath)
        + QStringLiteral(" could not be removed, so every other copy of this utility will wait "
                         "for it.  Please delete it.");
}

QString logNotWritten(const QString& logPath)
{
    return QStringLiteral("The student was added, but the log of changes ") + nativePath(logPath)
        + QStringLiteral(" could not be written: it may be open in a spreadsheet.");
}

QString leftovers(qsizetype registered, qsizetype removed)
{
    return QStringLiteral(
               "An earlier Create was stopped part way, and this one finished its "
               "work: %1 student(s) registered, %2 folder(s) it had not put in place removed.")
        .arg(registered)
        .arg(removed);
}

} // namespace tk::messages
