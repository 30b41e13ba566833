// The x86 DLL's embedded type library, read by a 64-bit program: it needs no
// 32-bit execution, so it runs on machines whose 32-bit side does not.
#include <gtest/gtest.h>
#include <string>
#include "Varquel_h.h"
#include "tests/support/TestSupport.h"

namespace {

using VarquelTest::ComPtr;
using VarquelTest::Narrow;

// Type names in library order.
std::string TypeNames(ITypeLib* library) {
    std::string names;
    for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
        Varquel::CBstr name;
        library->GetDocumentation(static_cast<INT>(i), name.ReleaseAndGetAddressOf(), nullptr, nullptr, nullptr);
        names += Narrow(name.Get()) + " ";
    }
    return names;
}

TEST(X86TypeLibrary, IsTheWin32LibraryOfTheSameTypes) {
    ComPtr<ITypeLib> x86;
    ASSERT_EQ(LoadTypeLibEx(VARQUEL_X86_DLL_PATH, REGKIND_NONE, &x86), S_OK);
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(x86->GetLibAttr(&attr), S_OK);
    EXPECT_EQ(attr->syskind, SYS_WIN32);
    EXPECT_TRUE(IsEqualGUID(attr->guid, LIBID_Varquel));
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    x86->ReleaseTLibAttr(attr);

    ComPtr<ITypeLib> x64;
    ASSERT_EQ(LoadTypeLibEx(VARQUEL_DLL_PATH, REGKIND_NONE, &x64), S_OK);
    EXPECT_EQ(TypeNames(x86.Get()), TypeNames(x64.Get()));
}

}  // namespace
