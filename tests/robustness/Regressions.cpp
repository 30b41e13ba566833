// Faults the robustness campaigns found, one small test each, named after
// the fault. They stay as regression tests once the fault is fixed.
#include <gtest/gtest.h>
#include "com/Variant.h"
#include "tests/robustness/ForeignObject.h"
#include "tests/support/TestSupport.h"
#include "Varquel_h.h"

namespace VarquelRobustness {
namespace {

using Microsoft::WRL::ComPtr;
using Varquel::CVariant;

HRESULT InvokeWith(IDispatch* target, DISPID id, std::vector<CVariant>& args) {
    // The caller's array holds the arguments last parameter first.
    std::vector<VARIANT> array;
    for (auto it = args.rbegin(); it != args.rend(); ++it) array.push_back(*it->Get());
    DISPPARAMS params{array.data(), nullptr, static_cast<UINT>(array.size()), 0};
    CVariant result;
    UINT argErr = 0;
    HRESULT hr = target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.Get(), nullptr,
                                &argErr);
    // Converted values were written back into the array, which now owns them.
    std::size_t i = array.size();
    for (CVariant& arg : args) {
        VariantInit(arg.Get());
        *arg.Get() = array[--i];
    }
    return hr;
}

CVariant DispatchArgument(IDispatch* object) {
    CVariant value;
    V_VT(value.Get()) = VT_DISPATCH;
    V_DISPATCH(value.Get()) = ComPtr<IDispatch>(object).Detach();
    return value;
}

CVariant IndexArgument(LONG index) {
    CVariant value;
    V_VT(value.Get()) = VT_I4;
    V_I4(value.Get()) = index;
    return value;
}

// An INetProfile argument that arrives through Invoke is queried for
// INetProfile, and the query's reference is given back before the member
// runs. COM only promises an interface pointer while a reference on it is
// held: an object that answers INetProfile with a tear-off has already freed
// it when Add or NetProfileSetAt look at it.
TEST(Regressions, DispatchHandsTheMemberAnInterfaceWhoseReferenceItGaveBack) {
    ComPtr<IDispatch> list;
    ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_CNetProfilesList, nullptr, CLSCTX_ALL, IID_IDispatch,
                                              reinterpret_cast<void**>(list.GetAddressOf())));
    ComPtr<IDispatch> profile;
    ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_CNetProfile, nullptr, CLSCTX_ALL, IID_IDispatch,
                                              reinterpret_cast<void**>(profile.GetAddressOf())));
    ComPtr<CForeignObject> foreign = CForeignObject::Create(CForeignObject::Offers::TearOffProfile);
    const long before = CForeignObject::CallsOnReleasedTearOffs();
    {
        std::vector<CVariant> add;
        add.push_back(DispatchArgument(foreign.Get()));
        EXPECT_EQ(InvokeWith(list.Get(), 3, add), E_INVALIDARG) << "Add of a profile of another origin";
    }
    EXPECT_EQ(CForeignObject::CallsOnReleasedTearOffs() - before, 0)
        << "Add (DISPID 3) called a tear-off INetProfile after the dispatch layer had released it";
    {
        std::vector<CVariant> add;
        add.push_back(DispatchArgument(profile.Get()));
        ASSERT_EQ(InvokeWith(list.Get(), 3, add), S_OK);
        std::vector<CVariant> setAt;
        setAt.push_back(IndexArgument(0));
        setAt.push_back(DispatchArgument(foreign.Get()));
        EXPECT_EQ(InvokeWith(list.Get(), 7, setAt), E_INVALIDARG) << "NetProfileSetAt with a profile of another origin";
    }
    EXPECT_EQ(CForeignObject::CallsOnReleasedTearOffs() - before, 0)
        << "NetProfileSetAt (DISPID 7) called a tear-off INetProfile after the dispatch layer had released it";
    EXPECT_EQ(foreign->References(), 1) << "the server kept a reference on the foreign object";
    list.Reset();
    profile.Reset();
    EXPECT_EQ(VarquelTest::ModuleLockCount(), 0);
}

} // namespace
} // namespace VarquelRobustness
