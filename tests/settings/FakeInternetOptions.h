#pragma once
// A stand-in for WinINet's options: the current user's proxy as WinINet keeps
// it (flags, server list, bypass list, setup script), and a journal of what
// was asked and set. Installed for the process while it lives. It reads the
// flags as the user interface shows them (INTERNET_PER_CONN_FLAGS_UI), as
// Windows 7 and later do, unless told to refuse that option, as Wine does.
#include <windows.h>
#include <wininet.h>
#include <optional>
#include <string>
#include <vector>
#include "settings/InternetOptions.h"

namespace SettingsTests {

class CFakeInternetOptions final : public Varquel::IInternetOptions {
public:
    DWORD flags = PROXY_TYPE_DIRECT;
    std::optional<std::wstring> servers, bypass, script;
    bool failQuery = false, failSet = false, refuseFlagsUi = false, refuseRefresh = false;
    DWORD failure = ERROR_ACCESS_DENIED;  // the last error of a failed query or set

    CFakeInternetOptions() noexcept : m_replaced(Varquel::SetInternetOptions(this)) {}
    ~CFakeInternetOptions() { Varquel::SetInternetOptions(m_replaced); }
    CFakeInternetOptions(const CFakeInternetOptions&) = delete;
    CFakeInternetOptions& operator=(const CFakeInternetOptions&) = delete;

    const std::vector<std::string>& Journal() const noexcept { return m_journal; }
    void ClearJournal() { m_journal.clear(); }

    BOOL Query(DWORD option, void* buffer, DWORD* length) noexcept override {
        auto* list = List(option, buffer, length ? *length : 0);
        if (!list) return FALSE;
        std::string line = "query";
        for (DWORD i = 0; i < list->dwOptionCount; ++i) {
            const char* name = Name(list->pOptions[i].dwOption);
            if (!name) return Reject("query of option " + std::to_string(list->pOptions[i].dwOption));
            line += std::string(i ? ", " : " ") + name;
        }
        m_journal.push_back(line);
        if (failQuery) return Fail(failure);
        bool refused = false;
        // Like Wine, the texts are handed out even when an option is refused.
        for (DWORD i = 0; i < list->dwOptionCount; ++i) {
            INTERNET_PER_CONN_OPTIONW& item = list->pOptions[i];
            if (item.dwOption == INTERNET_PER_CONN_FLAGS_UI && refuseFlagsUi) refused = true;
            else if (item.dwOption == INTERNET_PER_CONN_FLAGS || item.dwOption == INTERNET_PER_CONN_FLAGS_UI)
                item.Value.dwValue = flags;
            else item.Value.pszValue = Copy(*Text(item.dwOption));
        }
        return refused ? Fail(ERROR_INVALID_PARAMETER) : TRUE;
    }

    BOOL Set(DWORD option, void* buffer, DWORD length) noexcept override {
        if (option == INTERNET_OPTION_SETTINGS_CHANGED || option == INTERNET_OPTION_REFRESH) {
            if (buffer || length) return Reject("a notice with a buffer");
            m_journal.push_back(option == INTERNET_OPTION_REFRESH ? "set refresh" : "set settings changed");
            // Wine answers FALSE to the refresh.
            return option == INTERNET_OPTION_REFRESH && refuseRefresh ? Fail(ERROR_INTERNET_INVALID_OPTION) : TRUE;
        }
        auto* list = List(option, buffer, length);
        if (!list) return FALSE;
        std::string line = "set";
        for (DWORD i = 0; i < list->dwOptionCount; ++i) {
            const INTERNET_PER_CONN_OPTIONW& item = list->pOptions[i];
            const char* name = Name(item.dwOption);
            if (!name) return Reject("set of option " + std::to_string(item.dwOption));
            line += std::string(i ? ", " : " ") + name + "=";
            if (item.dwOption == INTERNET_PER_CONN_FLAGS_UI) return Reject("set of the flags ui");
            if (item.dwOption == INTERNET_PER_CONN_FLAGS) {
                line += std::to_string(item.Value.dwValue);
                if (!failSet) flags = item.Value.dwValue;
            } else {
                const wchar_t* text = item.Value.pszValue;
                line += text ? "\"" + Narrow(text) + "\"" : "null";
                if (!failSet) *Text(item.dwOption) = text ? std::optional<std::wstring>(text) : std::nullopt;
            }
        }
        m_journal.push_back(line);
        return failSet ? Fail(failure) : TRUE;
    }

private:
    INTERNET_PER_CONN_OPTION_LISTW* List(DWORD option, void* buffer, DWORD length) {
        auto* list = static_cast<INTERNET_PER_CONN_OPTION_LISTW*>(buffer);
        const char* wrong = option != INTERNET_OPTION_PER_CONNECTION_OPTION                  ? "another option"
                            : !list || length < sizeof *list || list->dwSize != sizeof *list ? "a malformed list"
                            : list->pszConnection                                            ? "another connection"
                                                                                             : nullptr;
        if (!wrong) return list;
        Reject(wrong);
        return nullptr;
    }
    static const char* Name(DWORD option) {
        switch (option) {
        case INTERNET_PER_CONN_FLAGS: return "flags";
        case INTERNET_PER_CONN_FLAGS_UI: return "flags ui";
        case INTERNET_PER_CONN_PROXY_SERVER: return "server";
        case INTERNET_PER_CONN_PROXY_BYPASS: return "bypass";
        case INTERNET_PER_CONN_AUTOCONFIG_URL: return "script";
        default: return nullptr;
        }
    }
    std::optional<std::wstring>* Text(DWORD option) {
        return option == INTERNET_PER_CONN_PROXY_SERVER ? &servers : option == INTERNET_PER_CONN_PROXY_BYPASS ? &bypass : &script;
    }
    // WinINet's texts come from GlobalAlloc; the caller frees them.
    static wchar_t* Copy(const std::optional<std::wstring>& text) {
        if (!text) return nullptr;
        auto* copy = static_cast<wchar_t*>(GlobalAlloc(GMEM_FIXED, (text->size() + 1) * sizeof(wchar_t)));
        if (copy) lstrcpyW(copy, text->c_str());
        return copy;
    }
    static std::string Narrow(const wchar_t* text) {
        std::string narrow;
        for (; *text; ++text) narrow += *text < 0x80 ? static_cast<char>(*text) : '?';
        return narrow;
    }
    static BOOL Fail(DWORD error) noexcept {
        SetLastError(error);
        return FALSE;
    }
    BOOL Reject(const std::string& what) {
        m_journal.push_back("reject " + what);
        return FALSE;
    }

    Varquel::IInternetOptions* m_replaced;
    std::vector<std::string> m_journal;
};

} // namespace SettingsTests
