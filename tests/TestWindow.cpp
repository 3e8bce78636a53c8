#include "TestSupport.h"
#include "WindowFixture.h"

#include "app/FontFit.h"
#include "platform/FileServices.h"
#include "platform/MessageBox.h"

#include <QAccessible>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionButton>

using namespace tk;
using namespace tktest;

namespace {

const QString selectOne = QStringLiteral("[Select One]");
const QColor grey(128, 128, 128);
const QColor yellow(255, 255, 128);
const QColor white(255, 255, 255);

// The operator reads this paragraph before every use; it must survive word for word.
const QString instructions = QStringLiteral(
    "This utility is used to add an intranet folder structure into Ilvantis for new "
    "students that enrol into your school after you have created your Ilvantis structure "
    "for the year.  Type in the new student's surname and given name in the boxes below "
    "and choose the Year and Class that the student has been enrolled into.  If your "
    "school has individual login accounts to the server for each student, also type in "
    "this student's login account name, otherwise leave that field blank.  When ready "
    "click the Create button.  Please NOTE: This utility will only work if you have "
    "created your Ilvantis structure using Ilvantis 2004 or later.");

const QStringList registerYears{"Year 7", "Year 10", "Year 8"};
// Mixed case, to prove that letter case only breaks ties in the order.
const QStringList registerClasses{"7b", "7A", "10C", "7C"};

// Empty when the caption of `widget` (none for a field), laid out as the
// widget lays it out, fits where the widget draws it with `font`; else what it
// needs. Measured here, not with the program's helpers, so a fault there shows.
QString captionOverflow(const QWidget& widget, const QFont& font)
{
    QRect area;
    int flags = Qt::AlignCenter | Qt::TextShowMnemonic;
    QString text;
    if (auto* label = qobject_cast<const QLabel*>(&widget)) {
        area = label->contentsRect();
        flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
        text = label->text();
    } else if (auto* button = qobject_cast<const QPushButton*>(&widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = text = button->text();
        area = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    } else {
        return QString(); // a field has no caption
    }
    const QRect needed = QFontMetrics(font).boundingRect(area, flags, text);
    if (needed.width() <= area.width() && needed.height() <= area.height())
        return QString();
    return QStringLiteral("needs %1 x %2 in %3 x %4")
        .arg(needed.width()).arg(needed.height()).arg(area.width()).arg(area.height());
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
        MessageBox::clearShown();
        QVERIFY(openWindow(siteWithLists(registerYears, registerClasses)));
    }

    void cleanup()
    {
        m_window.reset();
        MessageBox::clearShown();
    }

    void windowAndBanner()
    {
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Add a New Student to Vesk's Ilvantis 2005"));
        QVERIFY(m_window->isWindow() && !qobject_cast<QDialog*>(m_window.get()));
        QCOMPARE(m_window->minimumSize(), QSize(381, 353));
        QCOMPARE(m_window->maximumSize(), QSize(381, 353));
        QCOMPARE(m_window->palette().color(QPalette::Window), grey);

        auto* picture = qobject_cast<QLabel*>(control(QStringLiteral("Picture1")));
        QVERIFY(picture);
        QCOMPARE(picture->pixmap().size(), QSize(248, 60));
        QCOMPARE(picture->focusPolicy(), Qt::NoFocus);
        // Drawn unstretched at the top-left: its own pixels there, grey right of and below it.
        const QImage shown = picture->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage original = picture->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown.pixelColor(124, 30), original.pixelColor(124, 30));
        QCOMPARE(shown.pixelColor(250, 30), grey);
        QCOMPARE(shown.pixelColor(124, 62), grey);
    }

    void controls_data()
    {
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<QColor>("colour"); // of a caption; none where the standard colours stay
        QTest::addColumn<bool>("bold");
        QTest::addColumn<QString>("announced"); // what a screen reader calls it
        const QColor none;
        QTest::newRow("Label5") << QRect(240, 120, 5175, 1935) << white << false << "";
        QTest::newRow("Label4") << QRect(360, 2280, 2415, 255) << yellow << true << "";
        QTest::newRow("Label3") << QRect(3120, 2280, 2175, 255) << yellow << true << "";
        QTest::newRow("Text2") << QRect(240, 2520, 2535, 285) << none << false << "Given or Preferred Name:";
        QTest::newRow("Text1") << QRect(2880, 2520, 2655, 285) << none << false << "New Student's Surname:";
        QTest::newRow("Label8") << QRect(840, 2880, 1335, 255) << white << false << "";
        QTest::newRow("Label7") << QRect(3480, 2880, 1335, 255) << white << false << "";
        QTest::newRow("Label1") << QRect(240, 3360, 1335, 255) << yellow << false << "";
        QTest::newRow("Label2") << QRect(2040, 3360, 735, 255) << yellow << false << "";
        QTest::newRow("Label6") << QRect(3480, 3360, 1935, 255) << yellow << false << "";
        QTest::newRow("Combo1") << QRect(240, 3600, 1335, 315) << none << false << "Scholastic Year:";
        QTest::newRow("Combo2") << QRect(1680, 3600, 1455, 315) << none << false << "Class:";
        QTest::newRow("Text3") << QRect(3240, 3600, 2295, 285) << none << false << "Individual Login Account:";
        QTest::newRow("Picture1") << QRect(240, 4200, 3855, 975) << none << false << "";
        QTest::newRow("Command1") << QRect(4320, 4200, 1215, 495) << none << true << "Create";
        QTest::newRow("Command2") << QRect(4320, 4800, 1215, 255) << none << false << "Quit";
    }

    void controls()
    {
        QFETCH(QRect, twips);
        QFETCH(QColor, colour);
        QFETCH(bool, bold);
        QFETCH(QString, announced);
        QWidget* widget = control(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(widget && widget->isVisible());
        QCOMPARE(widget->geometry(), QRect(twips.topLeft() / 15, twips.size() / 15));
        QCOMPARE(widget->font().weight(), bold ? QFont::Bold : QFont::Normal);
        const QString overflow = captionOverflow(*widget, widget->font());
        QVERIFY2(overflow.isEmpty(), qPrintable(overflow));
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            if (label->objectName() == QLatin1String("Label5"))
                QCOMPARE(label->text(), instructions);
            const QImage image = label->grab().toImage().convertToFormat(QImage::Format_RGB32);
            QCOMPARE(image.pixelColor(0, image.height() - 1), grey);
            QVERIFY(!colour.isValid() || label->palette().color(QPalette::WindowText) == colour);
        } else {
            // Fields and buttons look as they do in every other program.
            const QPalette standard = QApplication::palette(widget);
            for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
                for (const auto role : {QPalette::Base, QPalette::Text, QPalette::Window, QPalette::Button})
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

    void fontFitShrinksOnlyWhatDoesNotFit_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("shrinks");
        QTest::newRow("caption that fits") << "Class:" << QSize(49, 17) << false;
        QTest::newRow("caption too wide") << "Individual Login Account:" << QSize(100, 17) << true;
        QTest::newRow("paragraph too tall") << instructions << QSize(345, 100) << true;
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
        const qreal got = widget.font().pointSizeF();
        QCOMPARE(got < m_window->font().pointSizeF(), shrinks);
        QCOMPARE(captionOverflow(widget, widget.font()), QString());
        // No smaller than needed: a quarter point larger would not fit.
        QFont larger = widget.font();
        larger.setPointSizeF(got + 0.25);
        QVERIFY(!shrinks || !captionOverflow(widget, larger).isEmpty());
    }

    void startUpState()
    {
        QCOMPARE(focusedControl(), QStringLiteral("Text2"));
        QVERIFY(m_text1->text().isEmpty() && m_text2->text().isEmpty() && m_text3->text().isEmpty());
        for (SortedComboBox* combo : {m_combo1, m_combo2}) {
            QCOMPARE(combo->currentText(), selectOne);
            QCOMPARE(combo->currentIndex(), -1);
        }
        // By text, not by number, and letter case only breaks ties.
        QCOMPARE(itemsOf(m_combo1), (QStringList{"Year 10", "Year 7", "Year 8"}));
        QCOMPARE(itemsOf(m_combo2), (QStringList{"10C", "7A", "7b", "7C"}));
        QVERIFY(!m_create->isEnabled());

        QVERIFY(openWindow(siteWithLists({}, {})));
        QCOMPARE(m_combo1->count() + m_combo2->count(), 0);
        QCOMPARE(m_combo1->currentText(), selectOne);
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
        typeInto(m_combo1, typed);
        if (thenKey)
            pressKey(Qt::Key(thenKey));
        QCOMPARE(m_combo1->currentText(), typed);
        QCOMPARE(m_combo1->currentIndex(), -1);
        QCOMPARE(m_combo1->count(), registerYears.size());
    }

    void tabOrder_data()
    {
        QTest::addColumn<bool>("createEnabled");
        QTest::addColumn<QStringList>("visited");
        QTest::newRow("Create enabled")
            << true << QStringList{"Text1", "Combo1", "Combo2", "Text3", "Command1", "Command2", "Text2"};
        QTest::newRow("Create disabled")
            << false << QStringList{"Text1", "Combo1", "Combo2", "Text3", "Command2", "Text2"};
    }

    void tabOrder()
    {
        QFETCH(bool, createEnabled);
        QFETCH(QStringList, visited);
        if (createEnabled)
            fill();
        QCOMPARE(m_create->isEnabled(), createEnabled);
        m_text2->setFocus();
        QStringList actual;
        for (qsizetype i = 0; i < visited.size(); ++i) {
            pressKey(Qt::Key_Tab);
            actual << focusedControl();
        }
        QCOMPARE(actual, visited);
    }

    void onlyCreateAsksAndNoKeepsTheInputs()
    {
        // Queued, so that a Create pressed by mistake would be recorded, not shown.
        for (int i = 0; i < 20; ++i)
            MessageBox::setNextAnswer(Answer::No);
        pressKey(Qt::Key_C, Qt::AltModifier);
        fill();
        typeInto(m_text3, QStringLiteral("bena"));
        for (QWidget* box : QList<QWidget*>{m_text1, m_text2, m_text3, m_combo1, m_combo2}) {
            box->setFocus();
            for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
                pressKey(key);
        }
        QTest::qWait(300);
        QVERIFY(MessageBox::shown().isEmpty());

        QTest::mouseClick(m_create, Qt::LeftButton);
        QCOMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(MessageBox::shown().first().style, MessageStyle::Question);
        // The question names what was typed: the window handed over its inputs.
        for (const QString& typed : validInputs + QStringList{"bena"})
            QVERIFY2(MessageBox::shown().first().text.contains(typed), qPrintable(typed));
        QVERIFY(m_window->isVisible() && !m_window->programEnded());
        QCOMPARE(fourInputs(), validInputs);
        QCOMPARE(m_text3->text(), QStringLiteral("bena"));
        QVERIFY(m_create->isEnabled());
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
        QTest::newRow("class not chosen") << QStringList{"Ben", "Adams", "Year 7", selectOne} << false;
        QTest::newRow("blanks") << QStringList{" ", "   ", " ", " "} << true;
        QTest::newRow("prompt in lower case") << QStringList{"Ben", "Adams", "[select one]", "7A"} << true;
        QTest::newRow("prompt after a blank") << QStringList{"Ben", "Adams", "Year 7", " [Select One]"} << true;
        QTest::newRow("not in the lists") << QStringList{"Ben", "Adams", "Year 12", "12Q"} << true;
    }

    void inputRule()
    {
        QFETCH(QStringList, typed);
        QFETCH(bool, enabled);
        fill(typed);
        QCOMPARE(fourInputs(), typed);
        QCOMPARE(m_create->isEnabled(), enabled);
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
            QVERIFY2(m_create->isEnabled(), "disabled before the box was empty");
        }
        pressKey(Qt::Key_Backspace);
        QVERIFY(fourInputs()[box].isEmpty());
        QVERIFY(!m_create->isEnabled());
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("z"));
        QVERIFY(m_create->isEnabled());
    }

    void onlyEditsAndPicksRunTheRule()
    {
        fill({"Ben", "Adams", "Year 7"});
        QVERIFY(!m_create->isEnabled());
        // Down picks the first class from the list, as a click in the list would.
        m_combo2->setFocus();
        pressKey(Qt::Key_Down);
        QCOMPARE(m_combo2->currentText(), QStringLiteral("10C"));
        QVERIFY(m_create->isEnabled());

        // Put out of step with the inputs on purpose: only the rule could mend it.
        m_create->setEnabled(false);
        typeInto(m_text3, QStringLiteral("bena"));
        for (int i = 0; i < 8; ++i)
            pressKey(Qt::Key_Tab);
        m_text1->setFocus();
        m_combo2->setFocus();
        QVERIFY2(!m_create->isEnabled(), "the login account or a focus move ran the rule");
        // Picking the item whose text the field already shows changes no text:
        // only the pick itself can run the rule.
        m_combo1->setCurrentIndex(-1);
        m_combo1->setEditText(QStringLiteral("Year 10"));
        m_create->setEnabled(false);
        m_combo1->setFocus();
        pressKey(Qt::Key_Down);
        QCOMPARE(m_combo1->currentText(), QStringLiteral("Year 10"));
        QVERIFY(m_create->isEnabled());
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
        QTemporaryDir dir;
        files::OutputFile heldOpen(dir.filePath(QStringLiteral("held.txt")),
                                   files::OutputFile::Mode::CreateOrEmpty);
        const int status = runEventLoopDoing([&] {
            if (way == 0)
                QTest::mouseClick(m_quit, Qt::LeftButton);
            else if (way == 1)
                pressKey(Qt::Key_Q, Qt::AltModifier);
            else
                m_window->close();
        });
        QCOMPARE(status, 0);
        QCOMPARE(files::openFileCount(), 0);
        QVERIFY(m_window->programEnded() && !m_window->isVisible());
        QVERIFY(MessageBox::shown().isEmpty());
    }

    void altCAnswersTheRealQuestionBox()
    {
        tktest::Intranet intranet;
        QVERIFY(openWindow(intranet.load()));
        typeInto(m_text2, QStringLiteral("Cara"));
        typeInto(m_text1, QStringLiteral("Dunn"));
        typeInto(m_combo1, QStringLiteral("Year 7"));
        typeInto(m_combo2, QStringLiteral("7B"));

        RealBoxAnswerer answerer;
        const int status = runEventLoopDoing([this] { pressKey(Qt::Key_C, Qt::AltModifier); });

        QCOMPARE(status, 0);
        QCOMPARE(answerer.seen,
                 (QStringList{QStringLiteral("Please Verify | %1 | Yes | Are you sure you want to do this?")
                                  .arg(int(QMessageBox::Question)),
                              QStringLiteral("Success | %1 | OK | ").arg(int(QMessageBox::Information))}));
        QVERIFY(tktest::readFile(intranet.path("tkshrtct.dat")).contains("Dunn Cara,dunn_cara,7B,Year 7"));
        QVERIFY(!m_window->isVisible());
    }
};

QTEST_MAIN(TestWindow)
#include "TestWindow.moc"
