// Invoke's arguments: conversion written back into the caller's array,
// arguments by reference, named arguments by interface, the argument order
// of two-parameter members, and profile arguments.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "com/ComObject.h"
#include "com/DispatchImpl.h"
#include "Varquel_h.h"
#include "tests/dispatch/DispatchTestSupport.h"

namespace {

using namespace DispatchTest;
using VarquelTest::Create;
using VarquelTest::Narrow;

constexpr WORD kMethod = DISPATCH_METHOD;
constexpr WORD kGet = DISPATCH_PROPERTYGET;
constexpr WORD kPut = DISPATCH_PROPERTYPUT;

std::vector<std::string> Entries(IAddressList* list) {
    LONG count = 0;
    EXPECT_EQ(list->get_Count(&count), S_OK);
    std::vector<std::string> entries;
    for (LONG i = 0; i < count; ++i) {
        Varquel::CBstr entry;
        EXPECT_EQ(list->GetAt(i, entry.ReleaseAndGetAddressOf()), S_OK);
        entries.push_back(Narrow(entry.Get()));
    }
    return entries;
}

struct CListUnderTest {
    ComPtr<IAddressList> list;
    ComPtr<IDispatch> dispatch;
    explicit CListUnderTest(std::initializer_list<const wchar_t*> entries) {
        list = Create<IAddressList>(CLSID_CAddressList);
        EXPECT_TRUE(list);
        for (const wchar_t* entry : entries) EXPECT_EQ(list->Add(Varquel::CBstr(entry).Get()), S_OK);
        list.As(&dispatch);
    }
};

// ---- Conversion ----

TEST(ArgumentConversion, ANumericStringBecomesALongInTheCallersArray) {
    CListUnderTest t({L"a", L"b", L"c", L"d"});
    CArgs args;
    args.Bstr(L"2");
    CInvokeResult r = Invoke(t.dispatch.Get(), 7, kMethod, args);  // RemoveAt
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_EQ(Entries(t.list.Get()), (std::vector<std::string>{"a", "b", "d"}));
    EXPECT_EQ(V_VT(&args[0]), VT_I4);
    EXPECT_EQ(V_I4(&args[0]), 2);
}

TEST(ArgumentConversion, ATextThatIsNoNumberIsATypeMismatchAndStaysAsItWas) {
    CListUnderTest t({L"a", L"b"});
    CArgs args;
    args.Bstr(L"two");
    CInvokeResult r = Invoke(t.dispatch.Get(), 7, kMethod, args);
    EXPECT_EQ(r.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(r.argErr, 0u);
    EXPECT_EQ(V_VT(&args[0]), VT_BSTR);
    EXPECT_EQ(Text(args[0]), "two");
    EXPECT_EQ(Entries(t.list.Get()).size(), 2u);
}

TEST(ArgumentConversion, OtherValuesConvertByTheVariantRules) {
    CListUnderTest t({L"a", L"b", L"c"});
    // A double rounds to the nearest long (halves to even).
    CArgs real;
    V_VT(&real.Slot()) = VT_R8;
    V_R8(&real[0]) = 1.5;
    CInvokeResult at = Invoke(t.dispatch.Get(), 4, kMethod, real);
    EXPECT_EQ(at.hr, S_OK);
    EXPECT_EQ(Text(*at.value), "c");
    EXPECT_EQ(V_VT(&real[0]), VT_I4);
    EXPECT_EQ(V_I4(&real[0]), 2);

    // An empty argument is 0 as a long.
    CArgs empty;
    empty.Empty();
    EXPECT_EQ(Text(*Invoke(t.dispatch.Get(), 4, kMethod, empty).value), "a");
    EXPECT_EQ(V_VT(&empty[0]), VT_I4);

    // A number becomes its text for a string parameter.
    CArgs number;
    number.I4(42);
    EXPECT_EQ(Invoke(t.dispatch.Get(), 3, kMethod, number).hr, S_OK);  // Add
    EXPECT_EQ(Entries(t.list.Get()).back(), "42");
    EXPECT_EQ(V_VT(&number[0]), VT_BSTR);
    EXPECT_EQ(Text(number[0]), "42");

    // Null has no string value; an object is no long.
    CArgs null;
    null.Null();
    CInvokeResult r = Invoke(t.dispatch.Get(), 3, kMethod, null);
    EXPECT_EQ(r.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(r.argErr, 0u);
    CArgs object;
    object.Dispatch(t.dispatch.Get());
    EXPECT_EQ(Invoke(t.dispatch.Get(), 7, kMethod, object).hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Entries(t.list.Get()).size(), 4u);
}

TEST(ArgumentConversion, AnArgumentOfTheRightTypeIsUsedAsItIs) {
    CListUnderTest t({});
    CArgs nullString;
    nullString.Bstr(nullptr);
    EXPECT_EQ(Invoke(t.dispatch.Get(), 3, kMethod, nullString).hr, S_OK);
    EXPECT_EQ(V_VT(&nullString[0]), VT_BSTR);
    EXPECT_EQ(V_BSTR(&nullString[0]), nullptr);
    EXPECT_EQ(Entries(t.list.Get()).size(), 1u);
}

// ---- By reference ----

TEST(ArgumentsByReference, OnlyAReferenceToAVariantIsAccepted) {
    CListUnderTest t({L"a", L"b", L"c", L"d"});

    LONG index = 1;
    CArgs longRef;
    longRef.ByRefI4(&index);
    CInvokeResult r = Invoke(t.dispatch.Get(), 7, kMethod, longRef);
    EXPECT_EQ(r.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(r.argErr, 0u);

    VARIANT target;
    V_VT(&target) = VT_I4;
    V_I4(&target) = 1;
    CArgs variantRef;
    variantRef.ByRefVariant(&target);
    EXPECT_EQ(Invoke(t.dispatch.Get(), 7, kMethod, variantRef).hr, S_OK);
    EXPECT_EQ(Entries(t.list.Get()), (std::vector<std::string>{"a", "c", "d"}));

    // The referred variant is converted in place; the reference stays.
    Varquel::CVariant text;
    V_VT(text.Get()) = VT_BSTR;
    V_BSTR(text.Get()) = Varquel::CBstr(L"2").Detach();
    CArgs textRef;
    textRef.ByRefVariant(text.Get());
    EXPECT_EQ(Invoke(t.dispatch.Get(), 7, kMethod, textRef).hr, S_OK);
    EXPECT_EQ(Entries(t.list.Get()), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(V_VT(&textRef[0]), VT_BYREF | VT_VARIANT);
    EXPECT_EQ(V_VARIANTREF(&textRef[0]), text.Get());
    EXPECT_EQ(text.Type(), VT_I4);
    EXPECT_EQ(V_I4(text.Get()), 2);

    // A reference to a variant that is itself a reference is refused, as is a null reference.
    VARIANT inner;
    V_VT(&inner) = VT_BYREF | VT_I4;
    V_I4REF(&inner) = &index;
    CArgs nested;
    nested.ByRefVariant(&inner);
    r = Invoke(t.dispatch.Get(), 7, kMethod, nested);
    EXPECT_EQ(r.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(r.argErr, 0u);
    CArgs nullRef;
    nullRef.ByRefVariant(nullptr);
    EXPECT_EQ(Invoke(t.dispatch.Get(), 7, kMethod, nullRef).hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Entries(t.list.Get()).size(), 2u);
}

TEST(ArgumentsByReference, ASetterTakesAReferenceToAVariant) {
    ComPtr<INetAdapterProperty> adapter = Create<INetAdapterProperty>(CLSID_CNetAdapterProperty);
    ASSERT_TRUE(adapter);
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(adapter.As(&dispatch), S_OK);
    VARIANT target;
    V_VT(&target) = VT_I2;
    V_I2(&target) = 3;
    CArgs args;
    args.ByRefVariant(&target);
    EXPECT_EQ(Invoke(dispatch.Get(), 10, kPut, args).hr, S_OK);
    EXPECT_EQ(V_VT(&target), VT_BOOL);
    EXPECT_EQ(V_BOOL(&target), VARIANT_TRUE);
    VARIANT_BOOL dhcp = 0;
    EXPECT_EQ(adapter->get_IsDHCP(&dhcp), S_OK);
    EXPECT_EQ(dhcp, VARIANT_TRUE);

    VARIANT_BOOL flag = VARIANT_FALSE;
    CArgs boolRef;
    V_VT(&boolRef.Slot()) = VT_BYREF | VT_BOOL;
    V_BOOLREF(&boolRef[0]) = &flag;
    CInvokeResult r = Invoke(dispatch.Get(), 10, kPut, boolRef);
    EXPECT_EQ(r.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(r.argErr, 0u);
}

// ---- Named arguments ----

TEST(NamedArguments, MatchedByPositionOnTheAddressAndAdapterLists) {
    CListUnderTest t({L"a", L"b", L"c"});
    CArgs named;
    named.I4(1).Named(0);  // GetAt(nIndex := 1)
    CInvokeResult r = Invoke(t.dispatch.Get(), 4, kMethod, named);
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_EQ(Text(*r.value), "b");

    // The name's DISPID from GetIDsOfNames, as a client gets it.
    std::vector<DISPID> ids;
    ASSERT_EQ(IdsOfNames(t.dispatch.Get(), {L"GetAt", L"nIndex"}, ids), S_OK);
    CArgs byName;
    byName.I4(2).Named(ids[1]);
    EXPECT_EQ(Text(*Invoke(t.dispatch.Get(), ids[0], kMethod, byName).value), "c");

    // DISPID_PROPERTYPUT first: the first argument supplies the last parameter.
    CArgs put;
    put.I4(0).Named(DISPID_PROPERTYPUT);
    EXPECT_EQ(Invoke(t.dispatch.Get(), 7, kMethod, put).hr, S_OK);
    EXPECT_EQ(Entries(t.list.Get()), (std::vector<std::string>{"b", "c"}));

    // A position outside the arguments: DISP_E_PARAMNOTFOUND at that named argument.
    for (DISPID bad : {1, 2, -1, DISPID_UNKNOWN, 100}) {
        CArgs outside;
        outside.I4(0).Named(bad);
        CInvokeResult miss = Invoke(t.dispatch.Get(), 7, kMethod, outside);
        EXPECT_EQ(miss.hr, DISP_E_PARAMNOTFOUND) << bad;
        EXPECT_EQ(miss.argErr, 0u) << bad;
    }
    CArgs second;
    second.I4(0).I4(0).Named(0).Named(5);
    CInvokeResult miss = Invoke(t.dispatch.Get(), 4, kMethod, second);
    EXPECT_EQ(miss.hr, DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(miss.argErr, 1u);
    CArgs putSecond;
    putSecond.I4(0).I4(0).Named(0).Named(DISPID_PROPERTYPUT);
    miss = Invoke(t.dispatch.Get(), 4, kMethod, putSecond);
    EXPECT_EQ(miss.hr, DISP_E_PARAMNOTFOUND) << "DISPID_PROPERTYPUT counts only as the first named argument";
    EXPECT_EQ(miss.argErr, 1u);
    // Named arguments are checked before the member is looked for.
    CArgs unknownMember;
    unknownMember.I4(0).Named(7);
    EXPECT_EQ(Invoke(t.dispatch.Get(), 2, kMethod, unknownMember).hr, DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(Entries(t.list.Get()).size(), 2u);

    ComPtr<IDispatch> adapters = CreateDispatch(InterfaceNamed("INetAdaptersList"));
    ASSERT_TRUE(adapters);
    CArgs adapterIndex;
    adapterIndex.I4(0).Named(0);
    CInvokeResult none = Invoke(adapters.Get(), 2, kMethod, adapterIndex);  // NetAdapterPropertyGetAt on an empty list
    EXPECT_EQ(none.hr, S_OK);
    EXPECT_EQ(V_VT(none.value.Get()), VT_DISPATCH);
    EXPECT_EQ(V_DISPATCH(none.value.Get()), nullptr);
    CArgs adapterBad;
    adapterBad.I4(0).Named(3);
    miss = Invoke(adapters.Get(), 2, kMethod, adapterBad);
    EXPECT_EQ(miss.hr, DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(miss.argErr, 0u);
}

TEST(NamedArguments, IgnoredOnTheOtherSingleArgumentInterfaces) {
    ComPtr<INetAdapterProperty> adapter = Create<INetAdapterProperty>(CLSID_CNetAdapterProperty);
    ASSERT_TRUE(adapter);
    ComPtr<IDispatch> adapterDispatch;
    ASSERT_EQ(adapter.As(&adapterDispatch), S_OK);
    CArgs flag;
    flag.Bool(VARIANT_TRUE).Named(42);
    EXPECT_EQ(Invoke(adapterDispatch.Get(), 10, kPut, flag).hr, S_OK);
    VARIANT_BOOL dhcp = 0;
    EXPECT_EQ(adapter->get_IsDHCP(&dhcp), S_OK);
    EXPECT_EQ(dhcp, VARIANT_TRUE);

    ComPtr<IProxyProperty> proxy = Create<IProxyProperty>(CLSID_CProxyProperty);
    ASSERT_TRUE(proxy);
    ComPtr<IDispatch> proxyDispatch;
    ASSERT_EQ(proxy.As(&proxyDispatch), S_OK);
    CArgs server;
    server.Bstr(L"proxy.example").Named(-7);
    EXPECT_EQ(Invoke(proxyDispatch.Get(), 3, kPut, server).hr, S_OK);
    Varquel::CBstr read;
    EXPECT_EQ(proxy->get_HTTPServer(read.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(Narrow(read.Get()), "proxy.example");

    ComPtr<IPrintersProperty> printers = Create<IPrintersProperty>(CLSID_CPrintersProperty);
    ASSERT_TRUE(printers);
    ComPtr<IDispatch> printersDispatch;
    ASSERT_EQ(printers.As(&printersDispatch), S_OK);
    CArgs number;
    number.I4(4).Named(DISPID_PROPERTYPUT);
    EXPECT_EQ(Invoke(printersDispatch.Get(), 2, kPut, number).hr, S_OK);
    LONG value = 0;
    EXPECT_EQ(printers->get_PrinterNumber(&value), S_OK);
    EXPECT_EQ(value, 4);

    // On a member without parameters only the count of arguments matters.
    ComPtr<IDispatch> profile = CreateDispatch(InterfaceNamed("INetProfile"));
    ASSERT_TRUE(profile);
    CArgs one;
    one.I4(0).Named(0);
    EXPECT_EQ(Invoke(profile.Get(), 5, kMethod, one).hr, DISP_E_BADPARAMCOUNT);
}

TEST(NamedArguments, RefusedOnTheShareAndProfileListsExceptOnePropertyPut) {
    ComPtr<INetShareList> shares = Create<INetShareList>(CLSID_CNetShareList);
    ASSERT_TRUE(shares);
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(shares.As(&dispatch), S_OK);

    CArgs named;
    named.I4(0).Named(0);
    EXPECT_EQ(Invoke(dispatch.Get(), 3, kMethod, named).hr, DISP_E_NONAMEDARGS);
    CArgs unknownMember;
    unknownMember.I4(0).Named(0);
    EXPECT_EQ(Invoke(dispatch.Get(), 99, kMethod, unknownMember).hr, DISP_E_NONAMEDARGS);
    CArgs twoNamed;
    twoNamed.Bstr(L"p").Bstr(L"n").Named(DISPID_PROPERTYPUT).Named(0);
    EXPECT_EQ(Invoke(dispatch.Get(), 9, kMethod, twoNamed).hr, DISP_E_NONAMEDARGS);

    CArgs put;  // Add(Name, Path) with Path marked as the put value
    put.Bstr(L"C:\\Shared").Bstr(L"docs").Named(DISPID_PROPERTYPUT);
    EXPECT_EQ(Invoke(dispatch.Get(), 9, kMethod, put).hr, S_OK);
    LONG count = 0;
    EXPECT_EQ(shares->get_Count(&count), S_OK);
    EXPECT_EQ(count, 1);

    ComPtr<IDispatch> profiles = CreateDispatch(InterfaceNamed("INetProfilesList"));
    ASSERT_TRUE(profiles);
    CArgs index;
    index.I4(0).Named(0);
    EXPECT_EQ(Invoke(profiles.Get(), 2, kMethod, index).hr, DISP_E_NONAMEDARGS);  // NetProfileGetAt
}

// ---- Argument order ----

TEST(ArgumentOrder, ShareListAddTakesTheNameFromTheLastArrayElement) {
    ComPtr<INetShareList> shares = Create<INetShareList>(CLSID_CNetShareList);
    ASSERT_TRUE(shares);
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(shares.As(&dispatch), S_OK);
    CArgs args;
    args.Bstr(L"C:\\Public").I4(7);  // index 1 is Name, index 0 is Path
    EXPECT_EQ(Invoke(dispatch.Get(), 9, kMethod, args).hr, S_OK);
    Varquel::CBstr name, path;
    EXPECT_EQ(shares->NameGetAt(0, name.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(shares->PathGetAt(0, path.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(Narrow(name.Get()), "7");
    EXPECT_EQ(Narrow(path.Get()), "C:\\Public");
    EXPECT_EQ(V_VT(&args[1]), VT_BSTR);

    // Both arguments bad: the Name (array index 1) is reported.
    CArgs bad;
    bad.Null().Null();
    CInvokeResult r = Invoke(dispatch.Get(), 9, kMethod, bad);
    EXPECT_EQ(r.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(r.argErr, 1u);
    CArgs badPath;
    badPath.Null().Bstr(L"x");
    r = Invoke(dispatch.Get(), 9, kMethod, badPath);
    EXPECT_EQ(r.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(r.argErr, 0u);
    LONG count = 0;
    EXPECT_EQ(shares->get_Count(&count), S_OK);
    EXPECT_EQ(count, 1);

    CArgs zero;
    zero.I4(0);
    EXPECT_EQ(Text(*Invoke(dispatch.Get(), 6, kMethod, zero).value), "7");  // NameGetAt
}

// A profile list that records what reaches its members through the real
// dispatch table and engine.
class CRecordingProfilesList final : public Varquel::CComObjectRoot,
                                     public Varquel::CDispatchImpl<INetProfilesList> {
public:
    VARQUEL_IUNKNOWN

    struct Call {
        std::string member;
        LONG index = -1;
        INetProfile* profile = nullptr;
        ULONG profileRefs = 0;
    };
    std::vector<Call> calls;
    HRESULT nextResult = S_OK;
    ComPtr<INetProfile> handOut;

    STDMETHODIMP get_Count(LONG* pVal) override {
        calls.push_back({"Count"});
        *pVal = 3;
        return nextResult;
    }
    STDMETHODIMP NetProfileGetAt(LONG nIndex, INetProfile** ppNetProfile) override {
        calls.push_back({"NetProfileGetAt", nIndex});
        ComPtr<INetProfile> copy = handOut;
        *ppNetProfile = copy.Detach();  // even on failure, which the caller must then release
        return nextResult;
    }
    STDMETHODIMP Add(INetProfile* pNetProfile) override {
        calls.push_back({"Add", -1, pNetProfile, pNetProfile ? RefCount(pNetProfile) : 0});
        return nextResult;
    }
    STDMETHODIMP Load() override {
        calls.push_back({"Load"});
        return nextResult;
    }
    STDMETHODIMP Save() override {
        calls.push_back({"Save"});
        return nextResult;
    }
    STDMETHODIMP NetProfileRemoveAt(LONG nIndex) override {
        calls.push_back({"NetProfileRemoveAt", nIndex});
        return nextResult;
    }
    STDMETHODIMP NetProfileSetAt(LONG nIndex, INetProfile* pVal) override {
        calls.push_back({"NetProfileSetAt", nIndex, pVal, pVal ? RefCount(pVal) : 0});
        return nextResult;
    }

protected:
    std::span<const Varquel::InterfaceEntry> Interfaces() const noexcept override {
        static const Varquel::InterfaceEntry entries[] = {
            {&IID_INetProfilesList, &Varquel::CastTo<CRecordingProfilesList, INetProfilesList>},
            {&IID_IDispatch, &Varquel::CastTo<CRecordingProfilesList, IDispatch, INetProfilesList>},
        };
        return entries;
    }
};

struct CRecorder {
    ComPtr<INetProfilesList> itf;
    CRecordingProfilesList* impl = nullptr;
    ComPtr<IDispatch> dispatch;
    CRecorder() {
        EXPECT_EQ(Varquel::CreateComObject<CRecordingProfilesList>(nullptr, IID_INetProfilesList,
                                                                   reinterpret_cast<void**>(itf.GetAddressOf())),
                  S_OK);
        impl = static_cast<CRecordingProfilesList*>(itf.Get());
        itf.As(&dispatch);
    }
};

ComPtr<INetProfile> NewProfile() {
    ComPtr<INetProfile> profile = Create<INetProfile>(CLSID_CNetProfile);
    EXPECT_TRUE(profile);
    return profile;
}

TEST(ProfileArguments, SetAtTakesTheIndexFromIndexOneAndTheProfileFromIndexZero) {
    CRecorder list;
    ComPtr<INetProfile> profile = NewProfile();
    CArgs args;
    args.Dispatch(profile.Get()).Bstr(L"3");
    EXPECT_EQ(Invoke(list.dispatch.Get(), 7, kMethod, args).hr, S_OK);
    ASSERT_EQ(list.impl->calls.size(), 1u);
    EXPECT_EQ(list.impl->calls[0].member, "NetProfileSetAt");
    EXPECT_EQ(list.impl->calls[0].index, 3);
    EXPECT_EQ(list.impl->calls[0].profile, profile.Get());
    EXPECT_EQ(V_VT(&args[1]), VT_I4);

    // The single DISPID_PROPERTYPUT allowed on this list marks the profile.
    CArgs put;
    put.Dispatch(profile.Get()).I4(1).Named(DISPID_PROPERTYPUT);
    EXPECT_EQ(Invoke(list.dispatch.Get(), 7, kMethod, put).hr, S_OK);
    ASSERT_EQ(list.impl->calls.size(), 2u);
    EXPECT_EQ(list.impl->calls[1].index, 1);
    EXPECT_EQ(list.impl->calls[1].profile, profile.Get());
}

TEST(ProfileArguments, SetAtConvertsItsIndexBeforeItsProfile) {
    CRecorder list;
    CArgs bothBad;
    bothBad.Empty().Bstr(L"first");
    CInvokeResult r = Invoke(list.dispatch.Get(), 7, kMethod, bothBad);
    EXPECT_EQ(r.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(r.argErr, 1u);

    CArgs badProfile;
    badProfile.Empty().I4(0);
    r = Invoke(list.dispatch.Get(), 7, kMethod, badProfile);
    EXPECT_EQ(r.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(r.argErr, 0u);
    EXPECT_TRUE(list.impl->calls.empty());
}

TEST(ProfileArguments, AnEmptyNullOrForeignArgumentIsRefused) {
    CRecorder list;
    ComPtr<IDispatch> notAProfile = CreateDispatch(InterfaceNamed("IAddressList"));
    ASSERT_TRUE(notAProfile);
    ULONG refsBefore = RefCount(notAProfile.Get());

    {
        CArgs empty, null, nullObject, foreign, number, nullUnknown;
        empty.Empty();
        null.Null();
        nullObject.Dispatch(nullptr);
        foreign.Dispatch(notAProfile.Get());
        number.I4(1);
        nullUnknown.Unknown(nullptr);
        for (CArgs* args : {&empty, &null, &nullObject, &foreign, &number, &nullUnknown}) {
            CInvokeResult r = Invoke(list.dispatch.Get(), 3, kMethod, *args);  // Add
            EXPECT_EQ(r.hr, DISP_E_TYPEMISMATCH) << "vt " << V_VT(&(*args)[0]);
            EXPECT_EQ(r.argErr, 0u);
        }
        EXPECT_TRUE(list.impl->calls.empty());
    }
    EXPECT_EQ(RefCount(notAProfile.Get()), refsBefore) << "the failed query leaves no reference behind";

    // The real list refuses them the same way.
    ComPtr<IDispatch> real = CreateDispatch(InterfaceNamed("INetProfilesList"));
    ASSERT_TRUE(real);
    CArgs realForeign;
    realForeign.Dispatch(notAProfile.Get());
    CInvokeResult r = Invoke(real.Get(), 3, kMethod, realForeign);
    EXPECT_EQ(r.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(r.argErr, 0u);
}

// The dispatch layer holds the queried interface for the length of the call
// (it may be a tear-off the argument does not keep alive) and gives the
// reference back afterwards; the member takes none of its own.
TEST(ProfileArguments, TheMemberGetsTheProfileInterfaceWithoutAReferenceOfItsOwn) {
    CRecorder list;
    ComPtr<INetProfile> profile = NewProfile();
    ComPtr<IDispatch> asDispatch;
    ASSERT_EQ(profile.As(&asDispatch), S_OK);
    CArgs args;
    args.Dispatch(asDispatch.Get());
    const ULONG refsWithArgument = RefCount(profile.Get());
    EXPECT_EQ(Invoke(list.dispatch.Get(), 3, kMethod, args).hr, S_OK);
    ASSERT_EQ(list.impl->calls.size(), 1u);
    EXPECT_EQ(list.impl->calls[0].profile, profile.Get());
    EXPECT_EQ(list.impl->calls[0].profileRefs, refsWithArgument + 1);
    EXPECT_EQ(RefCount(profile.Get()), refsWithArgument);

    // VT_UNKNOWN is converted to VT_DISPATCH in the caller's array, then queried.
    CArgs unknown;
    unknown.Unknown(profile.Get());
    EXPECT_EQ(Invoke(list.dispatch.Get(), 3, kMethod, unknown).hr, S_OK);
    EXPECT_EQ(V_VT(&unknown[0]), VT_DISPATCH);
    ASSERT_EQ(list.impl->calls.size(), 2u);
    EXPECT_EQ(list.impl->calls[1].profile, profile.Get());

    // By reference to a variant holding the profile.
    Varquel::CVariant held;
    V_VT(held.Get()) = VT_DISPATCH;
    V_DISPATCH(held.Get()) = ComPtr<IDispatch>(asDispatch).Detach();
    CArgs byRef;
    byRef.ByRefVariant(held.Get());
    EXPECT_EQ(Invoke(list.dispatch.Get(), 3, kMethod, byRef).hr, S_OK);
    ASSERT_EQ(list.impl->calls.size(), 3u);
    EXPECT_EQ(list.impl->calls[2].profile, profile.Get());

    // By reference to the interface pointer itself: refused.
    IDispatch* raw = asDispatch.Get();
    CArgs pointerRef;
    V_VT(&pointerRef.Slot()) = VT_BYREF | VT_DISPATCH;
    V_DISPATCHREF(&pointerRef[0]) = &raw;
    EXPECT_EQ(Invoke(list.dispatch.Get(), 3, kMethod, pointerRef).hr, DISP_E_TYPEMISMATCH);
}

TEST(ProfileArguments, AResultIsStoredOnlyWhenTheMemberSucceeds) {
    CRecorder list;
    ComPtr<INetProfile> profile = NewProfile();
    list.impl->handOut = profile;
    const ULONG refs = RefCount(profile.Get());

    CArgs index;
    index.I4(0);
    list.impl->nextResult = E_ACCESSDENIED;
    CInvokeResult failed = Invoke(list.dispatch.Get(), 2, kMethod, index);
    EXPECT_EQ(failed.hr, E_ACCESSDENIED);
    EXPECT_EQ(V_VT(failed.value.Get()), VT_EMPTY);
    EXPECT_EQ(RefCount(profile.Get()), refs) << "what a failing member handed out is released";

    list.impl->nextResult = S_FALSE;
    {
        CInvokeResult odd = Invoke(list.dispatch.Get(), 2, kMethod, index);
        EXPECT_EQ(odd.hr, S_FALSE);
        EXPECT_EQ(V_VT(odd.value.Get()), VT_DISPATCH);
        ComPtr<IDispatch> expected;
        ASSERT_EQ(profile.As(&expected), S_OK);
        EXPECT_EQ(V_DISPATCH(odd.value.Get()), expected.Get());
        expected.Reset();
        EXPECT_EQ(RefCount(profile.Get()), refs + 1);
    }
    EXPECT_EQ(RefCount(profile.Get()), refs);

    list.impl->nextResult = S_OK;
    EXPECT_EQ(list.dispatch->Invoke(2, IID_NULL, 0, kMethod, index.Params(), nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(RefCount(profile.Get()), refs) << "a result nobody asked for is released";

    // Other HRESULTs pass through unchanged.
    for (HRESULT hr : {S_FALSE, E_OUTOFMEMORY, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), E_NOTIMPL}) {
        list.impl->nextResult = hr;
        EXPECT_EQ(Invoke(list.dispatch.Get(), 4, kMethod).hr, hr);
        CInvokeResult count = Invoke(list.dispatch.Get(), 1, kGet);
        EXPECT_EQ(count.hr, hr);
        EXPECT_EQ(V_VT(count.value.Get()), SUCCEEDED(hr) ? VT_I4 : VT_EMPTY);
    }
}

TEST(ProfileArguments, TheRealProfileListAddsAndReplacesWhatInvokeHandsIt) {
    ComPtr<INetProfilesList> list = Create<INetProfilesList>(CLSID_CNetProfilesList);
    ASSERT_TRUE(list);
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(list.As(&dispatch), S_OK);
    ComPtr<INetProfile> first = NewProfile(), second = NewProfile(), third = NewProfile();

    CArgs byDispatch, byUnknown;
    byDispatch.Dispatch(ComPtr<IDispatch>(first.Get()).Get());
    byUnknown.Unknown(second.Get());
    EXPECT_EQ(Invoke(dispatch.Get(), 3, kMethod, byDispatch).hr, S_OK);
    EXPECT_EQ(Invoke(dispatch.Get(), 3, kMethod, byUnknown).hr, S_OK);
    CInvokeResult count = Invoke(dispatch.Get(), 1, kGet);
    EXPECT_EQ(V_VT(count.value.Get()), VT_I4);
    EXPECT_EQ(V_I4(count.value.Get()), 2);

    CArgs setAt;
    setAt.Dispatch(ComPtr<IDispatch>(third.Get()).Get()).I4(0);
    EXPECT_EQ(Invoke(dispatch.Get(), 7, kMethod, setAt).hr, S_OK);

    auto profileAt = [&](LONG index) {
        CArgs at;
        at.I4(index);
        CInvokeResult r = Invoke(dispatch.Get(), 2, kMethod, at);
        EXPECT_EQ(r.hr, S_OK);
        EXPECT_EQ(V_VT(r.value.Get()), VT_DISPATCH);
        ComPtr<INetProfile> profile;
        if (V_VT(r.value.Get()) == VT_DISPATCH && V_DISPATCH(r.value.Get()))
            V_DISPATCH(r.value.Get())->QueryInterface(IID_PPV_ARGS(&profile));
        return profile;
    };
    EXPECT_EQ(profileAt(0).Get(), third.Get());
    EXPECT_EQ(profileAt(1).Get(), second.Get());
}

TEST(ProfileArguments, TheProfilesOwnMembersThroughInvoke) {
    ComPtr<INetProfile> profile = NewProfile();
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(profile.As(&dispatch), S_OK);
    CArgs name;
    name.Bstr(L"Office").Named(DISPID_PROPERTYPUT);
    EXPECT_EQ(Invoke(dispatch.Get(), 7, kPut, name).hr, S_OK);
    EXPECT_EQ(Text(*Invoke(dispatch.Get(), 7, kGet).value), "Office");
    EXPECT_EQ(Text(*Invoke(dispatch.Get(), 7, kMethod).value), "Office");

    // The parts: VT_DISPATCH of the part's own interface; the proxy and share
    // slots of a profile stay empty, a null VT_DISPATCH.
    const std::pair<DISPID, const IID*> parts[] = {{1, &IID_INetAdaptersList}, {2, &IID_IPrintersProperty}};
    for (const auto& [id, iid] : parts) {
        CInvokeResult part = Invoke(dispatch.Get(), id, kGet);
        ASSERT_EQ(part.hr, S_OK) << id;
        ASSERT_EQ(V_VT(part.value.Get()), VT_DISPATCH) << id;
        ASSERT_NE(V_DISPATCH(part.value.Get()), nullptr) << id;
        ComPtr<IUnknown> itf;
        EXPECT_EQ(V_DISPATCH(part.value.Get())->QueryInterface(*iid, reinterpret_cast<void**>(itf.GetAddressOf())), S_OK)
            << id;
    }
    for (DISPID id : {3, 4}) {
        CInvokeResult slot = Invoke(dispatch.Get(), id, kGet);
        EXPECT_EQ(slot.hr, S_OK) << id;
        EXPECT_EQ(V_VT(slot.value.Get()), VT_DISPATCH) << id;
        EXPECT_EQ(V_DISPATCH(slot.value.Get()), nullptr) << id;
    }

    CInvokeResult duplicate = Invoke(dispatch.Get(), 8, kMethod);
    ASSERT_EQ(duplicate.hr, S_OK);
    ASSERT_EQ(V_VT(duplicate.value.Get()), VT_DISPATCH);
    ComPtr<INetProfile> copy;
    ASSERT_EQ(V_DISPATCH(duplicate.value.Get())->QueryInterface(IID_PPV_ARGS(&copy)), S_OK);
    EXPECT_NE(copy.Get(), profile.Get());
    Varquel::CBstr copyName;
    EXPECT_EQ(copy->get_Name(copyName.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(Narrow(copyName.Get()), "Office");
}

} // namespace
