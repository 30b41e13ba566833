#pragma once
#include <windows.h>
#include <oleauto.h>
#include <utility>
#include "com/ComError.h"

namespace Varquel {

// Owns one BSTR (which may be null). Copies come in two kinds: whole (every
// stored character, embedded NULs included) and up to the first NUL, which is
// how strings entering the system are taken.
class CBstr {
public:
    CBstr() noexcept = default;
    explicit CBstr(const wchar_t* text) : m_str(Alloc(text, text ? lstrlenW(text) : 0, text != nullptr)) {}
    CBstr(const wchar_t* text, UINT length) : m_str(Alloc(text, length, true)) {}
    CBstr(const CBstr& other) : m_str(CopyWhole(other.m_str).Detach()) {}
    CBstr(CBstr&& other) noexcept : m_str(other.Detach()) {}
    CBstr& operator=(const CBstr& other) {
        if (this != &other) Reset(CopyWhole(other.m_str).Detach());
        return *this;
    }
    CBstr& operator=(CBstr&& other) noexcept {
        if (this != &other) Reset(other.Detach());
        return *this;
    }
    ~CBstr() { Reset(); }

    // A copy of every stored character; null stays null.
    static CBstr CopyWhole(BSTR source) {
        CBstr copy;
        if (source) copy.m_str = Alloc(source, SysStringLen(source), true);
        return copy;
    }
    // A copy up to the first NUL; null stays null.
    static CBstr CopyToNul(BSTR source) {
        CBstr copy;
        if (source) copy.m_str = Alloc(source, lstrlenW(source), true);
        return copy;
    }
    static CBstr Empty() { return CBstr(L"", 0); }
    // A copy of a NUL-terminated text for code that may not throw; false
    // when it cannot be allocated.
    static bool TryCopy(const wchar_t* text, CBstr& out) noexcept {
        try {
            out = CBstr(text);
            return true;
        } catch (const CComError&) {
            return false;
        }
    }

    BSTR Get() const noexcept { return m_str; }
    bool IsNull() const noexcept { return m_str == nullptr; }
    bool IsEmpty() const noexcept { return SysStringLen(m_str) == 0; }  // null or no characters
    UINT Length() const noexcept { return SysStringLen(m_str); }
    BSTR Detach() noexcept { return std::exchange(m_str, nullptr); }
    void Reset(BSTR value = nullptr) noexcept {
        if (m_str != value) SysFreeString(std::exchange(m_str, value));
    }
    BSTR* ReleaseAndGetAddressOf() noexcept { Reset(); return &m_str; }

    // Takes the text up to its first NUL, unless it is the very string held.
    void AssignToNul(BSTR text) {
        if (text != m_str) *this = CopyToNul(text);
    }

    // Hands a whole copy to an out parameter.
    void CopyTo(BSTR* out) const { *out = CopyWhole(m_str).Detach(); }

private:
    static BSTR Alloc(const wchar_t* text, UINT length, bool wanted) {
        if (!wanted) return nullptr;
        BSTR s = SysAllocStringLen(text, length);
        if (!s) ThrowOutOfMemory();
        return s;
    }
    BSTR m_str = nullptr;
};

} // namespace Varquel
