#include "platform/FaultInjection.h"

#include <array>
#include <cstdlib>

#ifndef _WIN32
#include <csignal>
#include <unistd.h>
#endif

namespace tk::faults {

namespace {

constexpr int operationCount = static_cast<int>(FileOp::SyncFileSystem) + 1;

struct Plan
{
    bool armed = false;
    FileOp op = FileOp::Open;
    int skip = 0;
    int error = 0;
    std::array<int, operationCount> calls{};
    int killAt = 0; // counted down by every call; the call that reaches 0 never returns
};

Plan& plan()
{
    static Plan instance;
    return instance;
}

} // namespace

void failOn(FileOp op, int errnoValue, int skip)
{
    Plan& p = plan();
    p.armed = true;
    p.op = op;
    p.skip = skip;
    p.error = errnoValue;
}

void killAtCall(int n)
{
    plan().killAt = n > 0 ? n : 0;
}

void clear()
{
    plan() = Plan{};
}

int callCount(FileOp op)
{
    return plan().calls[static_cast<std::size_t>(op)];
}

int take(FileOp op)
{
    Plan& p = plan();
    ++p.calls[static_cast<std::size_t>(op)];
    if (p.killAt > 0 && --p.killAt == 0) {
#ifdef _WIN32
        std::_Exit(137); // no SIGKILL; ends as abruptly, with no flush and no destructor
#else
        ::kill(::getpid(), SIGKILL);
        std::_Exit(137); // not reached: SIGKILL cannot be caught
#endif
    }
    if (!p.armed || p.op != op)
        return 0;
    if (p.skip > 0) {
        --p.skip;
        return 0;
    }
    p.armed = false;
    return p.error;
}

} // namespace tk::faults
