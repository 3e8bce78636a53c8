#include "app/Form1.h"

#include "app/FontFit.h"
#include "app/SortedComboBox.h"
#include "platform/FileServices.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tk {

namespace {

const QString windowCaption = QStringLiteral("Add a New Student to Vesk's Ilvantis 2005");
const QString selectOne = QStringLiteral("[Select One]");
const QString instructions = QStringLiteral(
    "This utility is used to add an intranet folder structure into Ilvantis for new students "
    "that enrol into your school after you have created your Ilvantis structure for the year.  "
    "Type in the new student's surname and given name in the boxes below and choose the Year "
    "and Class that the student has been enrolled into.  If your school has individual login "
    "accounts to the server for each student, also type in this student's login account name, "
    "otherwise leave that field blank.  When ready click the Create button.  Please NOTE: This "
    "utility will only work if you have created your Ilvantis structure using Ilvantis 2004 or "
    "later.");

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

// The layout was drawn for MS Sans Serif; the others are its closest common
// stand-ins, in order of how close their widths come to it.
QFont windowFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                      QStringLiteral("Helvetica"), QStringLiteral("DejaVu Sans")});
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

template <typename Widget>
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

QLineEdit* makeTextBox(QWidget* window, const char* name, const QString& toolTip,
                       const QRect& geometry)
{
    auto* box = place(new QLineEdit(window), name, geometry);
    box->setToolTip(toolTip);
    keepStandardColours(*box);
    return box;
}

SortedComboBox* makeComboBox(QWidget* window, const char* name, const QString& toolTip,
                             const QRect& geometry)
{
    auto* combo = place(new SortedComboBox(selectOne, window), name, geometry);
    combo->setToolTip(toolTip);
    keepStandardColours(*combo);
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
        QStringLiteral("tkaddstudent 2.0 \u2014 banner and icon by the tkaddstudent team"));
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

Form1::Form1(const SiteData& site)
    : QWidget(nullptr)
    , m_site(site)
{
    buildWindowFrame();
    buildControls();
    setUpAccessibility();
    setUpTabOrder();
    fitCaptionsToFont();
    connect(Command1, &QPushButton::clicked, this, &Form1::runCreate);
    connect(Command2, &QPushButton::clicked, this, &Form1::endProgram);
}

void Form1::buildWindowFrame()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(windowCaption);
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
void Form1::buildControls()
{
    buildInstructions();
    buildNameRow();
    buildChoiceRow();
    buildBottomRow();
}

void Form1::buildInstructions()
{
    Label5 = makeLabel(this, "Label5", instructions, noteWhite, fromTwips(240, 120, 5175, 1935));
    Label5->setWordWrap(true);
    Label5->setToolTip(QStringLiteral("MAKE SURE YOU READ THIS!!"));
}

void Form1::buildNameRow()
{
    Label4 = makeLabel(this, "Label4", QStringLiteral("Given or Preferred Name:"), captionYellow,
                       fromTwips(360, 2280, 2415, 255));
    Label3 = makeLabel(this, "Label3", QStringLiteral("New Student's Surname:"), captionYellow,
                       fromTwips(3120, 2280, 2175, 255));
    makeBold(*Label4);
    makeBold(*Label3);
    Text2 = makeTextBox(this, "Text2",
                        QStringLiteral("The student's given name, or the name the student prefers"),
                        fromTwips(240, 2520, 2535, 285));
    Text1 = makeTextBox(this, "Text1", QStringLiteral("The student's surname (family name)"),
                        fromTwips(2880, 2520, 2655, 285));
    Label8 = makeLabel(this, "Label8", QStringLiteral("eg. Dravin"), noteWhite,
                       fromTwips(840, 2880, 1335, 255));
    Label7 = makeLabel(this, "Label7", QStringLiteral("eg. Quorrel"), noteWhite,
                       fromTwips(3480, 2880, 1335, 255));
}

void Form1::buildChoiceRow()
{
    Label1 = makeLabel(this, "Label1", QStringLiteral("Scholastic Year:"), captionYellow,
                       fromTwips(240, 3360, 1335, 255));
    Label2 = makeLabel(this, "Label2", QStringLiteral("Class:"), captionYellow,
                       fromTwips(2040, 3360, 735, 255));
    Label6 = makeLabel(this, "Label6", QStringLiteral("Individual Login Account:"), captionYellow,
                       fromTwips(3480, 3360, 1935, 255));
    Combo1 = makeComboBox(this, "Combo1",
                          QStringLiteral("Pick the year the student is enrolled into, or type it"),
                          fromTwips(240, 3600, 1335, 315));
    Combo2 = makeComboBox(this, "Combo2",
                          QStringLiteral("Pick the class the student is enrolled into, or type it"),
                          fromTwips(1680, 3600, 1455, 315));
    Text3 = makeTextBox(this, "Text3",
                        QStringLiteral("The student's own login account to the server, if your "
                                       "school has one for each student; otherwise leave blank"),
                        fromTwips(3240, 3600, 2295, 285));
}

void Form1::buildBottomRow()
{
    Picture1 = makeBanner(this, fromTwips(240, 4200, 3855, 975));
    Command1 = makeButton(this, "Command1", QStringLiteral("&Create"),
                          QStringLiteral("Make the student's folder and home page and add the "
                                         "student to the register"),
                          fromTwips(4320, 4200, 1215, 495));
    makeBold(*Command1);
    Command2 = makeButton(this, "Command2", QStringLiteral("&Quit"),
                          QStringLiteral("Close this utility without adding a student"),
                          fromTwips(4320, 4800, 1215, 255));
}

void Form1::setUpAccessibility()
{
    nameAfterCaption(Label4, Text2);
    nameAfterCaption(Label3, Text1);
    nameAfterCaption(Label1, Combo1);
    nameAfterCaption(Label2, Combo2);
    nameAfterCaption(Label6, Text3);
}

void Form1::setUpTabOrder()
{
    const QList<QWidget*> order{Text2, Text1, Combo1, Combo2, Text3, Command1, Command2};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void Form1::fitCaptionsToFont()
{
    for (QLabel* label : {Label1, Label2, Label3, Label4, Label5, Label6, Label7, Label8})
        shrinkFontToFit(*label);
    for (QPushButton* button : {Command1, Command2})
        shrinkFontToFit(*button);
}

void Form1::start()
{
    Combo1->addSortedItems(m_site.shortcuts.YearList);
    Combo2->addSortedItems(m_site.shortcuts.ClassList);
    // Only now: filling the lists is not the operator changing an input.
    connectInputRule();
    Command1->setEnabled(false);
    show();
    // Focus can be given only to a control of a visible window.
    activateWindow();
    Text2->setFocus();
}

void Form1::connectInputRule()
{
    connect(Text1, &QLineEdit::textChanged, this, &Form1::UpdateCreateButton, Qt::UniqueConnection);
    connect(Text2, &QLineEdit::textChanged, this, &Form1::UpdateCreateButton, Qt::UniqueConnection);
    for (SortedComboBox* combo : {Combo1, Combo2}) {
        connect(combo, &QComboBox::editTextChanged, this, &Form1::UpdateCreateButton,
                Qt::UniqueConnection);
        connect(combo, &QComboBox::activated, this, &Form1::UpdateCreateButton,
                Qt::UniqueConnection);
    }
}

void Form1::UpdateCreateButton()
{
    // Exact comparisons: blanks are a name, and only the untouched prompt
    // means that no choice was made.
    const bool somethingMissing = Text2->text().isEmpty() || Text1->text().isEmpty()
        || Combo1->currentText().isEmpty() || Combo2->currentText().isEmpty()
        || Combo1->currentText() == selectOne || Combo2->currentText() == selectOne;
    Command1->setEnabled(!somethingMissing);
}

StudentInputs Form1::currentInputs() const
{
    return {Text1->text(), Text2->text(), Text3->text(), Combo1->currentText(),
            Combo2->currentText()};
}

void Form1::runCreate()
{
    MessageBoxDialogs dialogs(this);
    CreateCommand command(m_site, [this] { return currentInputs(); }, dialogs);
    if (command.run() == CreateCommand::Outcome::EndProgram)
        endProgram();
}

void Form1::endProgram()
{
    if (m_programEnded)
        return;
    m_programEnded = true;
    files::closeAllFiles();
    close();
    QCoreApplication::exit(0);
}

// Closed from the title bar: the program ends with its only window.
void Form1::closeEvent(QCloseEvent* event)
{
    endProgram();
    event->accept();
}

} // namespace tk
