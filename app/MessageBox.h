#pragma once

#include "platform/UserDialogs.h"

#include <QList>

class QWidget;

namespace tk {

// Every message box of the program goes through here. Tests queue answers with
// setNextAnswer() (the box is then not shown) and read back every box asked for.
class MessageBox
{
public:
    struct Shown
    {
        QString title;
        QString text;
        MessageStyle style;
    };

    static Answer show(QWidget* parent, const QString& title, const QString& text,
                       MessageStyle style);

    static void setNextAnswer(Answer answer);
    static const QList<Shown>& shown();
    static void clearShown();
};

// The core's dialogs, shown as message boxes over `parent`.
class MessageBoxDialogs : public UserDialogs
{
public:
    explicit MessageBoxDialogs(QWidget* parent)
        : m_parent(parent)
    {
    }
    Answer show(const QString& title, const QString& text, MessageStyle style) override;

private:
    QWidget* m_parent;
};

} // namespace tk
