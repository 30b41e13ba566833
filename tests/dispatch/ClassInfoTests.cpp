// IProvideClassInfo(2): the coclass description from the registered type
// library, or the module's own where none is registered, cached per class for
// the life of the module. Registers and
// unregisters the type library, so it runs alone with HKCR.
#include <gtest/gtest.h>
#include "com/Module.h"
#include "Varquel_h.h"
#include "tests/dispatch/DispatchTestSupport.h"

namespace {

using namespace DispatchTest;

struct ClassCase {
    const char* name;
    const CLSID* clsid;
    const IID* iid;
    const IID* source;  // null: no event interface
};
const ClassCase kClasses[] = {
    {"CAddressList", &CLSID_CAddressList, &IID_IAddressList, nullptr},
    {"CNetAdapterProperty", &CLSID_CNetAdapterProperty, &IID_INetAdapterProperty, nullptr},
    {"CNetAdaptersList", &CLSID_CNetAdaptersList, &IID_INetAdaptersList, nullptr},
    {"CPrintersProperty", &CLSID_CPrintersProperty, &IID_IPrintersProperty, nullptr},
    {"CProxyProperty", &CLSID_CProxyProperty, &IID_IProxyProperty, nullptr},
    {"CNetShareList", &CLSID_CNetShareList, &IID_INetShareList, nullptr},
    {"CNetProfile", &CLSID_CNetProfile, &IID_INetProfile, &DIID__INetProfileEvents},
    {"CNetProfilesList", &CLSID_CNetProfilesList, &IID_INetProfilesList, &DIID__INetProfilesListEvents},
    {"CProfileSwitch", &CLSID_CProfileSwitch, &IID_IProfileSwitch2, nullptr},
    {"CUserProxy", &CLSID_CUserProxy, &IID_IUserProxy, nullptr},
};

ComPtr<IProvideClassInfo> ClassInfoOf(const ClassCase& c) {
    ComPtr<IUnknown> object;
    EXPECT_EQ(CoCreateInstance(*c.clsid, nullptr, CLSCTX_ALL, *c.iid, reinterpret_cast<void**>(object.GetAddressOf())),
              S_OK);
    ComPtr<IProvideClassInfo> info;
    if (object) {
        EXPECT_EQ(object.As(&info), S_OK) << c.name;
    }
    return info;
}

// The registration is recorded under the library's own locale.
void UnregisterLibrary() {
    UnRegisterTypeLib(LIBID_Varquel, 1, 0, 0x409, SYS_WIN64);
    UnRegisterTypeLib(LIBID_Varquel, 1, 0, 0, SYS_WIN64);
}

HRESULT RegisterLibraryOfThisProgram() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(path, REGKIND_NONE, &library);
    if (FAILED(hr)) return hr;
    return RegisterTypeLib(library.Get(), path, nullptr);
}

// The implementation type flagged with `flags` (default, or default source).
GUID ImplementedType(ITypeInfo* coclass, int flags) {
    TYPEATTR* attr = nullptr;
    coclass->GetTypeAttr(&attr);
    GUID found = GUID_NULL;
    for (UINT i = 0; i < attr->cImplTypes; ++i) {
        INT implFlags = 0;
        coclass->GetImplTypeFlags(i, &implFlags);
        if ((implFlags & (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE)) != flags) continue;
        HREFTYPE ref = 0;
        coclass->GetRefTypeOfImplType(i, &ref);
        ComPtr<ITypeInfo> implemented;
        if (SUCCEEDED(coclass->GetRefTypeInfo(ref, &implemented))) {
            TYPEATTR* implAttr = nullptr;
            implemented->GetTypeAttr(&implAttr);
            found = implAttr->guid;
            implemented->ReleaseTypeAttr(implAttr);
        }
    }
    coclass->ReleaseTypeAttr(attr);
    return found;
}

// Checks that `info` describes the class of `c`: its coclass, default
// interface and default source interface.
void ExpectDescribes(const ClassCase& c, ITypeInfo* info) {
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS) << c.name;
    EXPECT_TRUE(IsEqualGUID(attr->guid, *c.clsid)) << c.name;
    info->ReleaseTypeAttr(attr);
    EXPECT_TRUE(IsEqualGUID(ImplementedType(info, IMPLTYPEFLAG_FDEFAULT), *c.iid)) << c.name;
    const GUID source = ImplementedType(info, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE);
    EXPECT_TRUE(IsEqualGUID(source, c.source ? *c.source : GUID_NULL)) << c.name;
}

// Shutdown releases the cache: the next lookup starts afresh.
void RestartModule() {
    Varquel::Module::Shutdown();
    Varquel::Module::Initialize();
}

// One sequence, because the cache lives as long as the module: without a
// registration the description comes from the module's own library; a
// registered library comes first, a failure to load it included; once
// described, a class keeps its description after the library is gone, until
// the module shuts down.
TEST(ClassInfo, ComesFromTheRegisteredLibraryOrElseTheModulesOwnAndIsKeptUntilShutdown) {
    UnregisterLibrary();
    RestartModule();
    for (const ClassCase& c : kClasses) {
        ComPtr<IProvideClassInfo> provider = ClassInfoOf(c);
        ASSERT_TRUE(provider) << c.name;
        ComPtr<ITypeInfo> info;
        ASSERT_EQ(provider->GetClassInfo(&info), S_OK) << c.name << ": from the module's own library";
        ExpectDescribes(c, info.Get());
        EXPECT_EQ(provider->GetClassInfo(nullptr), E_POINTER);
    }

    // Registered at a file that cannot be loaded: that failure, not the module's library.
    RestartModule();
    {
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        ComPtr<ITypeLib> library;
        ASSERT_EQ(LoadTypeLibEx(path, REGKIND_NONE, &library), S_OK);
        wchar_t missing[] = L"C:\\nowhere\\Varquel.tlb";
        ASSERT_EQ(RegisterTypeLib(library.Get(), missing, nullptr), S_OK);
    }
    for (const ClassCase& c : kClasses) {
        ITypeInfo* info = reinterpret_cast<ITypeInfo*>(1);
        HRESULT hr = ClassInfoOf(c)->GetClassInfo(&info);
        EXPECT_TRUE(FAILED(hr)) << c.name;
        EXPECT_NE(hr, TYPE_E_LIBNOTREGISTERED) << c.name;
        EXPECT_EQ(info, nullptr);
    }
    UnregisterLibrary();

    RestartModule();
    ASSERT_EQ(RegisterLibraryOfThisProgram(), S_OK);
    for (const ClassCase& c : kClasses) {
        ComPtr<IProvideClassInfo> provider = ClassInfoOf(c);
        ASSERT_TRUE(provider);
        ComPtr<ITypeInfo> info;
        ASSERT_EQ(provider->GetClassInfo(&info), S_OK) << c.name;
        ExpectDescribes(c, info.Get());

        // The same description for a second object of the class.
        ComPtr<ITypeInfo> again;
        ASSERT_EQ(ClassInfoOf(c)->GetClassInfo(&again), S_OK);
        EXPECT_EQ(again.Get(), info.Get()) << c.name;
    }

    UnregisterLibrary();
    for (const ClassCase& c : kClasses) {
        ComPtr<ITypeInfo> info;
        EXPECT_EQ(ClassInfoOf(c)->GetClassInfo(&info), S_OK) << c.name << ": cached for the life of the module";
    }
    RestartModule();
}

// A switch's report and its changes cannot be created, but describe their
// class like every object of the server.
TEST(ClassInfo, TheClassesThatOnlyASwitchMakesDescribeThemselves) {
    ASSERT_EQ(RegisterLibraryOfThisProgram(), S_OK);
    ComPtr<IProfileSwitch> profileSwitch;
    ComPtr<INetProfile> profile;
    ASSERT_EQ(CoCreateInstance(CLSID_CProfileSwitch, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&profileSwitch)), S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_CNetProfile, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&profile)), S_OK);
    ComPtr<IApplyReport> report;
    ASSERT_EQ(profileSwitch->Preview(profile.Get(), &report), S_OK);
    ComPtr<IApplyChange> change;
    ASSERT_EQ(report->Item(0, &change), S_OK) << "a preview has at least the default printer's row";
    ASSERT_TRUE(change);
    const std::pair<IUnknown*, const CLSID*> objects[] = {{report.Get(), &CLSID_CApplyReport},
                                                          {change.Get(), &CLSID_CApplyChange}};
    for (const auto& [object, clsid] : objects) {
        ComPtr<IProvideClassInfo> provider;
        ASSERT_EQ(object->QueryInterface(IID_PPV_ARGS(&provider)), S_OK);
        ComPtr<ITypeInfo> info;
        ASSERT_EQ(provider->GetClassInfo(&info), S_OK);
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
        EXPECT_TRUE(IsEqualGUID(attr->guid, *clsid));
        EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FCANCREATE ? false : true) << "noncreatable in the library";
        info->ReleaseTypeAttr(attr);
    }
    // Not registered as classes.
    ComPtr<IUnknown> made;
    EXPECT_EQ(CoCreateInstance(CLSID_CApplyReport, nullptr, CLSCTX_ALL, IID_IUnknown,
                               reinterpret_cast<void**>(made.GetAddressOf())),
              REGDB_E_CLASSNOTREG);
    UnregisterLibrary();
}

TEST(ClassInfo, OnlyTheEventSourcesProvideClassInfo2) {
    for (const ClassCase& c : kClasses) {
        ComPtr<IProvideClassInfo> provider = ClassInfoOf(c);
        ASSERT_TRUE(provider);
        ComPtr<IProvideClassInfo2> second;
        HRESULT hr = provider.As(&second);
        if (!c.source) {
            EXPECT_EQ(hr, E_NOINTERFACE) << c.name;
            continue;
        }
        ASSERT_EQ(hr, S_OK) << c.name;
        GUID guid = GUID_NULL;
        EXPECT_EQ(second->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &guid), S_OK);
        EXPECT_TRUE(IsEqualGUID(guid, *c.source)) << c.name;
        guid = IID_IUnknown;
        EXPECT_EQ(second->GetGUID(0, &guid), E_FAIL);
        EXPECT_TRUE(IsEqualGUID(guid, GUID_NULL));
        EXPECT_EQ(second->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, nullptr), E_POINTER);
    }
}

} // namespace
