// Invoke: the failure table, member selection by DISPID and flags, results.
#include <gtest/gtest.h>
#include "Varquel_h.h"
#include "tests/dispatch/DispatchTestSupport.h"

namespace {

using namespace DispatchTest;
using VarquelTest::Create;

constexpr WORD kMethod = DISPATCH_METHOD;
constexpr WORD kGet = DISPATCH_PROPERTYGET;
constexpr WORD kPut = DISPATCH_PROPERTYPUT;

LONG CountOf(IAddressList* list) {
    LONG count = -1;
    EXPECT_EQ(list->get_Count(&count), S_OK);
    return count;
}

ComPtr<IAddressList> ListOf(std::initializer_list<const wchar_t*> entries) {
    ComPtr<IAddressList> list = Create<IAddressList>(CLSID_CAddressList);
    EXPECT_TRUE(list);
    for (const wchar_t* entry : entries) EXPECT_EQ(list->Add(Varquel::CBstr(entry).Get()), S_OK);
    return list;
}

TEST(InvokeFailures, NullDispParamsIsBadVarType) {
    for (const InterfaceCase& c : AllInterfaces()) {
        ComPtr<IDispatch> object = CreateDispatch(c);
        ASSERT_TRUE(object) << c.name;
        Varquel::CVariant result;
        V_VT(result.Get()) = VT_I4;
        V_I4(result.Get()) = 77;
        EXPECT_EQ(object->Invoke(1, IID_NULL, 0, kGet, nullptr, result.Get(), nullptr, nullptr), DISP_E_BADVARTYPE)
            << c.name;
        EXPECT_EQ(V_VT(result.Get()), VT_I4) << "the result is not touched before the arguments are looked at";
    }
}

TEST(InvokeFailures, MoreArgumentsThanTheInterfaceAllowsComeBeforeTheDispid) {
    for (const InterfaceCase& c : AllInterfaces()) {
        ComPtr<IDispatch> object = CreateDispatch(c);
        ASSERT_TRUE(object) << c.name;
        CArgs args;
        for (UINT i = 0; i <= c.table().maxArgs; ++i) args.I4(1);
        EXPECT_EQ(Invoke(object.Get(), 99, kMethod, args).hr, DISP_E_BADPARAMCOUNT) << c.name;
        EXPECT_EQ(Invoke(object.Get(), 1, kMethod, args).hr, DISP_E_BADPARAMCOUNT) << c.name;
    }
    ComPtr<IDispatch> adapter = CreateDispatch(InterfaceNamed("INetAdapterProperty"));
    ASSERT_TRUE(adapter);
    CArgs two;
    two.I4(1).I4(2);
    EXPECT_EQ(Invoke(adapter.Get(), 8, kMethod, two).hr, DISP_E_BADPARAMCOUNT);
}

TEST(InvokeFailures, AWrongNumberOfArgumentsForTheMember) {
    ComPtr<IAddressList> list = ListOf({L"a"});
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(list.As(&dispatch), S_OK);
    CArgs one;
    one.I4(0);
    EXPECT_EQ(Invoke(dispatch.Get(), 1, kGet, one).hr, DISP_E_BADPARAMCOUNT);  // Count
    EXPECT_EQ(Invoke(dispatch.Get(), 4, kMethod).hr, DISP_E_BADPARAMCOUNT);    // GetAt
    EXPECT_EQ(Invoke(dispatch.Get(), 6, kMethod, one).hr, DISP_E_BADPARAMCOUNT);  // RemoveAll
    CArgs two;
    two.I4(0).I4(0);
    EXPECT_EQ(Invoke(dispatch.Get(), 4, kMethod, two).hr, DISP_E_BADPARAMCOUNT);  // within the limit of 2
    EXPECT_EQ(Invoke(dispatch.Get(), 7, kMethod, two).hr, DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(CountOf(list.Get()), 1);
}

TEST(InvokeFailures, DispidsThatBelongToNoMember) {
    ComPtr<IDispatch> list = CreateDispatch(InterfaceNamed("IAddressList"));
    ASSERT_TRUE(list);
    for (DISPID id : {2, 5, 0, 8, -1, DISPID_NEWENUM, DISPID_PROPERTYPUT, 0x60000000, 1000})
        EXPECT_EQ(Invoke(list.Get(), id, kMethod | kGet).hr, DISP_E_MEMBERNOTFOUND) << id;

    ComPtr<IDispatch> adapter = CreateDispatch(InterfaceNamed("INetAdapterProperty"));
    ASSERT_TRUE(adapter);
    for (DISPID id : {8, 9, 13})
        EXPECT_EQ(Invoke(adapter.Get(), id, kGet).hr, DISP_E_MEMBERNOTFOUND) << id;

    // Beyond the highest DISPID of each interface, and below the lowest.
    for (const InterfaceCase& c : AllInterfaces()) {
        ComPtr<IDispatch> object = CreateDispatch(c);
        ASSERT_TRUE(object) << c.name;
        DISPID highest = 0;
        for (const auto& member : c.table().members) highest = std::max(highest, member.id);
        EXPECT_EQ(Invoke(object.Get(), highest + 1, kMethod).hr, DISP_E_MEMBERNOTFOUND) << c.name;
        EXPECT_EQ(Invoke(object.Get(), 0, kMethod).hr, DISP_E_MEMBERNOTFOUND) << c.name;
    }
}

TEST(InvokeFailures, TheResultIsEmptiedOnceTheArgumentCountIsAccepted) {
    ComPtr<IDispatch> list = CreateDispatch(InterfaceNamed("IAddressList"));
    ASSERT_TRUE(list);
    VARIANT result;
    V_VT(&result) = VT_I4;
    V_I4(&result) = 5;
    CArgs none;
    EXPECT_EQ(list->Invoke(2, IID_NULL, 0, kMethod, none.Params(), &result, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(V_VT(&result), VT_EMPTY);
}

TEST(InvokeFailures, ArgErrIsOptional) {
    ComPtr<IDispatch> list = CreateDispatch(InterfaceNamed("IAddressList"));
    ASSERT_TRUE(list);
    CArgs bad;
    bad.Bstr(L"x");
    EXPECT_EQ(list->Invoke(7, IID_NULL, 0, kMethod, bad.Params(), nullptr, nullptr, nullptr), DISP_E_TYPEMISMATCH);
    CArgs named;
    named.I4(0).Named(3);
    EXPECT_EQ(list->Invoke(7, IID_NULL, 0, kMethod, named.Params(), nullptr, nullptr, nullptr), DISP_E_PARAMNOTFOUND);
}

TEST(InvokeSelection, FlagsAreIgnoredForMembersWithoutAPair) {
    ComPtr<IAddressList> list = ListOf({L"a", L"b"});
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(list.As(&dispatch), S_OK);
    for (WORD flags : {kGet, kMethod, kPut, WORD(DISPATCH_PROPERTYPUTREF), WORD(0), WORD(kGet | kMethod)}) {
        CInvokeResult count = Invoke(dispatch.Get(), 1, flags);
        EXPECT_EQ(count.hr, S_OK) << flags;
        EXPECT_EQ(V_VT(count.value.Get()), VT_I4);
        EXPECT_EQ(V_I4(count.value.Get()), 2) << "Count read with flags " << flags;

        CArgs index;
        index.I4(1);
        CInvokeResult at = Invoke(dispatch.Get(), 4, flags, index);
        EXPECT_EQ(at.hr, S_OK) << flags;
        EXPECT_EQ(Text(*at.value), "b") << "GetAt with flags " << flags;
    }
}

TEST(InvokeSelection, AGetterAndSetterPairFollowsTheFlags) {
    ComPtr<INetAdapterProperty> adapter = Create<INetAdapterProperty>(CLSID_CNetAdapterProperty);
    ASSERT_TRUE(adapter);
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(adapter.As(&dispatch), S_OK);
    auto isDhcp = [&] {
        VARIANT_BOOL value = 99;
        EXPECT_EQ(adapter->get_IsDHCP(&value), S_OK);
        return value;
    };
    ASSERT_EQ(adapter->put_IsDHCP(VARIANT_FALSE), S_OK);

    // Property get, also combined with method: reads.
    CInvokeResult read = Invoke(dispatch.Get(), 10, kGet | kMethod);
    EXPECT_EQ(read.hr, S_OK);
    EXPECT_EQ(V_VT(read.value.Get()), VT_BOOL);
    EXPECT_EQ(V_BOOL(read.value.Get()), VARIANT_FALSE);

    // Property put with a VT_I4 1: sets true, and the caller's argument is now VT_BOOL true.
    CArgs one;
    one.I4(1);
    CInvokeResult put = Invoke(dispatch.Get(), 10, kPut, one);
    EXPECT_EQ(put.hr, S_OK);
    EXPECT_EQ(V_VT(put.value.Get()), VT_EMPTY);
    EXPECT_EQ(isDhcp(), VARIANT_TRUE);
    EXPECT_EQ(V_VT(&one[0]), VT_BOOL);
    EXPECT_EQ(V_BOOL(&one[0]), VARIANT_TRUE);

    // Get wins over put when both are set: with an argument that is the wrong count for the getter.
    CArgs arg;
    arg.Bool(VARIANT_FALSE);
    EXPECT_EQ(Invoke(dispatch.Get(), 10, kGet | kPut, arg).hr, DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(isDhcp(), VARIANT_TRUE);
    // Put without an argument is the setter with a wrong count.
    EXPECT_EQ(Invoke(dispatch.Get(), 10, kPut).hr, DISP_E_BADPARAMCOUNT);

    // Neither flag: the getter without an argument, the setter with one.
    CInvokeResult method = Invoke(dispatch.Get(), 10, kMethod);
    EXPECT_EQ(method.hr, S_OK);
    EXPECT_EQ(V_VT(method.value.Get()), VT_BOOL);
    EXPECT_EQ(V_BOOL(method.value.Get()), VARIANT_TRUE);
    EXPECT_EQ(Invoke(dispatch.Get(), 10, kMethod, arg).hr, S_OK);
    EXPECT_EQ(isDhcp(), VARIANT_FALSE);
    CArgs setByRef;
    setByRef.Bool(VARIANT_TRUE);
    EXPECT_EQ(Invoke(dispatch.Get(), 10, DISPATCH_PROPERTYPUTREF, setByRef).hr, S_OK);
    EXPECT_EQ(isDhcp(), VARIANT_TRUE);
}

TEST(InvokeSelection, SettersOfEveryKindOfValue) {
    // A string property (the proxy) and a long one (the printers' number).
    ComPtr<IProxyProperty> proxy = Create<IProxyProperty>(CLSID_CProxyProperty);
    ASSERT_TRUE(proxy);
    ComPtr<IDispatch> proxyDispatch;
    ASSERT_EQ(proxy.As(&proxyDispatch), S_OK);
    for (DISPID id = 3; id <= 12; ++id) {
        CArgs text;
        text.Bstr((L"value " + std::to_wstring(id)).c_str());
        ASSERT_EQ(Invoke(proxyDispatch.Get(), id, kPut, text).hr, S_OK) << id;
    }
    for (DISPID id = 3; id <= 12; ++id) {
        CInvokeResult read = Invoke(proxyDispatch.Get(), id, kGet);
        EXPECT_EQ(read.hr, S_OK);
        EXPECT_EQ(Text(*read.value), "value " + std::to_string(id));
    }
    Varquel::CBstr direct;
    EXPECT_EQ(proxy->get_SocksPort(direct.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(VarquelTest::Narrow(direct.Get()), "value 12");

    CArgs truth;
    truth.Bool(VARIANT_TRUE);
    EXPECT_EQ(Invoke(proxyDispatch.Get(), 13, kPut, truth).hr, S_OK);
    VARIANT_BOOL oneProxy = 0;
    EXPECT_EQ(proxy->get_IsUseOneProxy(&oneProxy), S_OK);
    EXPECT_EQ(oneProxy, VARIANT_TRUE);

    ComPtr<IPrintersProperty> printers = Create<IPrintersProperty>(CLSID_CPrintersProperty);
    ASSERT_TRUE(printers);
    ComPtr<IDispatch> printersDispatch;
    ASSERT_EQ(printers.As(&printersDispatch), S_OK);
    CArgs number;
    number.Bstr(L"17");
    EXPECT_EQ(Invoke(printersDispatch.Get(), 2, kPut, number).hr, S_OK);
    LONG printerNumber = 0;
    EXPECT_EQ(printers->get_PrinterNumber(&printerNumber), S_OK);
    EXPECT_EQ(printerNumber, 17);
    EXPECT_EQ(V_VT(&number[0]), VT_I4);
    CInvokeResult read = Invoke(printersDispatch.Get(), 2, kGet);
    EXPECT_EQ(V_VT(read.value.Get()), VT_I4);
    EXPECT_EQ(V_I4(read.value.Get()), 17);
}

TEST(InvokeResults, AreStoredWithTheirAutomationType) {
    ComPtr<INetAdapterProperty> adapter = Create<INetAdapterProperty>(CLSID_CNetAdapterProperty);
    ASSERT_TRUE(adapter);
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(adapter.As(&dispatch), S_OK);

    // The address lists: VT_DISPATCH of the adapter's own list, one reference for the variant.
    using Getter = HRESULT (STDMETHODCALLTYPE INetAdapterProperty::*)(IAddressList**);
    const std::pair<DISPID, Getter> lists[] = {{3, &INetAdapterProperty::get_IPAddresses},
                                               {4, &INetAdapterProperty::get_SubnetMasks},
                                               {5, &INetAdapterProperty::get_GateWayAddresses},
                                               {6, &INetAdapterProperty::get_DNSAddresses},
                                               {7, &INetAdapterProperty::get_WINSServers}};
    for (const auto& [id, getter] : lists) {
        ComPtr<IAddressList> early;
        ASSERT_EQ((adapter.Get()->*getter)(&early), S_OK);
        ULONG before = RefCount(early.Get());
        {
            CInvokeResult late = Invoke(dispatch.Get(), id, kGet);
            ASSERT_EQ(late.hr, S_OK);
            ASSERT_EQ(V_VT(late.value.Get()), VT_DISPATCH);
            ComPtr<IAddressList> viaLate;
            ASSERT_EQ(V_DISPATCH(late.value.Get())->QueryInterface(IID_PPV_ARGS(&viaLate)), S_OK);
            EXPECT_EQ(viaLate.Get(), early.Get()) << id;
            viaLate.Reset();
            EXPECT_EQ(RefCount(early.Get()), before + 1) << id;
        }
        EXPECT_EQ(RefCount(early.Get()), before) << id;
    }

    // A null string stays null, as VT_BSTR.
    CInvokeResult name = Invoke(dispatch.Get(), 11, kGet);
    EXPECT_EQ(name.hr, S_OK);
    EXPECT_EQ(V_VT(name.value.Get()), VT_BSTR);
    EXPECT_EQ(V_BSTR(name.value.Get()), nullptr);

    // Booleans are stored as the member keeps them, not normalised.
    CArgs odd;
    odd.Bool(static_cast<VARIANT_BOOL>(1));
    EXPECT_EQ(Invoke(dispatch.Get(), 10, kPut, odd).hr, S_OK);
    CInvokeResult flag = Invoke(dispatch.Get(), 10, kGet);
    EXPECT_EQ(V_VT(flag.value.Get()), VT_BOOL);
    EXPECT_EQ(V_BOOL(flag.value.Get()), 1);
}

TEST(InvokeResults, MembersWithoutResultLeaveItEmptyAndAResultIsOptional) {
    ComPtr<IAddressList> list = ListOf({L"a", L"b", L"c"});
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(list.As(&dispatch), S_OK);
    CArgs text;
    text.Bstr(L"d");
    CInvokeResult add = Invoke(dispatch.Get(), 3, kMethod, text);
    EXPECT_EQ(add.hr, S_OK);
    EXPECT_EQ(V_VT(add.value.Get()), VT_EMPTY);
    EXPECT_EQ(CountOf(list.Get()), 4);

    CArgs none;
    EXPECT_EQ(dispatch->Invoke(1, IID_NULL, 0, kGet, none.Params(), nullptr, nullptr, nullptr), S_OK);
    CArgs index;
    index.I4(0);
    EXPECT_EQ(dispatch->Invoke(4, IID_NULL, 0, kMethod, index.Params(), nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(dispatch->Invoke(6, IID_NULL, 0, kMethod, none.Params(), nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(CountOf(list.Get()), 0);
}

TEST(InvokeResults, AFailingMemberReturnsItsHresultAndNoResult) {
    ComPtr<IAddressList> list = ListOf({L"a"});
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(list.As(&dispatch), S_OK);
    CArgs outOfRange;
    outOfRange.I4(5);
    const HRESULT early = list->RemoveAt(5);
    ASSERT_TRUE(FAILED(early));
    CInvokeResult late = Invoke(dispatch.Get(), 7, kMethod, outOfRange);
    EXPECT_EQ(late.hr, early);
    EXPECT_EQ(V_VT(late.value.Get()), VT_EMPTY);
    EXPECT_EQ(late.argErr, kArgErrUnset);
}

} // namespace
