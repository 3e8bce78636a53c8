#pragma once

#include "gui/UserDialogs.h"

#include <QList>
#include <QQueue>
#include <QStringList>

namespace tktest {

// Stands in for the window's message boxes: notes every box asked for and
// answers with the answers queued, else with OK (Yes, for a question).
class ScriptedDialogs : public tk::UserDialogs
{
public:
    struct Shown
    {
        QString title;
        QString text;
        tk::MessageStyle style;
    };

    tk::Answer show(const QString& title, const QString& text, tk::MessageStyle style) override
    {
        shown.append({title, text, style});
        if (!answers.isEmpty())
            return answers.dequeue();
        return style == tk::MessageStyle::Question ? tk::Answer::Yes : tk::Answer::Ok;
    }

    QStringList titles() const
    {
        QStringList list;
        for (const Shown& box : shown)
            list << box.title;
        return list;
    }

    void clear()
    {
        shown.clear();
        answers.clear();
    }

    QList<Shown> shown;
    QQueue<tk::Answer> answers;
};

} // namespace tktest
