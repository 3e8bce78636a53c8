#pragma once

#include <QString>

#include <functional>

namespace tk {

// Where the command line talks and listens.
struct Console
{
    enum class Input { Line, EndOfInput, NoTerminal };

    std::function<void(const QString&)> out;
    std::function<void(const QString&)> err;
    // A line typed at the terminal, into `line`; or that input ended (Ctrl-D),
    // or that there is no terminal to ask on.
    std::function<Input(QString* line)> readLine;
    // The whole of standard input, for a list given as "-".
    std::function<QByteArray()> readAllInput;
    // Whether the output went away (a closed pipe or terminal): nobody reads on.
    std::function<bool()> outputLost;
};

Console standardConsole();

// The program is built as a windowed one on Windows, which has no console of
// its own: it writes to the one that started it.
void attachToParentConsole();

} // namespace tk
