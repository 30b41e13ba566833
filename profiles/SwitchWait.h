#pragma once
#include <windows.h>

namespace Varquel {

// How a switch waits on its caller's thread, which may be a user interface's
// single-threaded apartment: it dispatches the thread's messages meanwhile,
// so that its windows keep painting. CoWaitForMultipleHandles would dispatch
// only some of them on such a thread (on Wine 8, no posted ones).
class CSwitchWait {
public:
    // Waits `milliseconds`, dispatching every message that arrives. A
    // WM_QUIT taken is posted again and ends the wait early: false then.
    static bool For(DWORD milliseconds);
    // Whether a switch is waiting on this thread. A call to a switch that
    // arrives meanwhile, from a message it dispatches, is refused: the
    // switch is in the middle of changing the machine.
    static bool Busy() noexcept;
};

} // namespace Varquel
