#include "tests/robustness/StoreRootGuard.h"
#include "tests/support/TestSupport.h"

namespace VarquelRobustness {

namespace {

constexpr const wchar_t* kSavedCopy = L"Software\\VarquelTests\\RobustnessSavedQuoran";

bool CopyTree(const wchar_t* from, const wchar_t* to) {
    HKEY source = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, from, 0, KEY_READ, &source) != ERROR_SUCCESS) return false;
    HKEY target = nullptr;
    LONG status = RegCreateKeyExW(HKEY_CURRENT_USER, to, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &target, nullptr);
    if (status == ERROR_SUCCESS) {
        status = RegCopyTreeW(source, nullptr, target);
        RegCloseKey(target);
    }
    RegCloseKey(source);
    return status == ERROR_SUCCESS;
}

} // namespace

CStoreRootGuard::CStoreRootGuard() {
    VarquelTest::DeleteTreeHkcu(kSavedCopy);
    m_saved = CopyTree(kQuoran, kSavedCopy);
    Clear();
}

CStoreRootGuard::~CStoreRootGuard() {
    Clear();
    if (m_saved) CopyTree(kSavedCopy, kQuoran);
    VarquelTest::DeleteTreeHkcu(kSavedCopy);
}

void CStoreRootGuard::Clear() { VarquelTest::DeleteTreeHkcu(kQuoran); }

} // namespace VarquelRobustness
