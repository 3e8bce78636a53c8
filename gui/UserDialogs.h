#pragma once

#include <QString>

namespace tk {

// The three kinds of modal message the window shows; the values are the
// classic message-box style codes.
enum class MessageStyle {
    Error = 16, // OK, error icon
    Question = 36, // Yes and No, question icon, Yes the default
    Information = 64, // OK, information icon
};

enum class Answer { Ok = 1, Yes = 6, No = 7 };

// Where the window's messages go: message boxes in the program, a script in
// the tests.
class UserDialogs
{
public:
    virtual ~UserDialogs() = default;
    virtual Answer show(const QString& title, const QString& text, MessageStyle style) = 0;
};

} // namespace tk
