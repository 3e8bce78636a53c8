#include "app/MessageBox.h"

#include <QMessageBox>
#include <QQueue>

namespace tk {

namespace {

QQueue<Answer>& scriptedAnswers()
{
    static QQueue<Answer> answers;
    return answers;
}

QList<MessageBox::Shown>& shownBoxes()
{
    static QList<MessageBox::Shown> boxes;
    return boxes;
}

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

Answer MessageBox::show(QWidget* parent, const QString& title, const QString& text,
                        MessageStyle style)
{
    shownBoxes().append({title, text, style});
    if (!scriptedAnswers().isEmpty())
        return scriptedAnswers().dequeue();
    return execBox(parent, title, text, style);
}

void MessageBox::setNextAnswer(Answer answer)
{
    scriptedAnswers().enqueue(answer);
}

const QList<MessageBox::Shown>& MessageBox::shown()
{
    return shownBoxes();
}

void MessageBox::clearShown()
{
    shownBoxes().clear();
    scriptedAnswers().clear();
}

Answer MessageBoxDialogs::show(const QString& title, const QString& text, MessageStyle style)
{
    return MessageBox::show(m_parent, title, text, style);
}

} // namespace tk
