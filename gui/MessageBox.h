#pragma once

#include "gui/UserDialogs.h"

class QWidget;

namespace tk {

// The window's messages as modal message boxes over `parent`.
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
