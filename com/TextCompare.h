#pragma once
#include <windows.h>
#include <oleauto.h>
#include <string_view>

namespace Varquel {

// Equal without regard to case, character by character as the file system
// and the registry compare names, whatever the thread's locale.
inline bool EqualsNoCase(std::wstring_view a, std::wstring_view b) noexcept {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// A BSTR's text, a null one empty.
inline std::wstring_view TextOf(BSTR text) noexcept { return {text ? text : L"", SysStringLen(text)}; }

} // namespace Varquel
