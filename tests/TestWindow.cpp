#include "TestSupport.h"

#include "app/FontFit.h"
#include "app/Form1.h"
#include "app/SortedComboBox.h"
#include "platform/FileServices.h"
#include "platform/MessageBox.h"

#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

using namespace tk;

namespace {

const QString selectOne = QStringLiteral("[Select One]");
const QColor grey(128, 128, 128);
const QColor yellow(255, 255, 128);
const QColor white(255, 255, 255);

const QString instructions = QStringLiteral(
    "This utility is used to add an intranet folder structure into Ilvantis for new "
    "students that enrol into your school after you have created your Ilvantis structure "
    "for the year.  Type in the new student's surname and given name in the boxes below "
    "and choose the Year and Class that the student has been enrolled into.  If your "
    "school has individual login accounts to the server for each student, also type in "
    "this student's login account name, otherwise leave that field blank.  When ready "
    "click the Create button.  Please NOTE: This utility will only work if you have "
    "created your Ilvantis structure using Ilvantis 2004 or later.");

const QStringList registerYears{QStringLiteral("Year 7"), QStringLiteral("Year 10"),
                                QStringLiteral("Year 8")};
const QStringList registerClasses{QStringLiteral("7B"), QStringLiteral("7A"),
                                  QStringLiteral("10C")};

SiteData siteWithLists(const QStringList& years, const QStringList& classes)
{
    SiteData site;
    site.appFolder = QStringLiteral("nowhere");
    site.settings.structureYear = 2026;
    site.shortcuts.YearList = years;
    site.shortcuts.ClassList = classes;
    return site;
}

QStringList itemsOf(const QComboBox& combo)
{
    QStringList items;
    for (int i = 0; i < combo.count(); ++i)
        items << combo.itemText(i);
    return items;
}

QStringList titlesShown()
{
    QStringList titles;
    for (const MessageBox::Shown& box : MessageBox::shown())
        titles << box.title;
    return titles;
}

// Where a push button's style draws its caption.
QRect buttonTextArea(const QPushButton& button)
{
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    return button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &button);
}

// How far the most strongly drawn pixel goes from the grey background towards
// `ink`: 0 not at all, 1 the full colour. Antialiased text rarely reaches 1;
// pixels of any other hue do not count. `ink` must differ from grey in red.
double strongestInk(const QImage& image, const QColor& ink)
{
    constexpr int tolerance = 12;
    double strongest = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            const double share = (pixel.red() - grey.red()) / double(ink.red() - grey.red());
            const auto onTheWay = [&](int background, int full, int actual) {
                return qAbs(background + share * (full - background) - actual) <= tolerance;
            };
            if (share > strongest && onTheWay(grey.green(), ink.green(), pixel.green())
                && onTheWay(grey.blue(), ink.blue(), pixel.blue()))
                strongest = share;
        }
    }
    return strongest;
}

QString textOf(QWidget* box)
{
    if (auto* lineEdit = qobject_cast<QLineEdit*>(box))
        return lineEdit->text();
    return qobject_cast<QComboBox*>(box)->currentText();
}

// Runs the event loop as the program does, doing `action` from inside it;
// returns the status the loop ends with (99 if nothing ended it).
int runEventLoopDoing(const std::function<void()>& action)
{
    QTimer::singleShot(0, action);
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    giveUp.start(10000);
    return QApplication::exec();
}

// Empty when the caption of `widget`, laid out as the widget lays it out,
// fits where the widget draws it with `font`; else what it needs.
QString captionOverflow(const QWidget& widget, const QFont& font)
{
    QRect area;
    int flags = 0;
    QString text;
    if (auto* label = qobject_cast<const QLabel*>(&widget)) {
        area = label->contentsRect();
        flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
        text = label->text();
    } else if (auto* button = qobject_cast<const QPushButton*>(&widget)) {
        area = buttonTextArea(*button);
        flags = Qt::AlignCenter | Qt::TextShowMnemonic;
        text = button->text();
    } else {
        return QStringLiteral("not a label or button");
    }
    const QRect needed = QFontMetrics(font).boundingRect(area, flags, text);
    if (needed.width() <= area.width() && needed.height() <= area.height())
        return QString();
    return QStringLiteral("needs %1 x %2 in %3 x %4")
        .arg(needed.width())
        .arg(needed.height())
        .arg(area.width())
        .arg(area.height());
}

QString accessibleName(QWidget* widget)
{
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(QAccessible::Name) : QStringLiteral("<no interface>");
}

// The texts of whatever labels `widget` for assistive technology.
QStringList accessibleLabels(QWidget* widget)
{
    QStringList labels;
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    if (!face)
        return labels;
    const auto relations = face->relations(QAccessible::Label);
    for (const auto& relation : relations)
        labels << relation.first->text(QAccessible::Name);
    return labels;
}

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void windowFrame();
    void controlGeometry_data();
    void controlGeometry();
    void captions_data();
    void captions();
    void labelColours_data();
    void labelColours();
    void fieldsKeepStandardColours_data();
    void fieldsKeepStandardColours();
    void fonts_data();
    void fonts();
    void captionsFitTheirControls_data();
    void captionsFitTheirControls();
    void fontFitShrinksOnlyWhatDoesNotFit_data();
    void fontFitShrinksOnlyWhatDoesNotFit();
    void toolTips_data();
    void toolTips();
    void accessibleNames_data();
    void accessibleNames();
    void banner();
    void textBoxesTakeAnyText();

    void startUpState();
    void emptyRegisterLeavesListsEmpty();
    void listsAreSorted_data();
    void listsAreSorted();
    void promptSurvivesFilling();
    void typedTextIsKeptExactly_data();
    void typedTextIsKeptExactly();

    void tabOrder_data();
    void tabOrder();
    void altCPressesCreateOnlyWhileEnabled();
    void enterAndEscPressNothing_data();
    void enterAndEscPressNothing();

    void inputRule_data();
    void inputRule();
    void deletingLastCharacterDisables_data();
    void deletingLastCharacterDisables();
    void loginAccountAndFocusDoNotRunTheRule();
    void pickingAnItemRunsTheRule();

    void everyWayOutEndsProgram_data();
    void everyWayOutEndsProgram();
    void createAnsweredNoReturnsToWindow();
    void createThatSucceedsEndsProgram();
    void altCAnswersTheRealQuestionBox();

private:
    bool openWindow(const SiteData& site);
    void typeInto(QWidget* box, const QString& text);
    void fillValidInputs();
    void pressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    QWidget* control(const QString& name) const;
    QString focusedControl() const;

    std::unique_ptr<Form1> m_window;
    QLineEdit* m_text1 = nullptr;
    QLineEdit* m_text2 = nullptr;
    QLineEdit* m_text3 = nullptr;
    SortedComboBox* m_combo1 = nullptr;
    SortedComboBox* m_combo2 = nullptr;
    QPushButton* m_create = nullptr;
    QPushButton* m_quit = nullptr;
};

// Opens the window as the program does, ready for the operator.
bool TestWindow::openWindow(const SiteData& site)
{
    m_window = std::make_unique<Form1>(site);
    m_window->start();
    if (!QTest::qWaitForWindowActive(m_window.get()))
        return false;
    m_text1 = m_window->findChild<QLineEdit*>(QStringLiteral("Text1"));
    m_text2 = m_window->findChild<QLineEdit*>(QStringLiteral("Text2"));
    m_text3 = m_window->findChild<QLineEdit*>(QStringLiteral("Text3"));
    m_combo1 = m_window->findChild<SortedComboBox*>(QStringLiteral("Combo1"));
    m_combo2 = m_window->findChild<SortedComboBox*>(QStringLiteral("Combo2"));
    m_create = m_window->findChild<QPushButton*>(QStringLiteral("Command1"));
    m_quit = m_window->findChild<QPushButton*>(QStringLiteral("Command2"));
    return m_text1 && m_text2 && m_text3 && m_combo1 && m_combo2 && m_create && m_quit;
}

void TestWindow::initTestCase()
{
    // The window must end the program by itself, not by being the last one.
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestWindow::init()
{
    MessageBox::clearShown();
    QVERIFY(openWindow(siteWithLists(registerYears, registerClasses)));
}

void TestWindow::cleanup()
{
    m_window.reset();
    MessageBox::clearShown();
}

QWidget* TestWindow::control(const QString& name) const
{
    return m_window->findChild<QWidget*>(name, Qt::FindDirectChildrenOnly);
}

// The window's control that holds the focus; a combo box's own edit field
// counts as the combo box.
QString TestWindow::focusedControl() const
{
    QWidget* widget = QApplication::focusWidget();
    while (widget && widget->parentWidget() != m_window.get())
        widget = widget->parentWidget();
    return widget ? widget->objectName() : QStringLiteral("<none>");
}

void TestWindow::pressKey(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    QWidget* target = QApplication::focusWidget();
    QVERIFY(target);
    QTest::keyClick(target, key, modifiers);
}

// As the operator does it: into the box, select everything, type over it.
void TestWindow::typeInto(QWidget* box, const QString& text)
{
    box->setFocus();
    pressKey(Qt::Key_A, Qt::ControlModifier);
    pressKey(Qt::Key_Delete);
    QTest::keyClicks(QApplication::focusWidget(), text);
}

void TestWindow::fillValidInputs()
{
    typeInto(m_text2, QStringLiteral("Ben"));
    typeInto(m_text1, QStringLiteral("Adams"));
    typeInto(m_combo1, QStringLiteral("Year 7"));
    typeInto(m_combo2, QStringLiteral("7A"));
    QVERIFY(m_create->isEnabled());
}

// ---------------------------------------------------------------------------
// Layout and looks

void TestWindow::windowFrame()
{
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Add a New Student to Vesk's Ilvantis 2005"));
    QVERIFY(m_window->isWindow());
    QVERIFY(!qobject_cast<QDialog*>(m_window.get()));
    QCOMPARE(m_window->size(), QSize(381, 353));
    QCOMPARE(m_window->minimumSize(), QSize(381, 353));
    QCOMPARE(m_window->maximumSize(), QSize(381, 353));

    const Qt::WindowFlags flags = m_window->windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowTitleHint));
    QVERIFY(flags.testFlag(Qt::WindowSystemMenuHint));
    QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));

    QVERIFY(m_window->autoFillBackground());
    QCOMPARE(m_window->palette().color(QPalette::Window), grey);

    for (QPushButton* button : {m_create, m_quit}) {
        QVERIFY(!button->isDefault());
        QVERIFY(!button->autoDefault());
    }

    const QList<QSize> iconSizes = m_window->windowIcon().availableSizes();
    QVERIFY2(iconSizes.contains(QSize(16, 16)), "no 16 x 16 icon");
    QVERIFY2(iconSizes.contains(QSize(32, 32)), "no 32 x 32 icon");
}

void TestWindow::controlGeometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QList<int>>("twips"); // left, top, width, height

    QTest::newRow("Label5") << "Label5" << QList<int>{240, 120, 5175, 1935};
    QTest::newRow("Label4") << "Label4" << QList<int>{360, 2280, 2415, 255};
    QTest::newRow("Label3") << "Label3" << QList<int>{3120, 2280, 2175, 255};
    QTest::newRow("Text2") << "Text2" << QList<int>{240, 2520, 2535, 285};
    QTest::newRow("Text1") << "Text1" << QList<int>{2880, 2520, 2655, 285};
    QTest::newRow("Label8") << "Label8" << QList<int>{840, 2880, 1335, 255};
    QTest::newRow("Label7") << "Label7" << QList<int>{3480, 2880, 1335, 255};
    QTest::newRow("Label1") << "Label1" << QList<int>{240, 3360, 1335, 255};
    QTest::newRow("Label2") << "Label2" << QList<int>{2040, 3360, 735, 255};
    QTest::newRow("Label6") << "Label6" << QList<int>{3480, 3360, 1935, 255};
    QTest::newRow("Combo1") << "Combo1" << QList<int>{240, 3600, 1335, 315};
    QTest::newRow("Combo2") << "Combo2" << QList<int>{1680, 3600, 1455, 315};
    QTest::newRow("Text3") << "Text3" << QList<int>{3240, 3600, 2295, 285};
    QTest::newRow("Picture1") << "Picture1" << QList<int>{240, 4200, 3855, 975};
    QTest::newRow("Command1") << "Command1" << QList<int>{4320, 4200, 1215, 495};
    QTest::newRow("Command2") << "Command2" << QList<int>{4320, 4800, 1215, 255};
}

void TestWindow::controlGeometry()
{
    QFETCH(QString, name);
    QFETCH(QList<int>, twips);
    QWidget* widget = control(name);
    QVERIFY(widget);
    const QRect expected(twips[0] / 15, twips[1] / 15, twips[2] / 15, twips[3] / 15);
    QCOMPARE(widget->geometry(), expected);
    QVERIFY(widget->isVisible());
    QVERIFY(m_window->rect().contains(widget->geometry()));
}

void TestWindow::captions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");

    QTest::newRow("Label5") << "Label5" << instructions;
    QTest::newRow("Label4") << "Label4" << "Given or Preferred Name:";
    QTest::newRow("Label3") << "Label3" << "New Student's Surname:";
    QTest::newRow("Label8") << "Label8" << "eg. Dravin";
    QTest::newRow("Label7") << "Label7" << "eg. Quorrel";
    QTest::newRow("Label1") << "Label1" << "Scholastic Year:";
    QTest::newRow("Label2") << "Label2" << "Class:";
    QTest::newRow("Label6") << "Label6" << "Individual Login Account:";
    QTest::newRow("Command1") << "Command1" << "&Create";
    QTest::newRow("Command2") << "Command2" << "&Quit";
}

void TestWindow::captions()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QWidget* widget = control(name);
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        QCOMPARE(label->text(), caption);
        QCOMPARE(label->textFormat(), Qt::PlainText);
    } else {
        auto* button = qobject_cast<QPushButton*>(widget);
        QVERIFY(button);
        QCOMPARE(button->text(), caption);
    }
}

void TestWindow::labelColours_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QColor>("textColour");

    for (const char* name : {"Label1", "Label2", "Label3", "Label4", "Label6"})
        QTest::newRow(name) << name << yellow;
    for (const char* name : {"Label5", "Label7", "Label8"})
        QTest::newRow(name) << name << white;
}

void TestWindow::labelColours()
{
    QFETCH(QString, name);
    QFETCH(QColor, textColour);
    auto* label = qobject_cast<QLabel*>(control(name));
    QVERIFY(label);
    QCOMPARE(label->palette().color(QPalette::WindowText), textColour);
    QCOMPARE(label->palette().color(QPalette::Window), grey);
    QVERIFY(label->autoFillBackground());
    QVERIFY(label->alignment().testFlag(Qt::AlignHCenter));
    QCOMPARE(label->focusPolicy(), Qt::NoFocus);

    // What reaches the screen: the caption's colour on grey.
    const QImage image = label->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const double ink = strongestInk(image, textColour);
    QVERIFY2(ink > 0.75, qPrintable(QStringLiteral("caption colour reached only %1").arg(ink)));
    QCOMPARE(image.pixelColor(0, image.height() - 1), grey);
}

void TestWindow::fieldsKeepStandardColours_data()
{
    QTest::addColumn<QString>("name");
    for (const char* name : {"Text1", "Text2", "Text3", "Combo1", "Combo2", "Command1", "Command2"})
        QTest::newRow(name) << name;
}

void TestWindow::fieldsKeepStandardColours()
{
    QFETCH(QString, name);
    QWidget* widget = control(name);
    QVERIFY(widget);
    const QPalette standard = QApplication::palette(widget);
    const QPalette own = widget->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        for (const auto role : {QPalette::Base, QPalette::Text, QPalette::Window,
                                QPalette::Button, QPalette::ButtonText}) {
            QCOMPARE(own.color(group, role), standard.color(group, role));
        }
        QVERIFY(own.color(group, QPalette::Window) != grey);
    }
}

void TestWindow::fonts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("bold");

    for (const char* name : {"Command1", "Label3", "Label4"})
        QTest::newRow(name) << name << true;
    for (const char* name : {"Command2", "Label1", "Label2", "Label5", "Label6", "Label7",
                             "Label8", "Text1", "Text2", "Text3", "Combo1", "Combo2"})
        QTest::newRow(name) << name << false;
}

void TestWindow::fonts()
{
    QFETCH(QString, name);
    QFETCH(bool, bold);
    QWidget* widget = control(name);
    QVERIFY(widget);
    const QFont font = widget->font();
    QCOMPARE(font.weight(), bold ? QFont::Bold : QFont::Normal);
    QVERIFY(!font.italic());
    // Never larger than asked for, and shrunk only a little where at all.
    QVERIFY2(font.pointSizeF() <= 8.25 && font.pointSizeF() >= 6.0,
             qPrintable(QString::number(font.pointSizeF())));

    const QStringList asked = m_window->font().families();
    QCOMPARE(asked.value(0), QStringLiteral("MS Sans Serif"));
    const QString used = QFontInfo(font).family();
    QVERIFY2(asked.contains(used), qPrintable(used + QStringLiteral(" is not one we ask for")));
}

void TestWindow::captionsFitTheirControls_data()
{
    QTest::addColumn<QString>("name");
    for (const char* name : {"Label1", "Label2", "Label3", "Label4", "Label5", "Label6", "Label7",
                             "Label8", "Command1", "Command2"})
        QTest::newRow(name) << name;
}

void TestWindow::captionsFitTheirControls()
{
    QFETCH(QString, name);
    QWidget* widget = control(name);
    QVERIFY(widget);
    const QString overflow = captionOverflow(*widget, widget->font());
    QVERIFY2(overflow.isEmpty(), qPrintable(overflow));
}

void TestWindow::fontFitShrinksOnlyWhatDoesNotFit_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("isButton");
    QTest::addColumn<bool>("shrinks");

    QTest::newRow("caption that fits") << "Class:" << QSize(49, 17) << false << false;
    QTest::newRow("caption too wide") << "Individual Login Account:" << QSize(100, 17) << false
                                      << true;
    QTest::newRow("caption too low") << "Scholastic Year:" << QSize(89, 9) << false << true;
    QTest::newRow("paragraph that fits") << instructions << QSize(345, 300) << false << false;
    QTest::newRow("paragraph too tall") << instructions << QSize(345, 100) << false << true;
    QTest::newRow("button that fits") << "&Quit" << QSize(81, 17) << true << false;
    QTest::newRow("button too narrow") << "&Create" << QSize(30, 33) << true << true;
    QTest::newRow("beyond help") << "Individual Login Account:" << QSize(20, 17) << false << true;
}

void TestWindow::fontFitShrinksOnlyWhatDoesNotFit()
{
    QFETCH(QString, text);
    QFETCH(QSize, size);
    QFETCH(bool, isButton);
    QFETCH(bool, shrinks);

    QWidget parent;
    parent.setFont(m_window->font());
    std::unique_ptr<QWidget> widget;
    if (isButton) {
        auto button = std::make_unique<QPushButton>(text, &parent);
        button->resize(size);
        shrinkFontToFit(*button);
        widget = std::move(button);
    } else {
        auto label = std::make_unique<QLabel>(text, &parent);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        label->setWordWrap(text.size() > 100);
        label->resize(size);
        shrinkFontToFit(*label);
        widget = std::move(label);
    }

    const qreal asked = m_window->font().pointSizeF();
    const qreal got = widget->font().pointSizeF();
    QCOMPARE(got < asked, shrinks);
    QVERIFY(got >= 6.0);
    const QString overflow = captionOverflow(*widget, widget->font());
    if (got > 6.0)
        QVERIFY2(overflow.isEmpty(), qPrintable(overflow));
    // No smaller than needed: a quarter point larger would not fit.
    if (shrinks && got > 6.0) {
        QFont larger = widget->font();
        larger.setPointSizeF(got + 0.25);
        QVERIFY(!captionOverflow(*widget, larger).isEmpty());
    }
}

void TestWindow::toolTips_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("mustContain");

    QTest::newRow("Label5") << "Label5" << "MAKE SURE YOU READ THIS!!";
    QTest::newRow("Picture1") << "Picture1" << "tkaddstudent";
    QTest::newRow("Text1") << "Text1" << "surname";
    QTest::newRow("Text2") << "Text2" << "given name";
    QTest::newRow("Text3") << "Text3" << "login account";
    QTest::newRow("Combo1") << "Combo1" << "year";
    QTest::newRow("Combo2") << "Combo2" << "class";
    QTest::newRow("Command1") << "Command1" << "register";
    QTest::newRow("Command2") << "Command2" << "without adding";
}

void TestWindow::toolTips()
{
    QFETCH(QString, name);
    QFETCH(QString, mustContain);
    QWidget* widget = control(name);
    QVERIFY(widget);
    QVERIFY2(widget->toolTip().contains(mustContain), qPrintable(widget->toolTip()));
    if (name == QLatin1String("Label5"))
        QCOMPARE(widget->toolTip(), mustContain);
}

void TestWindow::accessibleNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("announced");

    QTest::newRow("Text2") << "Text2" << "Label4" << "Given or Preferred Name:";
    QTest::newRow("Text1") << "Text1" << "Label3" << "New Student's Surname:";
    QTest::newRow("Combo1") << "Combo1" << "Label1" << "Scholastic Year:";
    QTest::newRow("Combo2") << "Combo2" << "Label2" << "Class:";
    QTest::newRow("Text3") << "Text3" << "Label6" << "Individual Login Account:";
    QTest::newRow("Command1") << "Command1" << "" << "Create";
    QTest::newRow("Command2") << "Command2" << "" << "Quit";
}

void TestWindow::accessibleNames()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, announced);
    QWidget* widget = control(name);
    QVERIFY(widget);
    if (caption.isEmpty()) {
        QCOMPARE(accessibleName(widget), announced);
        return;
    }
    auto* label = qobject_cast<QLabel*>(control(caption));
    QVERIFY(label);
    QCOMPARE(label->buddy(), widget);
    QCOMPARE(widget->accessibleName(), announced);
    // AT-SPI readers take a field's caption from its labelled-by relation.
    QCOMPARE(accessibleLabels(widget), QStringList{announced});
#ifdef Q_OS_UNIX
    // There Qt reports a combo box's text as its name, by design.
    if (qobject_cast<QComboBox*>(widget))
        return;
#endif
    QCOMPARE(accessibleName(widget), announced);
}

void TestWindow::banner()
{
    auto* picture = qobject_cast<QLabel*>(control(QStringLiteral("Picture1")));
    QVERIFY(picture);
    const QPixmap pixmap = picture->pixmap();
    QCOMPARE(pixmap.size(), QSize(248, 60));
    QVERIFY(!picture->hasScaledContents());
    QCOMPARE(picture->alignment(), Qt::AlignLeft | Qt::AlignTop);
    QCOMPARE(picture->focusPolicy(), Qt::NoFocus);
    QCOMPARE(picture->palette().color(QPalette::Window), grey);

    // Drawn unstretched at the top-left: the picture's own pixels there,
    // plain grey to its right and below it.
    const QImage shown = picture->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage original = pixmap.toImage().convertToFormat(QImage::Format_RGB32);
    const QPoint inside(124, 30);
    QCOMPARE(shown.pixelColor(inside), original.pixelColor(inside));
    QCOMPARE(shown.pixelColor(250, 30), grey);
    QCOMPARE(shown.pixelColor(124, 62), grey);
}

void TestWindow::textBoxesTakeAnyText()
{
    const QString anything =
        QStringLiteral("O'Brien-Smith, \"Jo\" <&> ") + QString(300, QLatin1Char('x'));
    for (QLineEdit* box : {m_text1, m_text2, m_text3}) {
        QVERIFY(box->inputMask().isEmpty());
        QVERIFY(!box->validator());
        QCOMPARE(box->echoMode(), QLineEdit::Normal);
        box->setText(anything);
        QCOMPARE(box->text(), anything);
    }
}

// ---------------------------------------------------------------------------
// Start-up and the lists

void TestWindow::startUpState()
{
    QCOMPARE(focusedControl(), QStringLiteral("Text2"));
    QCOMPARE(QApplication::activeWindow(), m_window.get());
    for (QLineEdit* box : {m_text1, m_text2, m_text3})
        QVERIFY(box->text().isEmpty());
    for (SortedComboBox* combo : {m_combo1, m_combo2}) {
        QCOMPARE(combo->currentText(), selectOne);
        QCOMPARE(combo->currentIndex(), -1);
        QVERIFY(!itemsOf(*combo).contains(selectOne));
    }
    QCOMPARE(itemsOf(*m_combo1), (QStringList{"Year 10", "Year 7", "Year 8"}));
    QCOMPARE(itemsOf(*m_combo2), (QStringList{"10C", "7A", "7B"}));
    QVERIFY(!m_create->isEnabled());
    QVERIFY(m_quit->isEnabled());
    QVERIFY(!m_window->programEnded());
}

void TestWindow::emptyRegisterLeavesListsEmpty()
{
    QVERIFY(openWindow(siteWithLists({}, {})));
    for (SortedComboBox* combo : {m_combo1, m_combo2}) {
        QCOMPARE(combo->count(), 0);
        QCOMPARE(combo->currentText(), selectOne);
    }
    typeInto(m_combo1, QStringLiteral("Year 9"));
    typeInto(m_combo2, QStringLiteral("9Z"));
    QCOMPARE(m_combo1->currentText(), QStringLiteral("Year 9"));
    QCOMPARE(m_combo2->currentText(), QStringLiteral("9Z"));
}

void TestWindow::listsAreSorted_data()
{
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<QStringList>("listed");

    QTest::newRow("years by text, not by number")
        << QStringList{"Year 7", "Year 10", "Year 8"} << QStringList{"Year 10", "Year 7", "Year 8"};
    QTest::newRow("letter case only breaks ties")
        << QStringList{"b", "B", "a", "A"} << QStringList{"A", "a", "B", "b"};
    QTest::newRow("case does not outrank letters")
        << QStringList{"7b", "7A", "7C"} << QStringList{"7A", "7b", "7C"};
    QTest::newRow("already sorted") << QStringList{"1", "2", "3"} << QStringList{"1", "2", "3"};
    QTest::newRow("reversed") << QStringList{"3", "2", "1"} << QStringList{"1", "2", "3"};
    QTest::newRow("one") << QStringList{"Kindy"} << QStringList{"Kindy"};
}

void TestWindow::listsAreSorted()
{
    QFETCH(QStringList, added);
    QFETCH(QStringList, listed);
    QVERIFY(openWindow(siteWithLists(added, added)));
    QCOMPARE(itemsOf(*m_combo1), listed);
    QCOMPARE(itemsOf(*m_combo2), listed);

    SortedComboBox standalone(selectOne);
    standalone.addSortedItems(added);
    QCOMPARE(itemsOf(standalone), listed);
}

void TestWindow::promptSurvivesFilling()
{
    SortedComboBox combo(selectOne);
    QSignalSpy picked(&combo, &QComboBox::currentIndexChanged);
    for (const QString& item : {QStringLiteral("Year 8"), QStringLiteral("Year 7")}) {
        combo.addSortedItem(item);
        QCOMPARE(combo.currentText(), selectOne);
        QCOMPARE(combo.currentIndex(), -1);
    }
    QVERIFY(!itemsOf(combo).contains(selectOne));
    QVERIFY(combo.isEditable());
    QVERIFY(!combo.completer());
    QCOMPARE(combo.insertPolicy(), QComboBox::NoInsert);

    // Once the operator has picked, adding more keeps the pick.
    combo.setCurrentIndex(1);
    combo.addSortedItem(QStringLiteral("Year 10"));
    QCOMPARE(combo.currentText(), QStringLiteral("Year 8"));
    QCOMPARE(combo.currentIndex(), 2);
}

void TestWindow::typedTextIsKeptExactly_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("thenKey");

    const int none = 0;
    QTest::newRow("start of an item") << "Y" << none;
    QTest::newRow("start of an item, Enter") << "Year" << int(Qt::Key_Return);
    QTest::newRow("item in other case") << "year 7" << none;
    QTest::newRow("item in other case, Enter") << "year 7" << int(Qt::Key_Return);
    QTest::newRow("item in other case, Tab away") << "year 7" << int(Qt::Key_Tab);
    QTest::newRow("item in other case, keypad Enter") << "YEAR 10" << int(Qt::Key_Enter);
    QTest::newRow("not an item, Enter") << "Year 12" << int(Qt::Key_Return);
    QTest::newRow("blanks around an item, Tab away") << " Year 7 " << int(Qt::Key_Tab);
}

void TestWindow::typedTextIsKeptExactly()
{
    QFETCH(QString, typed);
    QFETCH(int, thenKey);
    const QStringList itemsBefore = itemsOf(*m_combo1);
    typeInto(m_combo1, typed);
    if (thenKey)
        pressKey(Qt::Key(thenKey));
    QCOMPARE(m_combo1->currentText(), typed);
    QCOMPARE(m_combo1->currentIndex(), -1);
    QCOMPARE(itemsOf(*m_combo1), itemsBefore);
}

// ---------------------------------------------------------------------------
// Keyboard

void TestWindow::tabOrder_data()
{
    QTest::addColumn<bool>("createEnabled");
    QTest::addColumn<QStringList>("visited");

    QTest::newRow("Create enabled")
        << true
        << QStringList{"Text1", "Combo1", "Combo2", "Text3", "Command1", "Command2", "Text2"};
    QTest::newRow("Create disabled")
        << false << QStringList{"Text1", "Combo1", "Combo2", "Text3", "Command2", "Text2"};
}

void TestWindow::tabOrder()
{
    QFETCH(bool, createEnabled);
    QFETCH(QStringList, visited);
    if (createEnabled)
        fillValidInputs();
    m_text2->setFocus();
    QCOMPARE(focusedControl(), QStringLiteral("Text2"));
    QStringList actual;
    for (qsizetype i = 0; i < visited.size(); ++i) {
        pressKey(Qt::Key_Tab);
        actual << focusedControl();
    }
    QCOMPARE(actual, visited);
    QCOMPARE(m_create->isEnabled(), createEnabled);
}

void TestWindow::altCPressesCreateOnlyWhileEnabled()
{
    // Answered No, the confirmation returns to the window with nothing touched.
    MessageBox::setNextAnswer(Answer::No);
    pressKey(Qt::Key_C, Qt::AltModifier);
    QTest::qWait(300);
    QVERIFY(MessageBox::shown().isEmpty());

    fillValidInputs();
    MessageBox::setNextAnswer(Answer::No);
    pressKey(Qt::Key_C, Qt::AltModifier);
    QTRY_COMPARE(titlesShown(), QStringList{QStringLiteral("Please Verify")});
    QCOMPARE(MessageBox::shown().first().style, MessageStyle::Question);
    QVERIFY(!m_window->programEnded());
}

void TestWindow::enterAndEscPressNothing_data()
{
    QTest::addColumn<QString>("box");
    for (const char* name : {"Text1", "Text2", "Text3", "Combo1", "Combo2"})
        QTest::newRow(name) << name;
}

void TestWindow::enterAndEscPressNothing()
{
    QFETCH(QString, box);
    fillValidInputs();
    const StudentInputs before = m_window->currentInputs();
    // Queued, so that a Create pressed by mistake would be recorded, not shown.
    MessageBox::setNextAnswer(Answer::No);
    control(box)->setFocus();
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
        pressKey(key);
    QTest::qWait(300);
    QVERIFY(MessageBox::shown().isEmpty());
    QVERIFY(!m_window->programEnded());
    QVERIFY(m_window->isVisible());
    QCOMPARE(m_window->currentInputs().year, before.year);
    QCOMPARE(m_window->currentInputs().className, before.className);
    QCOMPARE(m_combo1->count(), registerYears.size());
}

// ---------------------------------------------------------------------------
// The input rule

void TestWindow::inputRule_data()
{
    QTest::addColumn<QString>("givenName");
    QTest::addColumn<QString>("surname");
    QTest::addColumn<QString>("year");
    QTest::addColumn<QString>("className");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("all filled") << "Ben" << "Adams" << "Year 7" << "7A" << true;
    QTest::newRow("given name empty") << "" << "Adams" << "Year 7" << "7A" << false;
    QTest::newRow("surname empty") << "Ben" << "" << "Year 7" << "7A" << false;
    QTest::newRow("year empty") << "Ben" << "Adams" << "" << "7A" << false;
    QTest::newRow("class empty") << "Ben" << "Adams" << "Year 7" << "" << false;
    QTest::newRow("year not chosen") << "Ben" << "Adams" << "[Select One]" << "7A" << false;
    QTest::newRow("class not chosen") << "Ben" << "Adams" << "Year 7" << "[Select One]" << false;
    QTest::newRow("nothing") << "" << "" << "" << "" << false;
    QTest::newRow("blank names count") << " " << "   " << "Year 7" << "7A" << true;
    QTest::newRow("blank year and class count") << "Ben" << "Adams" << " " << " " << true;
    QTest::newRow("prompt in lower case counts")
        << "Ben" << "Adams" << "[select one]" << "[SELECT ONE]" << true;
    QTest::newRow("prompt with blank before counts")
        << "Ben" << "Adams" << " [Select One]" << "7A" << true;
    QTest::newRow("prompt with blank after counts")
        << "Ben" << "Adams" << "Year 7" << "[Select One] " << true;
    QTest::newRow("year and class not in the lists count")
        << "Ben" << "Adams" << "Year 12" << "12Q" << true;
}

void TestWindow::inputRule()
{
    QFETCH(QString, givenName);
    QFETCH(QString, surname);
    QFETCH(QString, year);
    QFETCH(QString, className);
    QFETCH(bool, enabled);

    typeInto(m_text2, givenName);
    typeInto(m_text1, surname);
    typeInto(m_combo1, year);
    typeInto(m_combo2, className);
    QCOMPARE(m_window->currentInputs().year, year);
    QCOMPARE(m_window->currentInputs().className, className);
    QCOMPARE(m_create->isEnabled(), enabled);

    // Filled in the other order, the verdict is the same.
    typeInto(m_combo2, QStringLiteral("x"));
    typeInto(m_combo1, QStringLiteral("x"));
    typeInto(m_text1, QStringLiteral("x"));
    typeInto(m_text2, QStringLiteral("x"));
    QVERIFY(m_create->isEnabled());
    typeInto(m_combo2, className);
    typeInto(m_combo1, year);
    typeInto(m_text1, surname);
    typeInto(m_text2, givenName);
    QCOMPARE(m_create->isEnabled(), enabled);
}

void TestWindow::deletingLastCharacterDisables_data()
{
    QTest::addColumn<QString>("box");
    for (const char* name : {"Text1", "Text2", "Combo1", "Combo2"})
        QTest::newRow(name) << name;
}

void TestWindow::deletingLastCharacterDisables()
{
    QFETCH(QString, box);
    fillValidInputs();
    QWidget* widget = control(box);
    widget->setFocus();
    pressKey(Qt::Key_End);
    const qsizetype length = textOf(widget).size();
    QVERIFY(length > 1);
    for (qsizetype i = 1; i < length; ++i) {
        pressKey(Qt::Key_Backspace);
        QVERIFY2(m_create->isEnabled(), "disabled before the box was empty");
    }
    pressKey(Qt::Key_Backspace);
    QVERIFY(textOf(widget).isEmpty());
    QVERIFY(!m_create->isEnabled());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("z"));
    QVERIFY(m_create->isEnabled());
}

void TestWindow::loginAccountAndFocusDoNotRunTheRule()
{
    fillValidInputs();
    typeInto(m_text3, QStringLiteral("bena"));
    QVERIFY(m_create->isEnabled());
    typeInto(m_text3, QString());
    QVERIFY(m_create->isEnabled());

    // Put out of step with the inputs on purpose: only the rule could mend it.
    m_create->setEnabled(false);
    typeInto(m_text3, QStringLiteral("bena"));
    for (int i = 0; i < 8; ++i)
        pressKey(Qt::Key_Tab);
    m_text1->setFocus();
    m_combo2->setFocus();
    QVERIFY(!m_create->isEnabled());

    pressKey(Qt::Key_End);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("x"));
    QVERIFY(m_create->isEnabled());
}

void TestWindow::pickingAnItemRunsTheRule()
{
    typeInto(m_text2, QStringLiteral("Ben"));
    typeInto(m_text1, QStringLiteral("Adams"));
    typeInto(m_combo1, QStringLiteral("Year 7"));
    QVERIFY(!m_create->isEnabled());

    // Down picks the first class from the list, as a click in the list would.
    m_combo2->setFocus();
    QSignalSpy activated(m_combo2, &QComboBox::activated);
    pressKey(Qt::Key_Down);
    QCOMPARE(activated.size(), 1);
    QCOMPARE(m_combo2->currentText(), QStringLiteral("10C"));
    QVERIFY(m_create->isEnabled());

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

// ---------------------------------------------------------------------------
// Ending the program

void TestWindow::everyWayOutEndsProgram_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<bool>("createEnabled");

    QTest::newRow("Quit, Create disabled") << "click Quit" << false;
    QTest::newRow("Quit, Create enabled") << "click Quit" << true;
    QTest::newRow("Alt+Q, Create disabled") << "Alt+Q" << false;
    QTest::newRow("Alt+Q, Create enabled") << "Alt+Q" << true;
    QTest::newRow("title bar close") << "close" << false;
}

void TestWindow::everyWayOutEndsProgram()
{
    QFETCH(QString, way);
    QFETCH(bool, createEnabled);
    if (createEnabled)
        fillValidInputs();
    QTemporaryDir dir;
    auto heldOpen = std::make_unique<files::OutputFile>(dir.filePath(QStringLiteral("held.txt")),
                                                        files::OutputFile::Mode::CreateOrEmpty);
    QVERIFY(files::openFileCount() > 0);

    const int status = runEventLoopDoing([&] {
        if (way == QLatin1String("click Quit"))
            QTest::mouseClick(m_quit, Qt::LeftButton);
        else if (way == QLatin1String("Alt+Q"))
            pressKey(Qt::Key_Q, Qt::AltModifier);
        else
            m_window->close();
    });

    const int stillOpen = files::openFileCount();
    heldOpen.reset();
    QCOMPARE(status, 0);
    QVERIFY(m_window->programEnded());
    QVERIFY(!m_window->isVisible());
    QCOMPARE(stillOpen, 0);
    QVERIFY(MessageBox::shown().isEmpty());
}

void TestWindow::createAnsweredNoReturnsToWindow()
{
    fillValidInputs();
    typeInto(m_text3, QStringLiteral("bena"));
    MessageBox::setNextAnswer(Answer::No);
    QTest::mouseClick(m_create, Qt::LeftButton);

    QCOMPARE(titlesShown(), QStringList{QStringLiteral("Please Verify")});
    // The question names what was typed: the window handed over its inputs.
    const QString question = MessageBox::shown().first().text;
    for (const QString& typed : {QStringLiteral("Ben"), QStringLiteral("Adams"),
                                 QStringLiteral("Year 7"), QStringLiteral("7A"),
                                 QStringLiteral("bena")})
        QVERIFY2(question.contains(typed), qPrintable(question));
    QVERIFY(!m_window->programEnded());
    QVERIFY(m_window->isVisible());
    QCOMPARE(m_text2->text(), QStringLiteral("Ben"));
    QCOMPARE(m_text3->text(), QStringLiteral("bena"));
    QVERIFY(m_create->isEnabled());
}

void TestWindow::createThatSucceedsEndsProgram()
{
    tktest::Intranet intranet;
    const QByteArray registerBefore = tktest::readFile(intranet.path("tkshrtct.dat"));
    QVERIFY(openWindow(intranet.load()));
    typeInto(m_text2, QStringLiteral("Cara"));
    typeInto(m_text1, QStringLiteral("Dunn"));
    typeInto(m_combo1, QStringLiteral("Year 7"));
    typeInto(m_combo2, QStringLiteral("7B"));
    MessageBox::setNextAnswer(Answer::Yes);
    MessageBox::setNextAnswer(Answer::Ok);
    const int status = runEventLoopDoing([this] { QTest::mouseClick(m_create, Qt::LeftButton); });

    QCOMPARE(status, 0);
    QVERIFY(m_window->programEnded());
    QVERIFY(!m_window->isVisible());
    QCOMPARE(MessageBox::shown().size(), 2);
    QCOMPARE(MessageBox::shown().last().style, MessageStyle::Information);
    const QByteArray registerAfter = tktest::readFile(intranet.path("tkshrtct.dat"));
    QVERIFY(registerAfter != registerBefore);
    QVERIFY(registerAfter.contains("Dunn Cara"));
}

namespace {

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

void TestWindow::altCAnswersTheRealQuestionBox()
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

QTEST_MAIN(TestWindow)
#include "TestWindow.moc"
