#include "settings/InternetOptions.h"
#include <wininet.h>
#include <atomic>

namespace Varquel {

namespace {

// The one door to the machine besides WMI: Windows has had no WMI class for
// the proxy since Vista (Win32_Proxy is gone), and what users call the proxy
// is the current user's WinINet setting, whose documented access is WinINet's
// per-connection options.
class CWinInetOptions final : public IInternetOptions {
public:
    BOOL Query(DWORD option, void* buffer, DWORD* length) noexcept override {
        return InternetQueryOptionW(nullptr, option, buffer, length);
    }
    BOOL Set(DWORD option, void* buffer, DWORD length) noexcept override {
        return InternetSetOptionW(nullptr, option, buffer, length);
    }
};

CWinInetOptions g_winInet;
std::atomic<IInternetOptions*> g_standIn{nullptr};

} // namespace

IInternetOptions& InternetOptions() noexcept {
    IInternetOptions* standIn = g_standIn.load();
    return standIn ? *standIn : g_winInet;
}

IInternetOptions* SetInternetOptions(IInternetOptions* options) noexcept { return g_standIn.exchange(options); }

} // namespace Varquel
