#pragma once

#include "app/Form1.h"
#include "app/SortedComboBox.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace tktest {

// Given name, surname, year and class that together let Create be pressed.
inline const QStringList validInputs{"Ben", "Adams", "Year 7", "7A"};

inline tk::SiteData siteWithLists(const QStringList& years, const QStringList& classes)
{
    tk::SiteData site;
    site.settings.structureYear = 2026;
    site.shortcuts.YearList = years;
    site.shortcuts.ClassList = classes;
    return site;
}

inline QStringList itemsOf(const QComboBox* combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

// Runs the event loop as the program does, doing `action` from inside it;
// returns the status the loop ends with (99 if nothing ended it).
inline int runEventLoopDoing(const std::function<void()>& action)
{
    QTimer::singleShot(0, action);
    QTimer giveUp;
    QObject::connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    giveUp.start(10000);
    return QApplication::exec();
}

// The program's window, opened as the program opens it, used as the operator uses it.
class WindowFixture : public QObject
{
protected:
    std::unique_ptr<tk::Form1> m_window;
    QLineEdit *m_text1 = nullptr, *m_text2 = nullptr, *m_text3 = nullptr;
    tk::SortedComboBox *m_combo1 = nullptr, *m_combo2 = nullptr;
    QPushButton *m_create = nullptr, *m_quit = nullptr;

    QWidget* control(const QString& name) const
    {
        return m_window->findChild<QWidget*>(name, Qt::FindDirectChildrenOnly);
    }

    bool openWindow(const tk::SiteData& site)
    {
        m_window = std::make_unique<tk::Form1>(site);
        m_window->start();
        m_text1 = qobject_cast<QLineEdit*>(control(QStringLiteral("Text1")));
        m_text2 = qobject_cast<QLineEdit*>(control(QStringLiteral("Text2")));
        m_text3 = qobject_cast<QLineEdit*>(control(QStringLiteral("Text3")));
        m_combo1 = qobject_cast<tk::SortedComboBox*>(control(QStringLiteral("Combo1")));
        m_combo2 = qobject_cast<tk::SortedComboBox*>(control(QStringLiteral("Combo2")));
        m_create = qobject_cast<QPushButton*>(control(QStringLiteral("Command1")));
        m_quit = qobject_cast<QPushButton*>(control(QStringLiteral("Command2")));
        return QTest::qWaitForWindowActive(m_window.get()) && m_text1 && m_text2 && m_text3
            && m_combo1 && m_combo2 && m_create && m_quit;
    }

    // A combo box's own edit field counts as the combo box.
    QString focusedControl() const
    {
        QWidget* widget = QApplication::focusWidget();
        while (widget && widget->parentWidget() != m_window.get())
            widget = widget->parentWidget();
        return widget ? widget->objectName() : QStringLiteral("<none>");
    }

    void pressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QVERIFY(QApplication::focusWidget());
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }

    // As the operator does it: into the box, select everything, type over it.
    void typeInto(QWidget* box, const QString& text)
    {
        box->setFocus();
        pressKey(Qt::Key_A, Qt::ControlModifier);
        pressKey(Qt::Key_Delete);
        QTest::keyClicks(QApplication::focusWidget(), text);
    }

    // Given name, surname, year and class, in the order the operator meets them.
    QList<QWidget*> fourBoxes() const { return {m_text2, m_text1, m_combo1, m_combo2}; }

    QStringList fourInputs() const
    {
        const tk::StudentInputs in = m_window->currentInputs();
        return {in.givenName, in.surname, in.year, in.className};
    }

    void fill(const QStringList& values = validInputs)
    {
        for (qsizetype i = 0; i < values.size(); ++i)
            typeInto(fourBoxes()[i], values[i]);
    }
};

} // namespace tktest
