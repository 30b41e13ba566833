#include "adapters/IpText.h"
#include <string_view>

namespace Varquel::IpText {

namespace {

std::wstring_view View(BSTR entry) noexcept { return {entry ? entry : L"", SysStringLen(entry)}; }

constexpr bool IsDigit(wchar_t c) noexcept { return c >= L'0' && c <= L'9'; }

} // namespace

bool IsIPv4(BSTR entry) noexcept {
    const std::wstring_view text = View(entry);
    int parts = 0;
    size_t i = 0;
    for (;;) {
        const size_t start = i;
        int number = 0;
        while (i < text.size() && IsDigit(text[i]) && i - start < 3) number = number * 10 + (text[i++] - L'0');
        if (i == start || number > 255) return false;
        ++parts;
        if (i == text.size()) return parts == 4;
        if (text[i] != L'.' || parts == 4) return false;
        ++i;
    }
}

bool IsIPv6(BSTR entry) noexcept { return View(entry).find(L':') != std::wstring_view::npos; }

bool IsPrefixLength(BSTR entry) noexcept {
    const std::wstring_view text = View(entry);
    if (text.empty()) return false;
    for (wchar_t c : text)
        if (!IsDigit(c)) return false;
    return true;
}

CStringArray ForIPv4Methods(const CStringArray& entries) {
    CStringArray sent;
    for (LONG i = 0; i < entries.Count(); ++i) {
        const BSTR entry = entries.At(i);
        if (!IsIPv6(entry) && !IsPrefixLength(entry)) sent.Append(entry);
    }
    return sent;
}

} // namespace Varquel::IpText
