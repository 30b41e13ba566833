#include "settings/InternetOptions.h"
#include <wininet.h>
#include <atomic>

namespace Varquel {

namespace {

// The one door to the machine besides WMI: Windows has had no WMI class for
// the proxy since Vista (Win32_Proxy is gone), and what users call the proxy
// is the current user's WinINet setting, whose documented access is WinINet's
// per-connection options.
//
// WinINet is loaded from the system directory on first use, not imported:
// only that path needs it, and every process that loads this server would
// otherwise start WinINet (its URL cache, and with it the shell). Once loaded
// it stays for the process's life, since it cannot be freed from our unload.
class CWinInetOptions final : public IInternetOptions {
public:
    BOOL Query(DWORD option, void* buffer, DWORD* length) noexcept override {
        const Entries& entries = Resolved();
        return entries.query ? entries.query(nullptr, option, buffer, length) : Unavailable();
    }
    BOOL Set(DWORD option, void* buffer, DWORD length) noexcept override {
        const Entries& entries = Resolved();
        return entries.set ? entries.set(nullptr, option, buffer, length) : Unavailable();
    }

private:
    // Both, or neither when WinINet or either function is missing.
    struct Entries {
        decltype(&InternetQueryOptionW) query = nullptr;
        decltype(&InternetSetOptionW) set = nullptr;
    };

    static const Entries& Resolved() noexcept {
        static const Entries entries = [] {
            Entries found;
            if (const HMODULE module = LoadLibraryExW(L"wininet.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
                found.query = reinterpret_cast<decltype(found.query)>(GetProcAddress(module, "InternetQueryOptionW"));
                found.set = reinterpret_cast<decltype(found.set)>(GetProcAddress(module, "InternetSetOptionW"));
                if (!found.query || !found.set) found = {};
            }
            return found;
        }();
        return entries;
    }

    static BOOL Unavailable() noexcept {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return FALSE;
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
