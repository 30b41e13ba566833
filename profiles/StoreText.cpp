#include "profiles/StoreText.h"
#include <cwchar>
#include "com/TextCompare.h"

namespace Varquel::StoreText {

namespace {

[[noreturn]] void ThrowLastError() {
    const DWORD error = GetLastError();
    ThrowComError(error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error));
}

std::wstring ToWide(const char* text, int length) {
    std::wstring wide;
    if (length == 0) return wide;
    const int size = MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
    if (size <= 0) ThrowLastError();
    wide.resize(static_cast<size_t>(size));
    if (MultiByteToWideChar(CP_ACP, 0, text, length, wide.data(), size) != size) ThrowLastError();
    return wide;
}

} // namespace

std::string ToAnsi(const wchar_t* text) {
    std::string narrow;
    if (!text) return narrow;
    const int length = static_cast<int>(std::wcslen(text));
    if (length == 0) return narrow;
    // Without best fit, 'ł' is stored as the default character rather than
    // silently as 'l'.
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) ThrowLastError();
    narrow.resize(static_cast<size_t>(size));
    if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, length, narrow.data(), size, nullptr, nullptr) != size)
        ThrowLastError();
    return narrow;
}

CBstr FromAnsi(const char* text) {
    const std::wstring wide = ToWide(text ? text : "", text ? lstrlenA(text) : 0);
    return CBstr(wide.c_str(), static_cast<UINT>(wide.size()));
}

std::wstring AsStoredName(const wchar_t* text) {
    const std::string narrow = ToAnsi(text);
    return ToWide(narrow.c_str(), static_cast<int>(narrow.size()));
}

bool IsKeyName(const std::wstring& storedName) noexcept {
    // An empty name would open the parent itself, and a backslash would make
    // a path of several keys.
    return !storedName.empty() && storedName.size() <= kMaxKeyNameLength &&
           storedName.find(L'\\') == std::wstring::npos;
}

bool SameKeyName(const std::wstring& a, const std::wstring& b) noexcept {
    return EqualsNoCase(a, b);
}

bool AddDistinctKeyName(std::vector<std::wstring>& keys, std::wstring key) {
    for (const std::wstring& earlier : keys)
        if (SameKeyName(key, earlier)) return false;
    keys.push_back(std::move(key));
    return true;
}

} // namespace Varquel::StoreText
