#include "gui/AddStudentWindow.h"

#include "gui/CreateCommand.h"
#include "gui/FontFit.h"
#include "gui/MessageBox.h"
#include "gui/SortedComboBox.h"
#include "gui/WindowMessages.h"
#include "platform/NumberedFailure.h"

#include "Version.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tk {

namespace {

const QString windowCaption = QStringLiteral("Add a New Student to Vesk's Ilvantis 2005");
const QString selectOne = QStringLiteral("[Select One]");
const QColor windowGrey(128, 128, 128);
const QColor captionYellow(255, 255, 128);
const QColor noteWhite(255, 255, 255);

constexpr int windowWidth = 381;
constexpr int windowHeight = 353;

// The layout was drawn in twips; at 96 DPI fifteen of them make a pixel.
QRect fromTwips(int left, int top, int width, int height)
{
    constexpr int twipsPerPixel = 15;
    return QRect(left / twipsPerPixel, top / twipsPerPixel, width / twipsPerPixel,
                 height / twipsPerPixel);
}

// The layout was drawn for MS Sans Serif, a bitmap font that scales badly
// where it exists at all; the others are its closest common stand-ins, in
// order of how close their widths come to it. The family is chosen once:
// every font derived from a list of six would be matched through all six.
QString windowFontFamily()
{
    const QStringList standIns{QStringLiteral("Microsoft Sans Serif"),
                               QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                               QStringLiteral("Helvetica"), QStringLiteral("DejaVu Sans")};
    for (const QString& family : standIns)
        if (QFontDatabase::isSmoothlyScalable(family))
            return family;
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

QFont windowFont()
{
    QFont font(windowFontFamily());
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    font.setWeight(QFont::Normal);
    return font;
}

void makeBold(QWidget& widget)
{
    QFont font = widget.font();
    font.setWeight(QFont::Bold);
    widget.setFont(font);
}

void fillWithColour(QWidget& widget, const QColor& background)
{
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, background);
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}

// Children inherit the window's grey; fields and buttons must look as they
// do in every other program on the machine.
void keepStandardColours(QWidget& widget)
{
    const QPalette standard = QApplication::palette(&widget);
    QPalette palette = widget.palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            if (role == QPalette::NoRole)
                continue;
            const auto colourRole = static_cast<QPalette::ColorRole>(role);
            palette.setBrush(group, colourRole, standard.brush(group, colourRole));
        }
    }
    widget.setPalette(palette);
}

template<typename Widget>
Widget* place(Widget* widget, const char* name, const QRect& geometry)
{
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(geometry);
    return widget;
}

QLabel* makeLabel(QWidget* window, const char* name, const QString& text, const QColor& textColour,
                  const QRect& geometry)
{
    auto* label = place(new QLabel(text, window), name, geometry);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, textColour);
    label->setPalette(palette);
    fillWithColour(*label, windowGrey);
    return label;
}

// An Alt combination is a command, such as Alt+C for Create: when it finds no
// enabled button, the field must not take its letter as typed. AltGr, which
// Windows reports as Ctrl+Alt, types letters and goes through.
class AltTypesNothing : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const Qt::KeyboardModifiers held = static_cast<QKeyEvent*>(event)->modifiers();
            if (held.testFlag(Qt::AltModifier) && !held.testFlag(Qt::ControlModifier))
                return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

QLineEdit* makeTextBox(QWidget* window, const char* name, const QString& toolTip,
                       const QRect& geometry)
{
    auto* box = place(new QLineEdit(window), name, geometry);
    box->setToolTip(toolTip);
    keepStandardColours(*box);
    box->installEventFilter(new AltTypesNothing(box));
    return box;
}

SortedComboBox* makeComboBox(QWidget* window, const char* name, const QString& toolTip,
                             const QRect& geometry)
{
    auto* combo = place(new SortedComboBox(selectOne, window), name, geometry);
    combo->setToolTip(toolTip);
    keepStandardColours(*combo);
    combo->installEventFilter(new AltTypesNothing(combo));
    return combo;
}

// Enter and Esc belong to no button: the window is not a dialog.
QPushButton* makeButton(QWidget* window, const char* name, const QString& caption,
                        const QString& toolTip, const QRect& geometry)
{
    auto* button = place(new QPushButton(caption, window), name, geometry);
    button->setToolTip(toolTip);
    button->setAutoDefault(false);
    button->setDefault(false);
    keepStandardColours(*button);
    return button;
}

QLabel* makeBanner(QWidget* window, const QRect& geometry)
{
    auto* banner = place(new QLabel(window), "Picture1", geometry);
    banner->setPixmap(QPixmap(QStringLiteral(":/banner.png")));
    banner->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    banner->setScaledContents(false);
    banner->setFocusPolicy(Qt::NoFocus);
    banner->setToolTip(
        QStringLiteral("tkaddstudent %1.%2 \u2014 banner and icon by the tkaddstudent team")
            .arg(tkVersionMajor)
            .arg(tkVersionMinor));
    fillWithColour(*banner, windowGrey);
    return banner;
}

// A screen reader announces a field by the caption above it.
void nameAfterCaption(QLabel* caption, QWidget* field)
{
    caption->setBuddy(field);
    field->setAccessibleName(caption->text());
}

} // namespace

QIcon programIcon()
{
    QIcon icon;
    icon.addFile(QStringLiteral(":/icon16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icon32.png"), QSize(32, 32));
    return icon;
}

AddStudentWindow::AddStudentWindow(const SiteData& site, UserDialogs* dialogs)
    : QWidget(nullptr)
    , m_site(site)
    , m_ownDialogs(dialogs ? nullptr : std::make_unique<MessageBoxDialogs>(this))
    , m_dialogs(dialogs ? dialogs : m_ownDialogs.get())
{
    buildWindowFrame();
    buildControls();
    setUpTabOrder();
    fitCaptionsToFont();
    connect(m_createButton, &QPushButton::clicked, this, &AddStudentWindow::runCreate);
    connect(m_quitButton, &QPushButton::clicked, this, &AddStudentWindow::endProgram);
}

// QWidget's destructor closes the window and so moves the focus: a combo box
// whose text matches an item then emits activated(), when nothing of this
// class is left to run the rule on.
AddStudentWindow::~AddStudentWindow()
{
    for (QObject* input :
         std::initializer_list<QObject*>{m_surnameEdit, m_givenNameEdit, m_yearCombo, m_classCombo})
        disconnect(input, nullptr, this, nullptr);
}

void AddStudentWindow::buildWindowFrame()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(windowCaption);
    // A window shows the application's icon unless it has its own: build the
    // icon only where nobody has yet.
    if (QApplication::windowIcon().isNull())
        setWindowIcon(programIcon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(windowWidth, windowHeight);
    setFont(windowFont());
    fillWithColour(*this, windowGrey);
}

// Controls are created top to bottom, left to right, so that the stacking
// and the natural focus order follow the layout.
void AddStudentWindow::buildControls()
{
    buildInstructions();
    buildNameRow();
    buildChoiceRow();
    buildBottomRow();
}

void AddStudentWindow::buildInstructions()
{
    QLabel* note = makeLabel(this, "Label5", messages::instructions, noteWhite,
                             fromTwips(240, 120, 5175, 1935));
    note->setWordWrap(true);
    note->setToolTip(QStringLiteral("MAKE SURE YOU READ THIS!!"));
}

void AddStudentWindow::buildNameRow()
{
    QLabel* givenNameCaption = makeLabel(this, "Label4", QStringLiteral("Given or Preferred Name:"),
                                         captionYellow, fromTwips(360, 2280, 2415, 255));
    QLabel* surnameCaption = makeLabel(this, "Label3", QStringLiteral("New Student's Surname:"),
                                       captionYellow, fromTwips(3120, 2280, 2175, 255));
    makeBold(*givenNameCaption);
    makeBold(*surnameCaption);
    m_givenNameEdit = makeTextBox(this, "Text2",
                                  QStringLiteral(
                                      "The student's given name, or the name the student prefers"),
                                  fromTwips(240, 2520, 2535, 285));
    m_surnameEdit = makeTextBox(this, "Text1",
                                QStringLiteral("The student's surname (family name)"),
                                fromTwips(2880, 2520, 2655, 285));
    makeLabel(this, "Label8", QStringLiteral("eg. Dravin"), noteWhite,
              fromTwips(840, 2880, 1335, 255));
    makeLabel(this, "Label7", QStringLiteral("eg. Quorrel"), noteWhite,
              fromTwips(3480, 2880, 1335, 255));
    nameAfterCaption(givenNameCaption, m_givenNameEdit);
    nameAfterCaption(surnameCaption, m_surnameEdit);
}

void AddStudentWindow::buildChoiceRow()
{
    QLabel* yearCaption = makeLabel(this, "Label1", QStringLiteral("Scholastic Year:"),
                                    captionYellow, fromTwips(240, 3360, 1335, 255));
    QLabel* classCaption = makeLabel(this, "Label2", QStringLiteral("Class:"), captionYellow,
                                     fromTwips(2040, 3360, 735, 255));
    QLabel* loginCaption = makeLabel(this, "Label6", QStringLiteral("Individual Login Account:"),
                                     captionYellow, fromTwips(3480, 3360, 1935, 255));
    m_yearCombo = makeComboBox(this, "Combo1",
                               QStringLiteral(
                                   "Pick the year the student is enrolled into, or type it"),
                               fromTwips(240, 3600, 1335, 315));
    m_classCombo = makeComboBox(this, "Combo2",
                                QStringLiteral(
                                    "Pick the class the student is enrolled into, or type it"),
                                fromTwips(1680, 3600, 1455, 315));
    m_loginEdit = makeTextBox(this, "Text3",
                              QStringLiteral("The student's own login account to the server, if "
                                             "your school has one for each student; otherwise "
                                             "leave blank"),
                              fromTwips(3240, 3600, 2295, 285));
    nameAfterCaption(yearCaption, m_yearCombo);
    nameAfterCaption(classCaption, m_classCombo);
    nameAfterCaption(loginCaption, m_loginEdit);
}

void AddStudentWindow::buildBottomRow()
{
    makeBanner(this, fromTwips(240, 4200, 3855, 975));
    m_createButton = makeButton(this, "Command1", QStringLiteral("&Create"),
                                QStringLiteral("Make the student's folder and home page and add "
                                               "the student to the register"),
                                fromTwips(4320, 4200, 1215, 495));
    makeBold(*m_createButton);
    m_quitButton = makeButton(this, "Command2", QStringLiteral("&Quit"),
                              QStringLiteral("Close this utility without adding a student"),
                              fromTwips(4320, 4800, 1215, 255));
}

void AddStudentWindow::setUpTabOrder()
{
    const QList<QWidget*> order{m_givenNameEdit, m_surnameEdit,  m_yearCombo, m_classCombo,
                                m_loginEdit,     m_createButton, m_quitButton};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void AddStudentWindow::fitCaptionsToFont()
{
    for (QLabel* label : findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) {
        // The banner is a picture, with no caption to fit.
        if (!label->text().isEmpty())
            shrinkFontToFit(*label);
    }
    for (QPushButton* button : findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly))
        shrinkFontToFit(*button);
}

void AddStudentWindow::start()
{
    m_yearCombo->addSortedItems(m_site.shortcuts.years);
    m_classCombo->addSortedItems(m_site.shortcuts.classes);
    // Only now: filling the lists is not the operator changing an input.
    connectInputRule();
    m_createButton->setEnabled(false);
    show();
    // Focus can be given only to a control of a visible window.
    activateWindow();
    m_givenNameEdit->setFocus();
}

void AddStudentWindow::connectInputRule()
{
    for (QLineEdit* name : {m_surnameEdit, m_givenNameEdit})
        connect(name, &QLineEdit::textChanged, this, &AddStudentWindow::updateCreateButton,
                Qt::UniqueConnection);
    for (SortedComboBox* combo : {m_yearCombo, m_classCombo}) {
        connect(combo, &QComboBox::editTextChanged, this, &AddStudentWindow::updateCreateButton,
                Qt::UniqueConnection);
        connect(combo, &QComboBox::activated, this, &AddStudentWindow::updateCreateButton,
                Qt::UniqueConnection);
    }
}

void AddStudentWindow::updateCreateButton()
{
    // Exact comparisons: blanks are a name, and only the untouched prompt
    // means that no choice was made.
    const bool somethingMissing = m_givenNameEdit->text().isEmpty()
        || m_surnameEdit->text().isEmpty() || m_yearCombo->currentText().isEmpty()
        || m_classCombo->currentText().isEmpty() || m_yearCombo->currentText() == selectOne
        || m_classCombo->currentText() == selectOne;
    m_createButton->setEnabled(!somethingMissing);
}

StudentInputs AddStudentWindow::currentInputs() const
{
    StudentInputs typed;
    typed.surname = m_surnameEdit->text();
    typed.givenName = m_givenNameEdit->text();
    typed.loginAccount = m_loginEdit->text();
    typed.year = m_yearCombo->currentText();
    typed.className = m_classCombo->currentText();
    return typed;
}

void AddStudentWindow::runCreate()
{
    CreateCommand::Outcome outcome = CreateCommand::Outcome::EndProgram;
    try {
        outcome = CreateCommand(m_site, *m_dialogs).run(currentInputs());
    } catch (const std::exception&) {
        // Nothing may escape into the event loop, which would end the
        // program with no word to the operator.
        m_dialogs->show(messages::seriousTitle,
                        messages::seriousError(FailureNumber::DeviceIoError), MessageStyle::Error);
    }
    if (outcome == CreateCommand::Outcome::EndProgram)
        endProgram();
}

// Every file is closed by its owner as the command returns: nothing is left
// open to close here.
void AddStudentWindow::endProgram()
{
    if (m_programEnded)
        return;
    m_programEnded = true;
    close();
    QCoreApplication::exit(0);
}

// Closed from the title bar: the program ends with its only window.
void AddStudentWindow::closeEvent(QCloseEvent* event)
{
    endProgram();
    event->accept();
}

} // namespace tk
