// GetTypeInfoCount and GetTypeInfo: the interface's type information, loaded
// from the module's own file.
#include <gtest/gtest.h>
#include "Varquel_h.h"
#include "tests/dispatch/DispatchTestSupport.h"

namespace {

using namespace DispatchTest;

TEST(TypeInfo, EveryObjectDescribesItsInterfaceFromTheModulesOwnTypeLibrary) {
    for (const InterfaceCase& c : AllInterfaces()) {
        ComPtr<IDispatch> object = CreateDispatch(c);
        ASSERT_TRUE(object) << c.name;
        UINT count = 7;
        EXPECT_EQ(object->GetTypeInfoCount(&count), S_OK);
        EXPECT_EQ(count, 1u) << c.name;

        ComPtr<ITypeInfo> info;
        ASSERT_EQ(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info), S_OK) << c.name;
        ASSERT_TRUE(info);
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
        EXPECT_TRUE(IsEqualGUID(attr->guid, *c.iid)) << c.name;
        info->ReleaseTypeAttr(attr);

        // The lcid plays no part.
        ComPtr<ITypeInfo> other;
        EXPECT_EQ(object->GetTypeInfo(0, 0x0407, &other), S_OK);
        EXPECT_TRUE(other);
    }
}

TEST(TypeInfo, BadIndexAndNullPointers) {
    ComPtr<IDispatch> list = CreateDispatch(InterfaceNamed("IAddressList"));
    ASSERT_TRUE(list);
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(list->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);
    EXPECT_EQ(list->GetTypeInfo(0xFFFFFFFF, 0, &info), DISP_E_BADINDEX);
    EXPECT_EQ(list->GetTypeInfo(1, 0, nullptr), DISP_E_BADINDEX) << "the index is checked first";
    EXPECT_EQ(list->GetTypeInfo(0, 0, nullptr), E_POINTER);
    EXPECT_EQ(list->GetTypeInfoCount(nullptr), E_POINTER);
}

TEST(TypeInfo, AnInterfaceTheLibraryDoesNotDescribeCountsNoTypeInfo) {
    // The same path as a module without a type library: the load fails, the
    // count is 0 and still S_OK, and GetTypeInfo returns the failure.
    UINT count = 7;
    EXPECT_EQ(Varquel::Dispatch::GetTypeInfoCount(IID_IClassFactory, &count), S_OK);
    EXPECT_EQ(count, 0u);
    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(1);
    HRESULT hr = Varquel::Dispatch::GetTypeInfo(IID_IClassFactory, 0, &info);
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(hr, TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(info, nullptr);
}

} // namespace
