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
        if (!entries.query) return Refuse(entries.error);
        return entries.query(nullptr, option, buffer, length);
    }
    BOOL Set(DWORD option, void* buffer, DWORD length) noexcept override {
        const Entries& entries = Resolved();
        if (!entries.set) return Refuse(entries.error);
        return entries.set(nullptr, option, buffer, length);
    }

private:
    using QueryOption = decltype(&InternetQueryOptionW);
    using SetOption = decltype(&InternetSetOptionW);
    struct Entries {
        QueryOption query = nullptr;
        SetOption set = nullptr;
        DWORD error = ERROR_SUCCESS;
    };

    static const Entries& Resolved() noexcept {
        static const Entries entries = [] {
            Entries found;
            const HMODULE module = LoadLibraryExW(L"wininet.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
            if (module) {
                found.query = reinterpret_cast<QueryOption>(
                    reinterpret_cast<void (*)()>(GetProcAddress(module, "InternetQueryOptionW")));
                found.set = reinterpret_cast<SetOption>(
                    reinterpret_cast<void (*)()>(GetProcAddress(module, "InternetSetOptionW")));
            }
            if (!found.query || !found.set) {
                found.error = GetLastError();
                if (found.error == ERROR_SUCCESS) found.error = ERROR_PROC_NOT_FOUND;
                found.query = nullptr;
                found.set = nullptr;
            }
            return found;
        }();
        return entries;
    }

    static BOOL Refuse(DWORD error) noexcept {
        SetLastError(error);
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
