#include "FaultInjection.h"

#include <QList>

#include <cstdlib>
#include <mutex>

#ifndef _WIN32
#include <csignal>
#include <unistd.h>
#endif

namespace tk {

namespace {

struct Failure
{
    bool always = false;
    faults::SystemCall call = faults::SystemCall::Open;
    QString pathPart;
    int skip = 0;
    int error = 0;
};

struct Plan
{
    QList<Failure> failures; // each fires once, unless always
    int killAt = 0; // counted down by every call; the call that reaches 0 never returns
};

Plan& plan()
{
    static Plan instance;
    return instance;
}

[[noreturn]] void killThisProcess()
{
#ifdef _WIN32
    std::_Exit(137); // no SIGKILL; ends as abruptly, with no flush and no destructor
#else
    ::kill(::getpid(), SIGKILL);
    std::_Exit(137); // not reached: SIGKILL cannot be caught
#endif
}

// The system's own copy writes its target: a write that is to fail fails it too.
bool planned(faults::SystemCall planned, faults::SystemCall made)
{
    return planned == made
        || (planned == faults::SystemCall::Write && made == faults::SystemCall::CopyData);
}

} // namespace

void faults::failOn(SystemCall call, int errnoValue, const QString& pathPart, int skip)
{
    plan().failures.append({false, call, pathPart, skip, errnoValue});
}

void faults::failAlways(SystemCall call, int errnoValue, const QString& pathPart)
{
    plan().failures.append({true, call, pathPart, 0, errnoValue});
}

void faults::killAtCall(int n)
{
    plan().killAt = n > 0 ? n : 0;
}

void faults::clear()
{
    plan() = Plan{};
}

int files::injectedError(SystemCall call, const QString& path)
{
    // Folders are listed on threads of their own.
    static std::mutex planInUse;
    const std::lock_guard<std::mutex> lock(planInUse);
    Plan& p = plan();
    if (p.killAt > 0 && --p.killAt == 0)
        killThisProcess();
    for (qsizetype i = 0; i < p.failures.size(); ++i) {
        Failure& failure = p.failures[i];
        if (!planned(failure.call, call) || !path.contains(failure.pathPart))
            continue;
        if (failure.skip > 0) {
            --failure.skip;
            return 0;
        }
        const int error = failure.error;
        if (!failure.always)
            p.failures.removeAt(i);
        return error;
    }
    return 0;
}

} // namespace tk
