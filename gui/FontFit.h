#pragma once

#include <QRect>

class QLabel;
class QPushButton;
class QWidget;

namespace tk {

// Where the widget draws its caption, and with which layout flags: a label's
// contents rectangle and alignment (word-wrapped when the label wraps), a
// button's contents area as its style lays it out.
QRect captionArea(const QLabel& label);
int captionFlags(const QLabel& label);
QRect captionArea(const QPushButton& button);
int captionFlags(const QPushButton& button);

// The fixed layout was drawn for a narrow bitmap font that most machines lack:
// where the substitute font is too wide or tall for a control, its font is
// made smaller in small steps until the caption fits. A caption that already
// fits keeps the font it was given.
void shrinkFontToFit(QLabel& label);
void shrinkFontToFit(QPushButton& button);

} // namespace tk
