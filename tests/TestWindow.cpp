#include "TestSupport.h"
#include "WindowFixture.h"

#include "gui/FontFit.h"

#include <QAccessible>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionButton>

using namespace tk;
using namespace tktest;

namespace {

const QString selectOne = QStringLiteral("[Select One]");

const QStringList registerYears{"Year 7", "Year 10", "Year 8"};
// Mixed case, to prove that letter case only breaks ties in the order.
const QStringList registerClasses{"7b", "7A", "10C", "7C"};

// Whether a label's caption fits it, as Qt itself lays the label out.
bool captionFits(const QLabel& label)
{
    if (label.wordWrap())
        return label.heightForWidth(label.width()) <= label.height();
    return label.sizeHint().width() <= label.width();
}

// Answers the real message boxes as they come up, each with Enter (its
// default button), and notes what each one looked like.
class RealBoxAnswerer
{
public:
    RealBoxAnswerer()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { answerNewBox(); });
        m_timer.start(20);
    }

    QStringList seen;

private:
    void answerNewBox()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || box == m_answered)
            return;
        m_answered = box;
        const QAbstractButton* enterPresses = box->defaultButton();
        seen << QStringLiteral("%1 | %2 | %3 | %4")
                    .arg(box->windowTitle())
                    .arg(int(box->icon()))
                    .arg(enterPresses ? enterPresses->text().remove(QLatin1Char('&')) : QString())
                    .arg(box->text().section(QLatin1Char('\n'), 4, 4));
        QTest::keyClick(box, Qt::Key_Return);
    }

    QTimer m_timer;
    QPointer<QMessageBox> m_answered;
};

} // namespace

class TestWindow : public WindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init()
    {
        m_dialogs.clear();
        QVERIFY(openWindow(siteWithLists(registerYears, registerClasses)));
    }

    void cleanup() { m_window.reset(); }

    // What a screen reader calls each control: a field by its caption, a
    // button by its own name; "" where nothing is announced.
    void controls_data()
    {
        QTest::addColumn<QString>("announced");
        for (const char* label : {"Label5", "Label4", "Label3", "Label8", "Label7", "Label1",
                                  "Label2", "Label6", "Picture1"})
            QTest::newRow(label) << "";
        QTest::newRow("Text2") << "Given or Preferred Name:";
        QTest::newRow("Text1") << "New Student's Surname:";
        QTest::newRow("Combo1") << "Scholastic Year:";
        QTest::newRow("Combo2") << "Class:";
        QTest::newRow("Text3") << "Individual Login Account:";
        QTest::newRow("Command1") << "Create";
        QTest::newRow("Command2") << "Quit";
    }

    void controls()
    {
        QFETCH(QString, announced);
        QWidget* widget = control(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(widget && widget->isVisible());
        QVERIFY(m_window->rect().contains(widget->geometry()));
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            QVERIFY2(label->text().isEmpty() || captionFits(*label), qPrintable(label->text()));
        } else {
            // Fields and buttons look as they do in every other program.
            const QPalette standard = QApplication::palette(widget);
            for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
                for (const auto role :
                     {QPalette::Base, QPalette::Text, QPalette::Window, QPalette::Button})
                    QCOMPARE(widget->palette().color(group, role), standard.color(group, role));
        }
        if (announced.isEmpty())
            return;
        // A button is announced by its own name; a field by its caption,
        // which AT-SPI readers take from the labelled-by relation.
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
        QVERIFY(face);
        QStringList names;
        for (const auto& relation : face->relations(QAccessible::Label))
            names << relation.first->text(QAccessible::Name);
        if (qobject_cast<QPushButton*>(widget))
            names = QStringList{face->text(QAccessible::Name)};
        QCOMPARE(names, QStringList{announced});
    }

    // With Create disabled, Alt+C finds no button: the field keeps its text.
    void altCombinationsTypeNothing_data()
    {
        QTest::addColumn<QString>("field");
        for (const char* field : {"Text1", "Text2", "Text3", "Combo1", "Combo2"})
            QTest::newRow(field) << field;
    }

    void altCombinationsTypeNothing()
    {
        QFETCH(QString, field);
        QWidget* widget = control(field);
        widget->setFocus();
        QTest::keyClicks(widget, "Chioma");
        const QString typed =
            widget->property(qobject_cast<QLineEdit*>(widget) ? "text" : "currentText").toString();
        QTest::keyClick(widget, Qt::Key_C, Qt::AltModifier);
        QTest::keyClick(widget, Qt::Key_Q, Qt::AltModifier | Qt::ControlModifier);
        QCOMPARE(
            widget->property(qobject_cast<QLineEdit*>(widget) ? "text" : "currentText").toString(),
            typed + "q"); // AltGr, as Windows reports it, still types
    }

    void examples_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("box"); // the one it is an example for, just above it
        QTest::newRow("Label8") << "eg. Dravin"
                                << "Text2";
        QTest::newRow("Label7") << "eg. Quorrel"
                                << "Text1";
    }

    void examples()
    {
        QFETCH(QString, text);
        QFETCH(QString, box);
        QWidget* example = control(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(example && control(box));
        QCOMPARE(example->property("text").toString(), text);
        const QRect above = control(box)->geometry();
        const QRect under = example->geometry();
        QVERIFY(under.top() > above.bottom() && under.left() >= above.left()
                && under.right() <= above.right());
    }

    // With fonts that already fit, the window never has to shrink a caption;
    // these controls make it.
    void fontFitShrinksOnlyWhatDoesNotFit_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("shrinks");
        QTest::newRow("caption that fits") << "Class:" << QSize(49, 17) << false;
        QTest::newRow("caption too wide") << "Individual Login Account:" << QSize(100, 17) << true;
        QTest::newRow("paragraph too tall")
            << QStringLiteral("Type the student's names. ").repeated(20) << QSize(345, 100) << true;
        QTest::newRow("button too narrow") << "&Create" << QSize(30, 33) << true;
    }

    void fontFitShrinksOnlyWhatDoesNotFit()
    {
        QFETCH(QString, text);
        QFETCH(QSize, size);
        QFETCH(bool, shrinks);
        QWidget parent;
        parent.setFont(m_window->font());
        QLabel label(text, &parent);
        QPushButton button(text, &parent);
        label.setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        label.setWordWrap(text.size() > 100);
        const bool isButton = text.startsWith(QLatin1Char('&'));
        QWidget& widget = isButton ? static_cast<QWidget&>(button) : label;
        widget.resize(size);
        isButton ? shrinkFontToFit(button) : shrinkFontToFit(label);
        QCOMPARE(widget.font().pointSizeF() < m_window->font().pointSizeF(), shrinks);
        QVERIFY(isButton || captionFits(label));
    }

    void startUpState()
    {
        QCOMPARE(focusedControl(), QStringLiteral("Text2"));
        QVERIFY(m_surnameEdit->text().isEmpty() && m_givenNameEdit->text().isEmpty()
                && m_loginEdit->text().isEmpty());
        for (SortedComboBox* combo : {m_yearCombo, m_classCombo}) {
            QCOMPARE(combo->currentText(), selectOne);
            QCOMPARE(combo->currentIndex(), -1);
        }
        // By text, not by number, and letter case only breaks ties.
        QCOMPARE(itemsOf(m_yearCombo), (QStringList{"Year 10", "Year 7", "Year 8"}));
        QCOMPARE(itemsOf(m_classCombo), (QStringList{"10C", "7A", "7b", "7C"}));
        QVERIFY(!m_createButton->isEnabled());

        QVERIFY(openWindow(siteWithLists({}, {})));
        QCOMPARE(m_yearCombo->count() + m_classCombo->count(), 0);
        QCOMPARE(m_yearCombo->currentText(), selectOne);
    }

    void typedTextIsKeptExactly_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("thenKey");
        QTest::newRow("start of an item") << "Y" << 0;
        QTest::newRow("item in other case, Enter") << "year 7" << int(Qt::Key_Return);
        QTest::newRow("not an item, keypad Enter") << "Year 12" << int(Qt::Key_Enter);
        QTest::newRow("blanks around an item, Tab away") << " Year 7 " << int(Qt::Key_Tab);
    }

    void typedTextIsKeptExactly()
    {
        QFETCH(QString, typed);
        QFETCH(int, thenKey);
        typeInto(m_yearCombo, typed);
        if (thenKey)
            pressKey(Qt::Key(thenKey));
        QCOMPARE(m_yearCombo->currentText(), typed);
        QCOMPARE(m_yearCombo->currentIndex(), -1);
        QCOMPARE(m_yearCombo->count(), registerYears.size());
    }

    void tabOrder_data()
    {
        QTest::addColumn<bool>("createEnabled");
        QTest::addColumn<QStringList>("visited");
        QTest::newRow("Create enabled")
            << true
            << QStringList{"Text1", "Combo1", "Combo2", "Text3", "Command1", "Command2", "Text2"};
        QTest::newRow("Create disabled")
            << false << QStringList{"Text1", "Combo1", "Combo2", "Text3", "Command2", "Text2"};
    }

    void tabOrder()
    {
        QFETCH(bool, createEnabled);
        QFETCH(QStringList, visited);
        if (createEnabled)
            fill();
        QCOMPARE(m_createButton->isEnabled(), createEnabled);
        m_givenNameEdit->setFocus();
        QStringList actual;
        for (qsizetype i = 0; i < visited.size(); ++i) {
            pressKey(Qt::Key_Tab);
            actual << focusedControl();
        }
        QCOMPARE(actual, visited);
    }

    void onlyCreateAsksAndNoKeepsTheInputs()
    {
        // Queued, so that a Create pressed by mistake would be answered No.
        for (int i = 0; i < 20; ++i)
            m_dialogs.answers.enqueue(Answer::No);
        pressKey(Qt::Key_C, Qt::AltModifier);
        fill();
        typeInto(m_loginEdit, QStringLiteral("bena"));
        for (QWidget* box : QList<QWidget*>{m_surnameEdit, m_givenNameEdit, m_loginEdit,
                                            m_yearCombo, m_classCombo}) {
            box->setFocus();
            for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
                pressKey(key);
        }
        QTest::qWait(300);
        QVERIFY(m_dialogs.shown.isEmpty());

        QTest::mouseClick(m_createButton, Qt::LeftButton);
        QCOMPARE(m_dialogs.shown.size(), 1);
        QCOMPARE(m_dialogs.shown.first().style, MessageStyle::Question);
        // The question names what was typed: the window handed over its inputs.
        for (const QString& typed : validInputs + QStringList{"bena"})
            QVERIFY2(m_dialogs.shown.first().text.contains(typed), qPrintable(typed));
        QVERIFY(m_window->isVisible() && !m_window->programEnded());
        QCOMPARE(fourInputs(), validInputs);
        QCOMPARE(m_loginEdit->text(), QStringLiteral("bena"));
        QVERIFY(m_createButton->isEnabled());
    }

    void inputRule_data()
    {
        QTest::addColumn<QStringList>("typed"); // given name, surname, year, class
        QTest::addColumn<bool>("enabled");
        QTest::newRow("all filled") << validInputs << true;
        QTest::newRow("given name empty") << QStringList{"", "Adams", "Year 7", "7A"} << false;
        QTest::newRow("surname empty") << QStringList{"Ben", "", "Year 7", "7A"} << false;
        QTest::newRow("year empty") << QStringList{"Ben", "Adams", "", "7A"} << false;
        QTest::newRow("class empty") << QStringList{"Ben", "Adams", "Year 7", ""} << false;
        QTest::newRow("year not chosen") << QStringList{"Ben", "Adams", selectOne, "7A"} << false;
        QTest::newRow("class not chosen")
            << QStringList{"Ben", "Adams", "Year 7", selectOne} << false;
        QTest::newRow("blanks") << QStringList{" ", "   ", " ", " "} << true;
        QTest::newRow("prompt in lower case")
            << QStringList{"Ben", "Adams", "[select one]", "7A"} << true;
        QTest::newRow("prompt after a blank")
            << QStringList{"Ben", "Adams", "Year 7", " [Select One]"} << true;
        QTest::newRow("not in the lists") << QStringList{"Ben", "Adams", "Year 12", "12Q"} << true;
    }

    void inputRule()
    {
        QFETCH(QStringList, typed);
        QFETCH(bool, enabled);
        fill(typed);
        QCOMPARE(fourInputs(), typed);
        QCOMPARE(m_createButton->isEnabled(), enabled);
    }

    void deletingLastCharacterDisables_data()
    {
        QTest::addColumn<int>("box");
        int box = 0;
        for (const char* name : {"given name", "surname", "year", "class"})
            QTest::newRow(name) << box++;
    }

    void deletingLastCharacterDisables()
    {
        QFETCH(int, box);
        fill();
        fourBoxes()[box]->setFocus();
        pressKey(Qt::Key_End);
        for (qsizetype i = 1; i < validInputs[box].size(); ++i) {
            pressKey(Qt::Key_Backspace);
            QVERIFY2(m_createButton->isEnabled(), "disabled before the box was empty");
        }
        pressKey(Qt::Key_Backspace);
        QVERIFY(fourInputs()[box].isEmpty());
        QVERIFY(!m_createButton->isEnabled());
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("z"));
        QVERIFY(m_createButton->isEnabled());
    }

    void onlyEditsAndPicksRunTheRule()
    {
        fill({"Ben", "Adams", "Year 7"});
        QVERIFY(!m_createButton->isEnabled());
        // Down picks the first class from the list, as a click in the list would.
        m_classCombo->setFocus();
        pressKey(Qt::Key_Down);
        QCOMPARE(m_classCombo->currentText(), QStringLiteral("10C"));
        QVERIFY(m_createButton->isEnabled());

        // Put out of step with the inputs on purpose: only the rule could mend it.
        m_createButton->setEnabled(false);
        typeInto(m_loginEdit, QStringLiteral("bena"));
        for (int i = 0; i < 8; ++i)
            pressKey(Qt::Key_Tab);
        m_surnameEdit->setFocus();
        m_classCombo->setFocus();
        QVERIFY2(!m_createButton->isEnabled(), "the login account or a focus move ran the rule");
        // Picking the item whose text the field already shows changes no text:
        // only the pick itself can run the rule.
        m_yearCombo->setCurrentIndex(-1);
        m_yearCombo->setEditText(QStringLiteral("Year 10"));
        m_createButton->setEnabled(false);
        m_yearCombo->setFocus();
        pressKey(Qt::Key_Down);
        QCOMPARE(m_yearCombo->currentText(), QStringLiteral("Year 10"));
        QVERIFY(m_createButton->isEnabled());
    }

    void everyWayOutEndsProgram_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("click Quit") << 0;
        QTest::newRow("Alt+Q") << 1;
        QTest::newRow("title bar close") << 2;
    }

    void everyWayOutEndsProgram()
    {
        QFETCH(int, way);
        const int status = runEventLoopDoing([&] {
            if (way == 0)
                QTest::mouseClick(m_quitButton, Qt::LeftButton);
            else if (way == 1)
                pressKey(Qt::Key_Q, Qt::AltModifier);
            else
                m_window->close();
        });
        QCOMPARE(status, 0);
        QVERIFY(m_window->programEnded() && !m_window->isVisible());
        QVERIFY(m_dialogs.shown.isEmpty());
    }

    void altCAnswersTheRealQuestionBox()
    {
        tktest::Intranet intranet;
        QVERIFY(openWindow(intranet.load(), true));
        typeInto(m_givenNameEdit, QStringLiteral("Cara"));
        typeInto(m_surnameEdit, QStringLiteral("Dunn"));
        typeInto(m_yearCombo, QStringLiteral("Year 7"));
        typeInto(m_classCombo, QStringLiteral("7B"));

        RealBoxAnswerer answerer;
        const int status = runEventLoopDoing([this] { pressKey(Qt::Key_C, Qt::AltModifier); });

        QCOMPARE(status, 0);
        QCOMPARE(answerer.seen,
                 (QStringList{
                     QStringLiteral("Please Verify | %1 | Yes | Are you sure you want to do this?")
                         .arg(int(QMessageBox::Question)),
                     QStringLiteral("Success | %1 | OK | ").arg(int(QMessageBox::Information))}));
        QVERIFY(tktest::readFile(intranet.path("tkshrtct.dat"))
                    .contains("Dunn Cara,dunn_cara,7B,Year 7"));
        QVERIFY(!m_window->isVisible());
    }
};

QTEST_MAIN(TestWindow)
#include "TestWindow.moc"
