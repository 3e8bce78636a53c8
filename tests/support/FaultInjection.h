#pragma once

#include "platform/SystemCalls.h"

#include <QString>

// The test build of the file layer: tests make chosen system calls fail, as
// root cannot be refused anything, or kill the process between two calls.
namespace tk::faults {

using files::SystemCall;

// Makes the next call of `call` on a path that contains `pathPart` (any path
// when it is empty) fail with `errnoValue`; `skip` such calls go through
// first. Several such failures may wait at once. A Write fails the system's
// own copy (CopyData) as well: both put bytes into the target.
void failOn(SystemCall call, int errnoValue, const QString& pathPart = QString(), int skip = 0);
// Makes every such call fail, not just the next one.
void failAlways(SystemCall call, int errnoValue, const QString& pathPart = QString());
void clear();

// Makes the n-th system call from now, of any kind, kill this process with
// SIGKILL before it reaches the system: nothing after it runs, no destructor,
// no handler, as when the power fails or the operator kills the program. A
// crash test runs the work in a child process and looks at what is left on
// disk. n <= 0 disarms it; clear() does too.
void killAtCall(int n);

} // namespace tk::faults
