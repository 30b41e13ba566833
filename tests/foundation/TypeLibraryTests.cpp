// The type library embedded in Varquel.dll, read back member by member.
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <utility>
#include <vector>
#include "Varquel_h.h"
#include "tests/support/TestSupport.h"

namespace {

using VarquelTest::ComPtr;
using VarquelTest::Narrow;

ComPtr<ITypeLib> LoadServerTypeLib() {
    ComPtr<ITypeLib> library;
    EXPECT_EQ(LoadTypeLibEx(VARQUEL_DLL_PATH, REGKIND_NONE, &library), S_OK);
    return library;
}

std::string Doc(ITypeInfo* info, MEMBERID id, bool help) {
    Varquel::CBstr name, doc;
    info->GetDocumentation(id, name.ReleaseAndGetAddressOf(), doc.ReleaseAndGetAddressOf(), nullptr, nullptr);
    BSTR text = help ? doc.Get() : name.Get();
    return text ? Narrow(text) : std::string();
}

// "kind Name(dispid) [param, ...] help" for each function, in table order.
std::vector<std::string> Members(ITypeInfo* info) {
    TYPEATTR* attr = nullptr;
    info->GetTypeAttr(&attr);
    std::vector<std::string> out;
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        FUNCDESC* func = nullptr;
        info->GetFuncDesc(i, &func);
        BSTR names[8] = {};
        UINT count = 0;
        info->GetNames(func->memid, names, 8, &count);
        std::string kind = func->invkind == INVOKE_PROPERTYGET   ? "get"
                           : func->invkind == INVOKE_PROPERTYPUT ? "put"
                                                                 : "method";
        std::string line = kind + " " + Narrow(names[0]) + "(" + std::to_string(func->memid) + ") [";
        if (func->invkind != INVOKE_PROPERTYPUT) {
            for (UINT n = 1; n < count; ++n) line += (n > 1 ? ", " : "") + Narrow(names[n]);
        }
        line += "]";
        std::string help = Doc(info, func->memid, true);
        if (!help.empty()) line += " " + help;
        for (UINT n = 0; n < count; ++n) Varquel::CBstr().Reset(names[n]);
        info->ReleaseFuncDesc(func);
        out.push_back(line);
    }
    info->ReleaseTypeAttr(attr);
    return out;
}

const std::map<std::string, std::vector<std::string>> kInterfaces = {
    {"IAddressList",
     {"get Count(1) [pVal]", "method Add(3) [Value]", "method GetAt(4) [nIndex, pValue]", "method RemoveAll(6) []",
      "method RemoveAt(7) [nIndex]"}},
    {"INetAdapterProperty",
     {"method GetCurrent(1) []", "method Apply(2) []", "get IPAddresses(3) [pVal]", "get SubnetMasks(4) [pVal]",
      "get GateWayAddresses(5) [pVal]", "get DNSAddresses(6) [pVal]", "get WINSServers(7) [pVal]",
      "get IsDHCP(10) [pVal]", "put IsDHCP(10) []", "get Name(11) [pVal]", "get NetConnectionID(12) [pVal]"}},
    {"INetAdaptersList",
     {"get Count(1) [pVal]", "method NetAdapterPropertyGetAt(2) [nIndex, Param]", "method Apply(3) []",
      "method GetCurrent(4) []", "method DetectAdapters(5) []"}},
    {"IPrintersProperty",
     {"get PrintersCount(1) [pVal]", "get PrinterNumber(2) [pVal]", "put PrinterNumber(2) []", "get Name(3) [pVal]",
      "get Default(4) [pVal]", "put Default(4) []", "method GetCurrent(5) []", "method Apply(6) []",
      "method DetectPrinters(7) []", "method SetDefault(8) [DeviceID]", "method GetDefault(9) [DeviceID]"}},
    {"IProxyProperty",
     {"method GetCurrent(1) []", "method Apply(2) []", "get HTTPServer(3) [pVal]", "put HTTPServer(3) []",
      "get HTTPPort(4) [pVal]", "put HTTPPort(4) []", "get SecureServer(5) [pVal]", "put SecureServer(5) []",
      "get SecurePort(6) [pVal]", "put SecurePort(6) []", "get FTPServer(7) [pVal]", "put FTPServer(7) []",
      "get FTPPort(8) [pVal]", "put FTPPort(8) []", "get GopherServer(9) [pVal]", "put GopherServer(9) []",
      "get GopherPort(10) [pVal]", "put GopherPort(10) []", "get SocksServer(11) [pVal]", "put SocksServer(11) []",
      "get SocksPort(12) [pVal]", "put SocksPort(12) []", "get IsUseOneProxy(13) [pVal]",
      "put IsUseOneProxy(13) []"}},
    {"INetShareList",
     {"method GetCurrent(1) [] method GetCurrent", "method Apply(2) [] method Apply",
      "method RemoveAt(3) [nIndex] method RemoveAt", "method RemoveAll(4) [] method RemoveAll",
      "get Count(5) [pVal] property Count", "method NameGetAt(6) [nIndex, Name] method NameGetAt",
      "method PathGetAt(7) [nIndex, Path] method PathGetAt", "method CloseAll(8) [] method CloseAll",
      "method Add(9) [Name, Path] method Add"}},
    {"INetProfile",
     {"get NetAdaptersList(1) [pVal]", "get PrintersProperty(2) [pVal]", "get ProxyProperty(3) [pVal]",
      "get NetShareList(4) [pVal]", "method GetCurrent(5) []", "method Apply(6) []", "get Name(7) [pVal]",
      "put Name(7) []", "method GetDuplicate(8) [ppVal]"}},
    {"INetProfilesList",
     {"get Count(1) [pVal]", "method NetProfileGetAt(2) [nIndex, ppNetProfile]", "method Add(3) [pNetProfile]",
      "method Load(4) []", "method Save(5) []", "method NetProfileRemoveAt(6) [nIndex]",
      "method NetProfileSetAt(7) [nIndex, pVal]"}},
    // A switch's report and its changes: published, and never to change.
    {"IApplyChange",
     {"get Adapter(1) [pVal]", "get NetConnectionID(2) [pVal]", "get Setting(3) [pVal]", "get Before(4) [pVal]",
      "get Planned(5) [pVal]", "get After(6) [pVal]", "get Status(7) [pVal]", "get WmiMethod(8) [pVal]",
      "get WmiReturnValue(9) [pVal]", "get Message(10) [pVal]"}},
    {"IApplyReport",
     {"get Count(1) [pVal]", "method Item(0) [Index, ppChange]", "get _NewEnum(-4) [ppEnum]",
      "get Succeeded(2) [pVal]", "get RolledBack(3) [pVal]", "get Before(4) [ppProfile]", "get Text(5) [pVal]"}},
    // Its own members only: the rest it inherits from IApplyReport.
    {"IApplyReport2", {"get AccessDenied(6) [pVal]", "get RestartNeeded(7) [pVal]"}},
    {"IProfileSwitch",
     {"method Preview(1) [Profile, ppReport]", "method Apply(2) [Profile, ppReport]",
      "method Rollback(3) [Report, ppReport]", "get RollbackOnFailure(4) [pVal]", "put RollbackOnFailure(4) []",
      "get VerifyTimeout(5) [pVal]", "put VerifyTimeout(5) []"}},
    // Its own members only: the rest it inherits from IProfileSwitch.
    {"IProfileSwitch2",
     {"get IncludeProxy(6) [pVal]", "put IncludeProxy(6) []", "method SetProxy(7) [Profile, Proxy]",
      "method ForgetProxy(8) [Profile]", "method GetProxy(9) [Profile, ppProxy]"}},
    {"IUserProxy",
     {"get AutoDetect(1) [pVal]", "put AutoDetect(1) []", "get AutoConfigEnabled(2) [pVal]",
      "put AutoConfigEnabled(2) []", "get AutoConfigURL(3) [pVal]", "put AutoConfigURL(3) []",
      "get ProxyEnabled(4) [pVal]", "put ProxyEnabled(4) []", "get ProxyServer(5) [pVal]", "put ProxyServer(5) []",
      "get ProxyBypass(6) [pVal]", "put ProxyBypass(6) []", "method GetCurrent(7) []", "method Apply(8) []"}},
};

TEST(TypeLibrary, LibraryAttributes) {
    ComPtr<ITypeLib> library = LoadServerTypeLib();
    ASSERT_TRUE(library);
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, LIBID_Varquel))
        << std::hex << attr->guid.Data1 << " " << attr->guid.Data2;
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    EXPECT_EQ(attr->lcid, 0x409u);
    library->ReleaseTLibAttr(attr);
    Varquel::CBstr name, help;
    library->GetDocumentation(-1, name.ReleaseAndGetAddressOf(), help.ReleaseAndGetAddressOf(), nullptr, nullptr);
    EXPECT_EQ(Narrow(name.Get()), "Varquel");
    EXPECT_EQ(Narrow(help.Get()), "Varquel 1.0 Type Library");
}

TEST(TypeLibrary, EveryInterfaceIsDualWithItsMembersInOrder) {
    ComPtr<ITypeLib> library = LoadServerTypeLib();
    ASSERT_TRUE(library);
    const IID* iids[] = {&IID_IAddressList,     &IID_INetAdapterProperty, &IID_INetAdaptersList,
                         &IID_IPrintersProperty, &IID_IProxyProperty,      &IID_INetShareList,
                         &IID_INetProfile,       &IID_INetProfilesList,    &IID_IUserProxy,
                         &IID_IApplyChange,      &IID_IApplyReport,        &IID_IApplyReport2,
                         &IID_IProfileSwitch,    &IID_IProfileSwitch2};
    for (const IID* iid : iids) {
        ComPtr<ITypeInfo> info;
        ASSERT_EQ(library->GetTypeInfoOfGuid(*iid, &info), S_OK);
        std::string name = Doc(info.Get(), MEMBERID_NIL, false);
        SCOPED_TRACE(name);
        EXPECT_EQ(Doc(info.Get(), MEMBERID_NIL, true), name + " Interface");
        // The dual's dispatch view lists IUnknown and IDispatch first; the
        // interface view holds exactly the interface's own members.
        HREFTYPE ref = 0;
        ComPtr<ITypeInfo> itfView;
        if (SUCCEEDED(info->GetRefTypeOfImplType(-1, &ref))) info->GetRefTypeInfo(ref, &itfView);
        ITypeInfo* members = itfView ? itfView.Get() : info.Get();
        TYPEATTR* attr = nullptr;
        members->GetTypeAttr(&attr);
        EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
        EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL);
        EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FOLEAUTOMATION);
        EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDISPATCHABLE);
        info->ReleaseTypeAttr(attr);
        auto expected = kInterfaces.find(name);
        ASSERT_NE(expected, kInterfaces.end());
        EXPECT_EQ(Members(members), expected->second);
    }
}

TEST(TypeLibrary, EventInterfacesAreMemberlessDispinterfaces) {
    ComPtr<ITypeLib> library = LoadServerTypeLib();
    ASSERT_TRUE(library);
    for (const IID* iid : {&DIID__INetProfileEvents, &DIID__INetProfilesListEvents}) {
        ComPtr<ITypeInfo> info;
        ASSERT_EQ(library->GetTypeInfoOfGuid(*iid, &info), S_OK);
        std::string name = Doc(info.Get(), MEMBERID_NIL, false);
        EXPECT_EQ(Doc(info.Get(), MEMBERID_NIL, true), name + " Interface");
        TYPEATTR* attr = nullptr;
        info->GetTypeAttr(&attr);
        EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
        EXPECT_EQ(attr->cVars, 0);
        // IDispatch's own seven functions at most; none of its own.
        EXPECT_TRUE(attr->cFuncs == 0 || attr->cFuncs == 7) << attr->cFuncs;
        info->ReleaseTypeAttr(attr);
    }
}

// The type a description derives from, as an importing tool reads it: the
// reference of implemented type 0, resolved, named by its documentation.
struct Base {
    std::string name;
    GUID guid = GUID_NULL;
    ComPtr<ITypeInfo> info;
};
Base BaseOf(ITypeInfo* info) {
    Base base;
    HREFTYPE ref = 0;
    if (FAILED(info->GetRefTypeOfImplType(0, &ref)) || FAILED(info->GetRefTypeInfo(ref, &base.info))) return base;
    base.name = Doc(base.info.Get(), MEMBERID_NIL, false);
    TYPEATTR* attr = nullptr;
    if (FAILED(base.info->GetTypeAttr(&attr))) return base;
    base.guid = attr->guid;
    base.info->ReleaseTypeAttr(attr);
    return base;
}

void ExpectDerivesFromIDispatch(ITypeInfo* info, const std::string& what) {
    SCOPED_TRACE(what);
    Base base = BaseOf(info);
    EXPECT_EQ(base.name, "IDispatch");
    EXPECT_TRUE(IsEqualGUID(base.guid, IID_IDispatch));
    ASSERT_TRUE(base.info);
    // And on down to the root, as a tool that lists inherited members walks.
    Base root = BaseOf(base.info.Get());
    EXPECT_EQ(root.name, "IUnknown");
    EXPECT_TRUE(IsEqualGUID(root.guid, IID_IUnknown));
}

TEST(TypeLibrary, EveryInterfaceDispatchViewAndEventInterfaceDerivesFromIDispatch) {
    ComPtr<ITypeLib> library = LoadServerTypeLib();
    ASSERT_TRUE(library);
    int walked = 0;
    for (const IID* iid : {&IID_IAddressList, &IID_INetAdapterProperty, &IID_INetAdaptersList, &IID_IPrintersProperty,
                           &IID_IProxyProperty, &IID_INetShareList, &IID_INetProfile, &IID_INetProfilesList,
                           &IID_IUserProxy}) {
        ComPtr<ITypeInfo> dispatchView;
        ASSERT_EQ(library->GetTypeInfoOfGuid(*iid, &dispatchView), S_OK);
        const std::string name = Doc(dispatchView.Get(), MEMBERID_NIL, false);
        HREFTYPE ref = 0;
        ComPtr<ITypeInfo> interfaceView;
        ASSERT_EQ(dispatchView->GetRefTypeOfImplType(-1, &ref), S_OK) << name;
        ASSERT_EQ(dispatchView->GetRefTypeInfo(ref, &interfaceView), S_OK) << name;
        const std::pair<ITypeInfo*, TYPEKIND> views[] = {{dispatchView.Get(), TKIND_DISPATCH},
                                                         {interfaceView.Get(), TKIND_INTERFACE}};
        for (const auto& [view, kind] : views) {
            TYPEATTR* attr = nullptr;
            view->GetTypeAttr(&attr);
            EXPECT_EQ(attr->typekind, kind) << name;
            view->ReleaseTypeAttr(attr);
            ExpectDerivesFromIDispatch(view, name + (kind == TKIND_DISPATCH ? " (dispatch view)" : " (interface)"));
            ++walked;
        }
    }
    for (const IID* iid : {&DIID__INetProfileEvents, &DIID__INetProfilesListEvents}) {
        ComPtr<ITypeInfo> events;
        ASSERT_EQ(library->GetTypeInfoOfGuid(*iid, &events), S_OK);
        ExpectDerivesFromIDispatch(events.Get(), Doc(events.Get(), MEMBERID_NIL, false));
        ++walked;
    }
    EXPECT_EQ(walked, 20);
}

// A second interface adds its members to the published first one it derives
// from, and its coclass names it as the default, so that a script sees every
// member: the switch's report, and the switch itself.
TEST(TypeLibrary, SecondInterfacesDeriveFromTheFirstAndAreTheirClassesDefault) {
    ComPtr<ITypeLib> library = LoadServerTypeLib();
    ASSERT_TRUE(library);
    struct Second {
        const IID* iid;
        const char* name;
        const IID* base;
        const char* baseName;
        const CLSID* clsid;
        bool creatable;
        std::vector<const wchar_t*> members;  // inherited and own
    };
    const Second seconds[] = {
        {&IID_IApplyReport2, "IApplyReport2", &IID_IApplyReport, "IApplyReport", &CLSID_CApplyReport, false,
         {L"Count", L"Text", L"AccessDenied", L"RestartNeeded"}},
        {&IID_IProfileSwitch2, "IProfileSwitch2", &IID_IProfileSwitch, "IProfileSwitch", &CLSID_CProfileSwitch, true,
         {L"Apply", L"VerifyTimeout", L"IncludeProxy", L"GetProxy"}},
    };
    for (const Second& second : seconds) {
        SCOPED_TRACE(second.name);
        ComPtr<ITypeInfo> dispatchView, interfaceView;
        ASSERT_EQ(library->GetTypeInfoOfGuid(*second.iid, &dispatchView), S_OK);
        HREFTYPE ref = 0;
        ASSERT_EQ(dispatchView->GetRefTypeOfImplType(-1, &ref), S_OK);
        ASSERT_EQ(dispatchView->GetRefTypeInfo(ref, &interfaceView), S_OK);
        Base base = BaseOf(interfaceView.Get());
        EXPECT_EQ(base.name, second.baseName);
        EXPECT_TRUE(IsEqualGUID(base.guid, *second.base));
        EXPECT_EQ(BaseOf(dispatchView.Get()).name, "IDispatch");
        // Late binding through the type information knows the inherited members too.
        for (const wchar_t* name : second.members) {
            MEMBERID id = MEMBERID_NIL;
            LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
            EXPECT_EQ(dispatchView->GetIDsOfNames(names, 1, &id), S_OK) << Narrow(name);
        }

        ComPtr<ITypeInfo> coclass;
        ASSERT_EQ(library->GetTypeInfoOfGuid(*second.clsid, &coclass), S_OK);
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
        const UINT implemented = attr->cImplTypes;
        EXPECT_EQ((attr->wTypeFlags & TYPEFLAG_FCANCREATE) != 0, second.creatable);
        coclass->ReleaseTypeAttr(attr);
        std::vector<std::string> defaults, others;
        for (UINT i = 0; i < implemented; ++i) {
            INT flags = 0;
            coclass->GetImplTypeFlags(i, &flags);
            ComPtr<ITypeInfo> itf;
            ASSERT_EQ(coclass->GetRefTypeOfImplType(i, &ref), S_OK);
            ASSERT_EQ(coclass->GetRefTypeInfo(ref, &itf), S_OK);
            ((flags & IMPLTYPEFLAG_FDEFAULT) ? defaults : others).push_back(Doc(itf.Get(), MEMBERID_NIL, false));
        }
        EXPECT_EQ(defaults, std::vector<std::string>{second.name});
        EXPECT_EQ(others, std::vector<std::string>{second.baseName});
    }
}

// The values of a change's Status (a long) have names in the library.
TEST(TypeLibrary, TheStatusValuesAreNamedByAnEnum) {
    ComPtr<ITypeLib> library = LoadServerTypeLib();
    ASSERT_TRUE(library);
    ComPtr<ITypeInfo> info;
    MEMBERID id = 0;
    USHORT found = 1;
    Varquel::CBstr name(L"VarquelChangeStatus");
    ASSERT_EQ(library->FindName(const_cast<LPOLESTR>(name.Get()), 0, info.GetAddressOf(), &id, &found), S_OK);
    ASSERT_EQ(found, 1);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_ENUM);
    const UINT count = attr->cVars;
    info->ReleaseTypeAttr(attr);
    std::map<std::string, long> values;
    for (UINT i = 0; i < count; ++i) {
        VARDESC* var = nullptr;
        ASSERT_EQ(info->GetVarDesc(i, &var), S_OK);
        VARIANT value;
        VariantInit(&value);
        VariantChangeType(&value, var->lpvarValue, 0, VT_I4);
        values[Doc(info.Get(), var->memid, false)] = V_I4(&value);
        info->ReleaseVarDesc(var);
    }
    EXPECT_EQ(values, (std::map<std::string, long>{{"vqAsPlanned", 0}, {"vqChanged", 1}, {"vqFailed", 2},
                                                   {"vqNotApplied", 3}}));
}

struct CoclassCase {
    const CLSID* clsid;
    const char* help;
    const IID* defaultItf;
    const IID* source;
};

TEST(TypeLibrary, CoclassesWithTheirDefaultAndSourceInterfaces) {
    ComPtr<ITypeLib> library = LoadServerTypeLib();
    ASSERT_TRUE(library);
    const CoclassCase cases[] = {
        {&CLSID_CAddressList, "AddressList Class", &IID_IAddressList, nullptr},
        {&CLSID_CNetAdapterProperty, "NetAdapterProperty Class", &IID_INetAdapterProperty, nullptr},
        {&CLSID_CNetAdaptersList, "NetAdaptersList Class", &IID_INetAdaptersList, nullptr},
        {&CLSID_CPrintersProperty, "PrintersProperty Class", &IID_IPrintersProperty, nullptr},
        {&CLSID_CProxyProperty, "ProxyProperty Class", &IID_IProxyProperty, nullptr},
        {&CLSID_CNetShareList, "NetShareList Class", &IID_INetShareList, nullptr},
        {&CLSID_CNetProfile, "NetProfile Class", &IID_INetProfile, &DIID__INetProfileEvents},
        {&CLSID_CNetProfilesList, "NetProfilesList Class", &IID_INetProfilesList, &DIID__INetProfilesListEvents},
        {&CLSID_CUserProxy, "UserProxy Class", &IID_IUserProxy, nullptr},
    };
    for (const CoclassCase& c : cases) {
        SCOPED_TRACE(c.help);
        ComPtr<ITypeInfo> info;
        ASSERT_EQ(library->GetTypeInfoOfGuid(*c.clsid, &info), S_OK);
        EXPECT_EQ(Doc(info.Get(), MEMBERID_NIL, true), c.help);
        TYPEATTR* attr = nullptr;
        info->GetTypeAttr(&attr);
        EXPECT_EQ(attr->typekind, TKIND_COCLASS);
        EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FCANCREATE);
        UINT implTypes = attr->cImplTypes;
        info->ReleaseTypeAttr(attr);
        EXPECT_EQ(implTypes, c.source ? 2u : 1u);
        for (UINT i = 0; i < implTypes; ++i) {
            INT flags = 0;
            info->GetImplTypeFlags(i, &flags);
            HREFTYPE ref = 0;
            ComPtr<ITypeInfo> itf;
            ASSERT_EQ(info->GetRefTypeOfImplType(i, &ref), S_OK);
            ASSERT_EQ(info->GetRefTypeInfo(ref, &itf), S_OK);
            TYPEATTR* itfAttr = nullptr;
            itf->GetTypeAttr(&itfAttr);
            GUID guid = itfAttr->guid;
            itf->ReleaseTypeAttr(itfAttr);
            EXPECT_TRUE(flags & IMPLTYPEFLAG_FDEFAULT);
            if (flags & IMPLTYPEFLAG_FSOURCE) EXPECT_TRUE(c.source && IsEqualGUID(guid, *c.source));
            else EXPECT_TRUE(IsEqualGUID(guid, *c.defaultItf));
        }
    }
}

} // namespace
