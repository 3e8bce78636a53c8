// The floor for start-up: the program's window as a plain widget tree (the
// same controls, geometry, fonts, colours, pictures and texts), with nothing
// the program does to get there: no settings or register, no sorted lists, no
// caption fitting. `tkbench_floor bare` shows an empty 381x353 window instead.
// Ended by bench/PaintProbe.cpp after the first paint, as the program is.

#include "gui/WindowMessages.h"

#include <QApplication>
#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include <cstring>

namespace {

constexpr int windowWidth = 381;
constexpr int windowHeight = 353;
const QColor windowGrey(128, 128, 128);
const QColor captionYellow(255, 255, 128);
const QColor noteWhite(255, 255, 255);

QRect twips(int left, int top, int width, int height)
{
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

// The family is the one the program settled on (the benchmark reads it from
// the program's own window): choosing it is the program's work, not the floor's.
QFont windowFont(const QString& family)
{
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    font.setWeight(QFont::Normal);
    return font;
}

void fillGrey(QWidget* widget)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, windowGrey);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void bold(QWidget* widget)
{
    QFont font = widget->font();
    font.setWeight(QFont::Bold);
    widget->setFont(font);
}

QLabel* label(QWidget* window, const char* name, const QString& text, const QColor& colour,
              const QRect& geometry)
{
    auto* label = new QLabel(text, window);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Window, windowGrey);
    label->setPalette(palette);
    label->setAutoFillBackground(true);
    return label;
}

template<typename Widget>
Widget* standard(Widget* widget, const char* name, const QString& tip, const QRect& geometry)
{
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(geometry);
    widget->setToolTip(tip);
    // Every role marked as set, or the window's grey would still be inherited.
    QPalette palette = QApplication::palette(widget);
    palette.setResolveMask(~QPalette::ResolveMask(0));
    widget->setPalette(palette);
    return widget;
}

QComboBox* combo(QWidget* window, const char* name, const QString& tip, const QRect& geometry)
{
    auto* box = standard(new QComboBox(window), name, tip, geometry);
    box->setEditable(true);
    box->setEditText(QStringLiteral("[Select One]"));
    return box;
}

QPushButton* button(QWidget* window, const char* name, const QString& caption, const QString& tip,
                    const QRect& geometry)
{
    auto* button = standard(new QPushButton(caption, window), name, tip, geometry);
    button->setAutoDefault(false);
    return button;
}

QIcon icon()
{
    QIcon icon;
    icon.addFile(QStringLiteral(":/icon16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icon32.png"), QSize(32, 32));
    return icon;
}

int showWindow(const QString& family)
{
    QWidget window;
    window.setObjectName(QStringLiteral("Form1"));
    window.setWindowTitle(QStringLiteral("Add a New Student to Vesk's Ilvantis 2005"));
    window.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                          | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    window.setFixedSize(windowWidth, windowHeight);
    window.setFont(windowFont(family));
    fillGrey(&window);

    QLabel* note = label(&window, "Label5", tk::messages::instructions, noteWhite,
                         twips(240, 120, 5175, 1935));
    note->setWordWrap(true);
    note->setToolTip(QStringLiteral("MAKE SURE YOU READ THIS!!"));

    bold(label(&window, "Label4", QStringLiteral("Given or Preferred Name:"), captionYellow,
               twips(360, 2280, 2415, 255)));
    bold(label(&window, "Label3", QStringLiteral("New Student's Surname:"), captionYellow,
               twips(3120, 2280, 2175, 255)));
    QLineEdit* givenName = standard(
        new QLineEdit(&window), "Text2",
        QStringLiteral("The student's given name, or the name the student prefers"),
        twips(240, 2520, 2535, 285));
    standard(new QLineEdit(&window), "Text1", QStringLiteral("The student's surname (family name)"),
             twips(2880, 2520, 2655, 285));
    label(&window, "Label8", QStringLiteral("eg. Dravin"), noteWhite, twips(840, 2880, 1335, 255));
    label(&window, "Label7", QStringLiteral("eg. Quorrel"), noteWhite,
          twips(3480, 2880, 1335, 255));

    label(&window, "Label1", QStringLiteral("Scholastic Year:"), captionYellow,
          twips(240, 3360, 1335, 255));
    label(&window, "Label2", QStringLiteral("Class:"), captionYellow, twips(2040, 3360, 735, 255));
    label(&window, "Label6", QStringLiteral("Individual Login Account:"), captionYellow,
          twips(3480, 3360, 1935, 255));
    combo(&window, "Combo1",
          QStringLiteral("Pick the year the student is enrolled into, or type it"),
          twips(240, 3600, 1335, 315));
    combo(&window, "Combo2",
          QStringLiteral("Pick the class the student is enrolled into, or type it"),
          twips(1680, 3600, 1455, 315));
    standard(new QLineEdit(&window), "Text3",
             QStringLiteral("The student's own login account to the server, if your school has "
                            "one for each student; otherwise leave blank"),
             twips(3240, 3600, 2295, 285));

    auto* banner = new QLabel(&window);
    banner->setObjectName(QStringLiteral("Picture1"));
    banner->setGeometry(twips(240, 4200, 3855, 975));
    banner->setPixmap(QPixmap(QStringLiteral(":/banner.png")));
    banner->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    banner->setToolTip(
        QStringLiteral("tkaddstudent 2.0 \u2014 banner and icon by the tkaddstudent team"));
    fillGrey(banner);

    QPushButton* create = button(
        &window, "Command1", QStringLiteral("&Create"),
        QStringLiteral("Make the student's folder and home page and add the student to the "
                       "register"),
        twips(4320, 4200, 1215, 495));
    bold(create);
    create->setEnabled(false);
    button(&window, "Command2", QStringLiteral("&Quit"),
           QStringLiteral("Close this utility without adding a student"),
           twips(4320, 4800, 1215, 255));

    window.show();
    window.activateWindow();
    givenName->setFocus();
    return QApplication::exec();
}

int showBareWidget()
{
    QWidget window;
    window.resize(windowWidth, windowHeight);
    window.show();
    return QApplication::exec();
}

} // namespace

// tkbench_floor bare | tkbench_floor --family FAMILY
int main(int argc, char* argv[])
{
    const bool bare = argc > 1 && std::strcmp(argv[1], "bare") == 0;
    const QString family = argc > 2 && std::strcmp(argv[1], "--family") == 0
        ? QString::fromLocal8Bit(argv[2])
        : QStringLiteral("Liberation Sans");
    QApplication app(argc, argv);
    if (bare)
        return showBareWidget();
    QApplication::setApplicationName(QStringLiteral("tkaddstudent"));
    // The window shows the application's icon.
    QApplication::setWindowIcon(icon());
    return showWindow(family);
}
