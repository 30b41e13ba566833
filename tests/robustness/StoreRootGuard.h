#pragma once
#include <windows.h>

namespace VarquelRobustness {

// The profile store lives at HKCU\Software\Ostrel2\Quoran\Profiles. A
// campaign moves whatever is under "Quoran" aside on construction, works on
// an empty store, and puts the original back when it ends.
class CStoreRootGuard {
public:
    static constexpr const wchar_t* kQuoran = L"Software\\Ostrel2\\Quoran";
    static constexpr const wchar_t* kProfiles = L"Software\\Ostrel2\\Quoran\\Profiles";

    CStoreRootGuard();
    ~CStoreRootGuard();
    CStoreRootGuard(const CStoreRootGuard&) = delete;
    CStoreRootGuard& operator=(const CStoreRootGuard&) = delete;

    // Removes "Quoran" and everything below it.
    static void Clear();

private:
    bool m_saved = false;
};

} // namespace VarquelRobustness
