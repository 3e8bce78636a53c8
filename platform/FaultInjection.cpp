#include "platform/FaultInjection.h"

#include <array>

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

void clear()
{
    plan() = Plan{};
}

int callCount(FileOp op)
{
    return plan().calls[static_cast<int>(op)];
}

int take(FileOp op)
{
    Plan& p = plan();
    ++p.calls[static_cast<int>(op)];
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
