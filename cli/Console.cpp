#include "cli/Console.h"

#include "platform/FileServices.h"

#include <QByteArray>

#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace tk {

namespace {

bool standardInputIsTerminal()
{
#ifdef _WIN32
    return _isatty(_fileno(stdin));
#else
    return isatty(fileno(stdin));
#endif
}

Console::Input readTerminalLine(QString* line)
{
    if (!standardInputIsTerminal())
        return Console::Input::NoTerminal;
    std::string typed;
    if (!std::getline(std::cin, typed))
        return Console::Input::EndOfInput;
    *line = QString::fromLocal8Bit(typed.c_str());
    return Console::Input::Line;
}

QByteArray readStandardInput()
{
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY); // a list's CR LF and bytes as they are
#endif
    const std::string bytes((std::istreambuf_iterator<char>(std::cin)),
                            std::istreambuf_iterator<char>());
    return QByteArray::fromStdString(bytes);
}

} // namespace

Console standardConsole()
{
    return {[](const QString& text) { writeText(stdout, text); }, writeStandardError,
            readTerminalLine, readStandardInput, [] { return std::ferror(stdout) != 0; }};
}

#ifdef _WIN32
namespace {

bool isRedirected(DWORD which)
{
    const HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

} // namespace
#endif

void attachToParentConsole()
{
#ifdef _WIN32
    // What the caller redirected (a list piped in, a log file) stays so.
    const bool input = isRedirected(STD_INPUT_HANDLE);
    const bool output = isRedirected(STD_OUTPUT_HANDLE);
    const bool error = isRedirected(STD_ERROR_HANDLE);
    if (!AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (!output)
        std::freopen("CONOUT$", "w", stdout);
    if (!error)
        std::freopen("CONOUT$", "w", stderr);
    if (!input)
        std::freopen("CONIN$", "r", stdin);
#endif
}

} // namespace tk
