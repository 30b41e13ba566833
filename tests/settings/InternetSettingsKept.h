#pragma once
#include <windows.h>
#include <optional>
#include <string>
#include <vector>

namespace SettingsTests {

// The current user's Internet Settings values, where WinINet keeps the
// proxy, put back as they were found.
class CInternetSettingsKept {
public:
    CInternetSettingsKept() {
        HKEY key = nullptr;
        m_existed = RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
        if (!m_existed) return;
        for (DWORD i = 0;; ++i) {
            wchar_t name[256];
            DWORD nameLength = 256, type = 0, size = 0;
            if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
            Saved value{name, type, std::vector<BYTE>(size)};
            RegQueryValueExW(key, name, nullptr, nullptr, value.data.data(), &size);
            value.data.resize(size);
            m_values.push_back(std::move(value));
        }
        RegCloseKey(key);
    }
    ~CInternetSettingsKept() {
        if (!m_existed) {
            RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
            return;
        }
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
        wchar_t name[256];
        for (DWORD length = 256; RegEnumValueW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) ==
                                 ERROR_SUCCESS;
             length = 256)
            if (RegDeleteValueW(key, name) != ERROR_SUCCESS) break;
        for (const Saved& value : m_values)
            RegSetValueExW(key, value.name.c_str(), 0, value.type, value.data.data(),
                           static_cast<DWORD>(value.data.size()));
        RegCloseKey(key);
    }
    CInternetSettingsKept(const CInternetSettingsKept&) = delete;
    CInternetSettingsKept& operator=(const CInternetSettingsKept&) = delete;

    static std::optional<std::wstring> Text(const wchar_t* name) {
        wchar_t text[512];
        DWORD size = sizeof text;
        if (RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
            return std::nullopt;
        return std::wstring(text);
    }
    static void SetText(const wchar_t* name, const wchar_t* text) {
        RegSetKeyValueW(HKEY_CURRENT_USER, kKey, name, REG_SZ, text,
                        static_cast<DWORD>((lstrlenW(text) + 1) * sizeof(wchar_t)));
    }
    static std::optional<DWORD> Number(const wchar_t* name) {
        DWORD value = 0, size = sizeof value;
        if (RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
            return std::nullopt;
        return value;
    }

private:
    static constexpr wchar_t kKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    struct Saved {
        std::wstring name;
        DWORD type;
        std::vector<BYTE> data;
    };
    bool m_existed = false;
    std::vector<Saved> m_values;
};

} // namespace SettingsTests
