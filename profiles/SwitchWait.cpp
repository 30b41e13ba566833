#include "profiles/SwitchWait.h"

namespace Varquel {

namespace {

// Objects of this server live in one apartment, so one thread: a count per
// thread is a count per apartment.
thread_local int t_waits = 0;

class CWaiting {
public:
    CWaiting() noexcept { ++t_waits; }
    ~CWaiting() { --t_waits; }
    CWaiting(const CWaiting&) = delete;
    CWaiting& operator=(const CWaiting&) = delete;
};

} // namespace

bool CSwitchWait::For(DWORD milliseconds) {
    const CWaiting waiting;
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                // The application is to end: hand the request back to its loop.
                PostQuitMessage(static_cast<int>(message.wParam));
                return false;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return true;
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(deadline - now), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

bool CSwitchWait::Busy() noexcept { return t_waits > 0; }

} // namespace Varquel
