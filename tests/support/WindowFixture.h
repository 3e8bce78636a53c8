#pragma once

#include "ScriptedDialogs.h"
#include "gui/AddStudentWindow.h"
#include "gui/SortedComboBox.h"

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
    site.shortcuts.years = years;
    site.shortcuts.classes = classes;
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
    ScriptedDialogs m_dialogs;
    std::unique_ptr<tk::AddStudentWindow> m_window;
    QLineEdit *m_surnameEdit = nullptr, *m_givenNameEdit = nullptr, *m_loginEdit = nullptr;
    tk::SortedComboBox *m_yearCombo = nullptr, *m_classCombo = nullptr;
    QPushButton *m_createButton = nullptr, *m_quitButton = nullptr;

    QWidget* control(const QString& name) const
    {
        return m_window->findChild<QWidget*>(name, Qt::FindDirectChildrenOnly);
    }

    // With `realBoxes`, the window's own message boxes come up; else the
    // script answers them.
    bool openWindow(const tk::SiteData& site, bool realBoxes = false)
    {
        m_window = std::make_unique<tk::AddStudentWindow>(site, realBoxes ? nullptr : &m_dialogs);
        m_window->start();
        m_surnameEdit = qobject_cast<QLineEdit*>(control(QStringLiteral("Text1")));
        m_givenNameEdit = qobject_cast<QLineEdit*>(control(QStringLiteral("Text2")));
        m_loginEdit = qobject_cast<QLineEdit*>(control(QStringLiteral("Text3")));
        m_yearCombo = qobject_cast<tk::SortedComboBox*>(control(QStringLiteral("Combo1")));
        m_classCombo = qobject_cast<tk::SortedComboBox*>(control(QStringLiteral("Combo2")));
        m_createButton = qobject_cast<QPushButton*>(control(QStringLiteral("Command1")));
        m_quitButton = qobject_cast<QPushButton*>(control(QStringLiteral("Command2")));
        return QTest::qWaitForWindowActive(m_window.get()) && m_surnameEdit && m_givenNameEdit
            && m_loginEdit && m_yearCombo && m_classCombo && m_createButton && m_quitButton;
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
    QList<QWidget*> fourBoxes() const
    {
        return {m_givenNameEdit, m_surnameEdit, m_yearCombo, m_classCombo};
    }

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
