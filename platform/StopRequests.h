#pragma once

#include <memory>

namespace tk {

// While one lives, Ctrl-C, a closed terminal or session (SIGHUP, SIGTERM, the
// console's close on Windows) ask the work in hand to stop at its next safe
// point instead of ending the process between two files. A second Ctrl-C ends
// the process at once: whatever it leaves, the next run finishes. A closed
// output fails the writes to it instead of ending the process.
class StopRequests
{
public:
    StopRequests();
    ~StopRequests();
    StopRequests(const StopRequests&) = delete;
    StopRequests& operator=(const StopRequests&) = delete;

    bool requested() const;

private:
    struct Previous; // how the process handled those events before
    std::unique_ptr<Previous> m_previous;
};

} // namespace tk
