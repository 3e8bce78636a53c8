#include "gui/FontFit.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

#include <functional>

namespace tk {

namespace {

constexpr qreal shrinkStep = 0.25;
// Below this even a short caption stops being readable; better clipped.
constexpr qreal smallestPointSize = 6.0;

// A caption of one line needs its width in the caption area, but only its
// height in the whole widget: some styles leave a short button a contents
// area lower than any readable font, and shrinking to it leaves a speck.
bool textFits(const QWidget& widget, const QString& text, const QRect& area, int flags)
{
    const QRect needed = QFontMetrics(widget.font()).boundingRect(area, flags, text);
    const int heightAvailable = (flags & Qt::TextWordWrap) ? area.height() : widget.height();
    return needed.width() <= area.width() && needed.height() <= heightAvailable;
}

// `fits` is asked again after every step, since the area may depend on the font.
void shrinkUntil(QWidget& widget, const std::function<bool()>& fits)
{
    QFont font = widget.font();
    while (!fits() && font.pointSizeF() - shrinkStep >= smallestPointSize) {
        font.setPointSizeF(font.pointSizeF() - shrinkStep);
        widget.setFont(font);
    }
}

QStyleOptionButton buttonOption(const QPushButton& button)
{
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    option.features = QStyleOptionButton::None;
    return option;
}

} // namespace

QRect captionArea(const QLabel& label)
{
    return label.contentsRect();
}

int captionFlags(const QLabel& label)
{
    int flags = static_cast<int>(label.alignment());
    if (label.wordWrap())
        flags |= Qt::TextWordWrap;
    return flags;
}

QRect captionArea(const QPushButton& button)
{
    const QStyleOptionButton option = buttonOption(button);
    return button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &button);
}

int captionFlags(const QPushButton&)
{
    return Qt::AlignCenter | Qt::TextShowMnemonic;
}

void shrinkFontToFit(QLabel& label)
{
    shrinkUntil(label, [&label] {
        return textFits(label, label.text(), captionArea(label), captionFlags(label));
    });
}

void shrinkFontToFit(QPushButton& button)
{
    shrinkUntil(button, [&button] {
        return textFits(button, button.text(), captionArea(button), captionFlags(button));
    });
}

} // namespace tk
