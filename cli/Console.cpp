#include "cli/Console.h"

#include "platform/FileServices.h"

#include <QByteArray>

#include <cstdio>

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
    // C's stdio, not iostreams, whose set-up every start of the program paid for.
    int c = std::getc(stdin);
    if (c == EOF)
        return Console::Input::EndOfInput;
    QByteArray typed;
    for (; c != EOF && c != '\n'; c = std::getc(stdin))
        typed += static_cast<char>(c);
    *line = QString::fromLocal8Bit(typed);
    return Console::Input::Line;
}

QByteArray readStandardInput()
{
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY); // a list's CR LF and bytes as they are
#endif
    QByteArray bytes;
    char block[65536];
    while (const std::size_t length = std::fread(block, 1, sizeof block, stdin))
        bytes.append(block, static_cast<qsizetype>(length));
    return bytes;
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
