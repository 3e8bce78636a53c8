#pragma once

#include "enrol/Enrolment.h"
#include "gui/UserDialogs.h"

namespace tk {

// The Create button: one student, asked about and reported on in the
// window's own message boxes, in the window's own order.
class CreateCommand
{
public:
    enum class Outcome { ReturnToWindow, EndProgram };

    CreateCommand(const SiteData& site, UserDialogs& dialogs);

    Outcome run(const StudentInputs& typed);

private:
    Outcome report(const EnrolmentResult& result, const Student& student, const QString& classText);
    Outcome reportStop(const EnrolmentResult& result, const Student& student,
                       const QString& classText);
    Outcome reportFailure(const EnrolmentResult& result);
    Outcome refuse(const QString& text);
    Outcome warn(const QString& text);
    Outcome showAndEnd(const QString& title, const QString& text,
                       MessageStyle style = MessageStyle::Error);

    const SiteData m_site;
    UserDialogs& m_dialogs;
    const bool m_linksClassPages; // as tkaddstudent.ini says
};

} // namespace tk
