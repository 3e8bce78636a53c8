#include "platform/StopRequests.h"

#include <atomic>
#include <csignal>
#include <iterator>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tk {

namespace {

// A signal handler can reach nothing else: the one flag it sets.
std::atomic<int> requests{0};

#ifdef _WIN32
BOOL WINAPI onConsoleEvent(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    // FALSE lets Windows end the process, as a second Ctrl-C should.
    return ++requests == 1 || event == CTRL_CLOSE_EVENT ? TRUE : FALSE;
}
#else
constexpr int stopSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void onStopSignal(int)
{
    ++requests;
}
#endif

} // namespace

struct StopRequests::Previous
{
#ifndef _WIN32
    struct sigaction stop[std::size(stopSignals)];
    struct sigaction pipe;
#endif
};

StopRequests::StopRequests()
    : m_previous(std::make_unique<Previous>())
{
    requests = 0;
#ifdef _WIN32
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
#else
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    // Once: the same signal again gets the system's own handling.
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(stopSignals); ++i)
        sigaction(stopSignals[i], &action, &m_previous->stop[i]);
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &m_previous->pipe);
#endif
}

StopRequests::~StopRequests()
{
#ifdef _WIN32
    SetConsoleCtrlHandler(onConsoleEvent, FALSE);
#else
    for (std::size_t i = 0; i < std::size(stopSignals); ++i)
        sigaction(stopSignals[i], &m_previous->stop[i], nullptr);
    sigaction(SIGPIPE, &m_previous->pipe, nullptr);
#endif
}

bool StopRequests::requested() const
{
    return requests > 0;
}

} // namespace tk
