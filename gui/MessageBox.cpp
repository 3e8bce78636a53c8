#include "gui/MessageBox.h"

#include <QMessageBox>

namespace tk {

namespace {

Answer answerFor(int button)
{
    switch (button) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Ok;
    }
}

Answer execBox(QWidget* parent, const QString& title, const QString& text, MessageStyle style)
{
    QMessageBox box(parent);
    box.setWindowTitle(title);
    // Names come from the operator: never let them be read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    switch (style) {
    case MessageStyle::Question:
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        break;
    case MessageStyle::Information:
        box.setIcon(QMessageBox::Information);
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
        break;
    case MessageStyle::Error:
        box.setIcon(QMessageBox::Critical);
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
        break;
    }
    return answerFor(box.exec());
}

} // namespace

Answer MessageBoxDialogs::show(const QString& title, const QString& text, MessageStyle style)
{
    return execBox(m_parent, title, text, style);
}

} // namespace tk
