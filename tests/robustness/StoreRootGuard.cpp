#include "tests/robustness/StoreRootGuard.h"
#include "tests/support/TestSupport.h"

namespace VarquelRobustness {

namespace {

constexpr const wchar_t* kSavedCopy = L"Software\\VarquelTests\\RobustnessSavedQuoran";

} // namespace

CStoreRootGuard::CStoreRootGuard() {
    VarquelTest::DeleteTreeHkcu(kSavedCopy);
    m_saved = VarquelTest::CopyTreeHkcu(kQuoran, kSavedCopy);
    Clear();
}

CStoreRootGuard::~CStoreRootGuard() {
    Clear();
    if (m_saved) VarquelTest::CopyTreeHkcu(kSavedCopy, kQuoran);
    VarquelTest::DeleteTreeHkcu(kSavedCopy);
}

void CStoreRootGuard::Clear() { VarquelTest::DeleteTreeHkcu(kQuoran); }

} // namespace VarquelRobustness
