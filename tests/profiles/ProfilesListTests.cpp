// CNetProfilesList through COM: its entries, Load and Save against Wine's
// registry, the Saves it refuses, and stores left behind by failures and crashes.
#include "tests/profiles/StoreFixture.h"
#include <cstdlib>
#include <functional>
#include <new>
#include "com/Boundary.h"
#include "com/Bstr.h"
#include "profiles/NetProfile.h"
#include "profiles/ProfileStore.h"
#include "profiles/RegistrySeam.h"
#include "profiles/StoreLayout.h"

// The registry wrapper allocates with nothrow new; a test can make the n-th
// next allocation fail and so fail any registry step it likes.
namespace {
int g_allocationsBeforeFailure = -1;
bool g_failureHappened = false;
}  // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (g_allocationsBeforeFailure == 0) {
        g_allocationsBeforeFailure = -1;
        g_failureHappened = true;
        return nullptr;
    }
    if (g_allocationsBeforeFailure > 0) --g_allocationsBeforeFailure;
    return std::malloc(size ? size : 1);
}

void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }

namespace ProfilesTest {
namespace {

using Varquel::CBstr;
using Varquel::CProfileStore;
using AddressKind = Varquel::CNetAdapterProperty::AddressKind;

// An INetProfile of some other origin: the list must not take it.
class CForeignProfile final : public INetProfile {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IDispatch && riid != IID_INetProfile) return E_NOINTERFACE;
        *ppv = static_cast<INetProfile*>(this);
        return S_OK;
    }
    // Lives on the test's stack.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP get_NetAdaptersList(INetAdaptersList**) override { return E_NOTIMPL; }
    STDMETHODIMP get_PrintersProperty(IPrintersProperty**) override { return E_NOTIMPL; }
    STDMETHODIMP get_ProxyProperty(IProxyProperty**) override { return E_NOTIMPL; }
    STDMETHODIMP get_NetShareList(INetShareList**) override { return E_NOTIMPL; }
    STDMETHODIMP GetCurrent() override { return E_NOTIMPL; }
    STDMETHODIMP Apply() override { return E_NOTIMPL; }
    STDMETHODIMP get_Name(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP put_Name(BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP GetDuplicate(INetProfile**) override { return E_NOTIMPL; }
};

ComPtr<INetProfilesList> ListOf(const std::vector<const wchar_t*>& names) {
    ComPtr<INetProfilesList> list = NewList();
    for (const wchar_t* name : names) EXPECT_EQ(list->Add(NewProfile(name).Get()), S_OK);
    return list;
}

// A profile with something in every part of the layout.
ComPtr<INetProfile> RichProfile(const wchar_t* name, const wchar_t* adapterPrefix) {
    const ComPtr<INetProfile> profile = NewProfile(name);
    for (int i = 1; i <= 2; ++i) {
        const std::wstring adapterName = std::wstring(adapterPrefix) + std::to_wstring(i);
        const ComPtr<INetAdapterProperty> adapter =
            AddAdapter(profile.Get(), adapterName.c_str(), L"Connection", i == 2 ? VARIANT_TRUE : VARIANT_FALSE);
        AddEntry(adapter.Get(), AddressKind::IPAddresses, L"10.0.0.5");
        AddEntry(adapter.Get(), AddressKind::SubnetMasks, L"255.255.255.0");
        AddEntry(adapter.Get(), AddressKind::DNSAddresses, L"10.0.0.2");
    }
    SetDefaultPrinter(profile.Get(), L"Printer");
    return profile;
}

std::vector<std::string> Narrowed(const std::vector<std::wstring>& names) {
    std::vector<std::string> narrow;
    for (const std::wstring& name : names) narrow.push_back(VarquelTest::Narrow(name));
    return narrow;
}

// ---- The list's entries ----

TEST(ProfilesList, StartsEmptyAndAnswersNullOutsideItsEntries) {
    const ComPtr<INetProfilesList> list = NewList();
    EXPECT_EQ(Count(list.Get()), 0);
    const ComPtr<INetProfile> profile = NewProfile(L"A");
    ASSERT_EQ(list->Add(profile.Get()), S_OK);
    for (const long index : {-1L, 1L, 1000L}) {
        ComPtr<INetProfile> outside;
        EXPECT_EQ(list->NetProfileGetAt(index, &outside), S_OK);
        EXPECT_FALSE(outside);
    }
    EXPECT_EQ(list->NetProfileGetAt(0, nullptr), E_POINTER);
    EXPECT_EQ(list->get_Count(nullptr), E_POINTER);
}

TEST(ProfilesList, TakesOnlyThisServersProfiles) {
    const ComPtr<INetProfilesList> list = ListOf({L"A"});
    CForeignProfile foreign;
    EXPECT_EQ(list->Add(nullptr), E_INVALIDARG);
    EXPECT_EQ(list->Add(&foreign), E_INVALIDARG);
    EXPECT_EQ(list->NetProfileSetAt(0, nullptr), E_INVALIDARG);
    EXPECT_EQ(list->NetProfileSetAt(0, &foreign), E_INVALIDARG);
    EXPECT_EQ(Names(list.Get()), std::vector<std::wstring>{L"A"});
}

TEST(ProfilesList, GetAtHandsOutTheEntryItself) {
    const ComPtr<INetProfilesList> list = ListOf({L"A"});
    const CBstr name(L"Renamed");
    ASSERT_EQ(At(list.Get(), 0)->put_Name(name.Get()), S_OK);
    EXPECT_EQ(Names(list.Get()), std::vector<std::wstring>{L"Renamed"});
}

TEST(ProfilesList, RemoveAtReleasesTheEntryAndKeepsTheOrder) {
    const LONG beforeOne = VarquelTest::ModuleLockCount();
    ComPtr<INetProfile> a = NewProfile(L"A");
    const LONG perProfile = VarquelTest::ModuleLockCount() - beforeOne;
    const ComPtr<INetProfilesList> list = NewList();
    ASSERT_EQ(list->Add(a.Get()), S_OK);
    ASSERT_EQ(list->Add(NewProfile(L"B").Get()), S_OK);
    ASSERT_EQ(list->Add(NewProfile(L"C").Get()), S_OK);
    a.Reset();

    const LONG before = VarquelTest::ModuleLockCount();
    ASSERT_EQ(list->NetProfileRemoveAt(0), S_OK);
    EXPECT_EQ(Names(list.Get()), (std::vector<std::wstring>{L"B", L"C"}));
    EXPECT_EQ(VarquelTest::ModuleLockCount(), before - perProfile);  // A is gone

    for (const long index : {-1L, 2L}) EXPECT_EQ(list->NetProfileRemoveAt(index), E_INVALIDARG);
    EXPECT_EQ(Names(list.Get()), (std::vector<std::wstring>{L"B", L"C"}));
}

TEST(ProfilesList, SetAtReplacesTheEntryAndReleasesTheOldOne) {
    const LONG beforeOne = VarquelTest::ModuleLockCount();
    ComPtr<INetProfile> x = NewProfile(L"X");
    const LONG perProfile = VarquelTest::ModuleLockCount() - beforeOne;
    const ComPtr<INetProfilesList> list = ListOf({L"A", L"B", L"C"});

    const LONG before = VarquelTest::ModuleLockCount();
    ASSERT_EQ(list->NetProfileSetAt(1, x.Get()), S_OK);
    EXPECT_EQ(Names(list.Get()), (std::vector<std::wstring>{L"A", L"X", L"C"}));
    EXPECT_EQ(VarquelTest::ModuleLockCount(), before - perProfile);  // B is gone

    // The same profile again changes nothing, and the list keeps X alive.
    ASSERT_EQ(list->NetProfileSetAt(1, x.Get()), S_OK);
    x.Reset();
    EXPECT_EQ(VarquelTest::ModuleLockCount(), before - perProfile);
    EXPECT_EQ(Names(list.Get()), (std::vector<std::wstring>{L"A", L"X", L"C"}));

    const ComPtr<INetProfile> y = NewProfile(L"Y");
    for (const long index : {-1L, 3L}) EXPECT_EQ(list->NetProfileSetAt(index, y.Get()), E_INVALIDARG);
    EXPECT_EQ(Names(list.Get()), (std::vector<std::wstring>{L"A", L"X", L"C"}));
}

// ---- Load and Save ----

class ProfilesListStore : public StoreTest {};

// The lines the server writes for a debug viewer, caught as OutputDebugString
// raises them.
class CDebugLines {
public:
    CDebugLines() : m_handler(AddVectoredExceptionHandler(1, &Catch)) { s_lines = &m_lines; }
    ~CDebugLines() {
        RemoveVectoredExceptionHandler(m_handler);
        s_lines = nullptr;
    }
    const std::vector<std::string>& Lines() const { return m_lines; }

private:
    static LONG CALLBACK Catch(EXCEPTION_POINTERS* info) {
        const EXCEPTION_RECORD* record = info->ExceptionRecord;
        if (record->ExceptionCode == DBG_PRINTEXCEPTION_C && record->NumberParameters >= 2 && s_lines)
            s_lines->emplace_back(reinterpret_cast<const char*>(record->ExceptionInformation[1]));
        return EXCEPTION_CONTINUE_SEARCH;
    }
    static inline std::vector<std::string>* s_lines = nullptr;
    std::vector<std::string> m_lines;
    void* m_handler;
};

TEST_F(ProfilesListStore, AbsorbedFailuresLeaveOneLineForADebugViewer) {
    CDebugLines debug;
    // The boundary: a refused Save.
    EXPECT_EQ(ListOf({L"a\\b"})->Save(), E_INVALIDARG);
    ASSERT_EQ(debug.Lines().size(), 1u);
    EXPECT_EQ(debug.Lines()[0], "Varquel: Varquel::CNetProfilesList::Save: failed 0x80070057\n");

    // Tolerated: a stored adapter without "IsDHCP" ends the reading of the
    // adapters, and the line names the registry operation that failed.
    StoredAdapter damaged;
    damaged.name = "A1";
    damaged.isDhcp.reset();
    WriteStoredProfile(kStore, {"Damaged", true, {damaged}, true, "Printer 1"});
    ASSERT_EQ(NewList()->Load(), S_OK);
    ASSERT_EQ(debug.Lines().size(), 2u);
    EXPECT_EQ(debug.Lines()[1].rfind("Varquel: Varquel::CStoreLayout::LoadFromRegistry: went on after 0x80070002 (", 0),
              0u)
        << debug.Lines()[1];
}

TEST_F(ProfilesListStore, LoadOnAMachineWithoutAStoreCreatesAnEmptyOne) {
    const ComPtr<INetProfilesList> list = ListOf({L"Unsaved"});
    ASSERT_EQ(list->Load(), S_OK);
    EXPECT_EQ(Names(list.Get()), std::vector<std::wstring>{L"Unsaved"});
    EXPECT_EQ(Dump(kStore), "");
    EXPECT_EQ(Subkeys(kQuoran), std::vector<std::string>{"Profiles"});
}

TEST_F(ProfilesListStore, TheFirstSaveOnAMachineWithoutAStoreWorks) {
    ASSERT_EQ(ListOf({L"Home", L"Office"})->Save(), S_OK);
    EXPECT_EQ(Subkeys(kStore), (std::vector<std::string>{"Home", "Office"}));
    EXPECT_EQ(Subkeys(kQuoran), std::vector<std::string>{"Profiles"});
}

TEST_F(ProfilesListStore, SavingAnEmptyListLeavesAnEmptyStore) {
    ASSERT_EQ(ListOf({L"Home"})->Save(), S_OK);
    ASSERT_EQ(NewList()->Save(), S_OK);
    EXPECT_EQ(Dump(kStore), "");
}

TEST_F(ProfilesListStore, LoadAppendsInTheRegistrysOrderBehindTheEntriesThere) {
    ASSERT_EQ(ListOf({L"b", L"C", L"a"})->Save(), S_OK);
    const ComPtr<INetProfilesList> list = ListOf({L"X", L"Y"});
    ASSERT_EQ(list->Load(), S_OK);
    EXPECT_EQ(Names(list.Get()), (std::vector<std::wstring>{L"X", L"Y", L"a", L"b", L"C"}));

    ASSERT_EQ(list->Load(), S_OK);
    EXPECT_EQ(Names(list.Get()), (std::vector<std::wstring>{L"X", L"Y", L"a", L"b", L"C", L"a", L"b", L"C"}));
}

TEST_F(ProfilesListStore, SaveLeavesExactlyTheListsProfiles) {
    ASSERT_EQ(ListOf({L"A", L"B", L"C"})->Save(), S_OK);
    const ComPtr<INetProfilesList> list = NewList();
    ASSERT_EQ(list->Load(), S_OK);
    ASSERT_EQ(list->NetProfileRemoveAt(1), S_OK);
    ASSERT_EQ(list->Add(NewProfile(L"D").Get()), S_OK);
    ASSERT_EQ(list->Save(), S_OK);
    EXPECT_EQ(Subkeys(kStore), (std::vector<std::string>{"A", "C", "D"}));
    EXPECT_EQ(Subkeys(kQuoran), std::vector<std::string>{"Profiles"});
}

TEST_F(ProfilesListStore, ALongestNameAndEqualAdapterNamesInTwoProfilesAreStored) {
    const std::wstring longest(255, L'n');
    const ComPtr<INetProfile> first = NewProfile(longest.c_str());
    AddAdapter(first.Get(), L"NIC", L"LAN", VARIANT_FALSE);
    const ComPtr<INetProfile> second = NewProfile(L"Other");
    AddAdapter(second.Get(), L"NIC", L"LAN", VARIANT_FALSE);
    const ComPtr<INetProfilesList> list = NewList();
    ASSERT_EQ(list->Add(first.Get()), S_OK);
    ASSERT_EQ(list->Add(second.Get()), S_OK);
    ASSERT_EQ(list->Save(), S_OK);
    EXPECT_EQ(Subkeys(kStore), (std::vector<std::string>{std::string(255, 'n'), "Other"}));
}

// ---- Saves refused before the store is touched ----

struct RefusedCase {
    const char* what;
    std::function<void(INetProfilesList*)> spoil;
};

void AddWithAdapters(INetProfilesList* list, const wchar_t* name, const std::vector<const wchar_t*>& adapters) {
    const ComPtr<INetProfile> profile = NewProfile(name);
    for (const wchar_t* adapter : adapters) AddAdapter(profile.Get(), adapter, L"LAN", VARIANT_FALSE);
    EXPECT_EQ(list->Add(profile.Get()), S_OK);
}

const std::wstring kTooLong(256, L'n');

std::vector<RefusedCase> RefusedCases() {
    return {
        {"empty profile name", [](INetProfilesList* l) { AddWithAdapters(l, L"", {}); }},
        {"null profile name",
         [](INetProfilesList* l) {
             const ComPtr<INetProfile> p = NewProfile(nullptr);
             EXPECT_EQ(p->put_Name(nullptr), S_OK);
             EXPECT_EQ(l->Add(p.Get()), S_OK);
         }},
        {"backslash in a profile name", [](INetProfilesList* l) { AddWithAdapters(l, L"Home\\Office", {}); }},
        {"profile name too long", [](INetProfilesList* l) { AddWithAdapters(l, kTooLong.c_str(), {}); }},
        {"profile names equal but for case",
         [](INetProfilesList* l) {
             AddWithAdapters(l, L"Travel", {L"NIC"});
             AddWithAdapters(l, L"TRAVEL", {L"WLAN"});
         }},
        {"profile names equal with an existing one but for case",
         [](INetProfilesList* l) { AddWithAdapters(l, L"kept", {}); }},
        {"adapter names equal", [](INetProfilesList* l) { AddWithAdapters(l, L"New", {L"NIC", L"WLAN", L"NIC"}); }},
        {"adapter names equal but for case", [](INetProfilesList* l) { AddWithAdapters(l, L"New", {L"Nic", L"NIC"}); }},
        {"null adapter name", [](INetProfilesList* l) { AddWithAdapters(l, L"New", {nullptr}); }},
        {"empty adapter name", [](INetProfilesList* l) { AddWithAdapters(l, L"New", {L""}); }},
        {"backslash in an adapter name", [](INetProfilesList* l) { AddWithAdapters(l, L"New", {L"PCI\\NIC"}); }},
        {"adapter name too long", [](INetProfilesList* l) { AddWithAdapters(l, L"New", {kTooLong.c_str()}); }},
    };
}

TEST_F(ProfilesListStore, RefusedSavesLeaveTheStoreByteForByte) {
    ASSERT_EQ(ListOf({})->Save(), S_OK);
    {
        const ComPtr<INetProfilesList> list = NewList();
        ASSERT_EQ(list->Add(RichProfile(L"Kept", L"Adapter ").Get()), S_OK);
        ASSERT_EQ(list->Save(), S_OK);
    }
    const std::string before = Dump(kStore);

    for (const RefusedCase& refused : RefusedCases()) {
        SCOPED_TRACE(refused.what);
        const ComPtr<INetProfilesList> list = NewList();
        ASSERT_EQ(list->Load(), S_OK);
        AddWithAdapters(list.Get(), L"Fine", {L"NIC"});
        refused.spoil(list.Get());
        EXPECT_EQ(list->Save(), E_INVALIDARG);
        EXPECT_EQ(Dump(kStore), before);
        EXPECT_EQ(Subkeys(kQuoran), std::vector<std::string>{"Profiles"});
    }
}

TEST_F(ProfilesListStore, NamesThatTheCodePageMakesEqualAreRefused) {
    CPINFO info{};
    ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
    if (info.MaxCharSize != 1) GTEST_SKIP() << "needs a single-byte code page";
    // Both become "Site ?".
    const ComPtr<INetProfilesList> list = ListOf({L"Site \u4e2d", L"Site \u65e5"});
    EXPECT_EQ(list->Save(), E_INVALIDARG);
}

TEST_F(ProfilesListStore, ARefusedSaveOnAMachineWithoutAStoreCreatesNothing) {
    EXPECT_EQ(ListOf({L"Same", L"same"})->Save(), E_INVALIDARG);
    EXPECT_FALSE(KeyExists(kProduct));
}

// ---- Registry failures part-way ----

TEST_F(ProfilesListStore, ARegistryFailureAnywhereInSaveKeepsThePreviousStore) {
    const ComPtr<INetProfilesList> previous = NewList();
    ASSERT_EQ(previous->Add(RichProfile(L"Old A", L"Old NIC ").Get()), S_OK);
    ASSERT_EQ(previous->Add(NewProfile(L"Old B").Get()), S_OK);
    ASSERT_EQ(previous->Save(), S_OK);
    const std::string before = Dump(kStore);

    const ComPtr<INetProfilesList> next = NewList();
    ASSERT_EQ(next->Add(RichProfile(L"New A", L"NIC ").Get()), S_OK);
    ASSERT_EQ(next->Add(RichProfile(L"New C", L"NIC ").Get()), S_OK);

    int failures = 0;
    for (int allocations = 0;; ++allocations) {
        SCOPED_TRACE(allocations);
        g_failureHappened = false;
        g_allocationsBeforeFailure = allocations;
        const HRESULT hr = next->Save();
        g_allocationsBeforeFailure = -1;
        const bool failed = g_failureHappened;

        EXPECT_EQ(Subkeys(kQuoran), std::vector<std::string>{"Profiles"});
        if (FAILED(hr)) {
            ++failures;
            EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_MEMORY));
            EXPECT_EQ(Dump(kStore), before);
        } else {
            // A failure in a step the writer tolerates (an entry, the printer)
            // still stores every profile.
            EXPECT_EQ(Subkeys(kStore), (std::vector<std::string>{"New A", "New C"}));
            ASSERT_EQ(previous->Save(), S_OK);
            ASSERT_EQ(Dump(kStore), before);
        }
        if (!failed) break;
    }
    EXPECT_GT(failures, 10);
}

TEST_F(ProfilesListStore, LoadUnderRegistryFailuresReportsThemAndNeverInventsProfiles) {
    ASSERT_EQ(ListOf({L"A", L"B"})->Save(), S_OK);
    for (int allocations = 0;; ++allocations) {
        SCOPED_TRACE(allocations);
        const ComPtr<INetProfilesList> list = NewList();
        g_failureHappened = false;
        g_allocationsBeforeFailure = allocations;
        const HRESULT hr = list->Load();
        g_allocationsBeforeFailure = -1;
        if (FAILED(hr)) {
            EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_MEMORY));
        }
        EXPECT_LE(Count(list.Get()), 2);
        if (!g_failureHappened) {
            EXPECT_EQ(hr, S_OK);
            EXPECT_EQ(Names(list.Get()), (std::vector<std::wstring>{L"A", L"B"}));
            break;
        }
    }
}

// ---- Stores left behind by a crash during a Save ----

struct Leftover {
    const char* what;
    std::vector<std::pair<std::string, std::vector<std::string>>> keys;  // key, profiles in it
    std::vector<std::string> expected;                                   // what Load must show
};

std::vector<Leftover> Leftovers() {
    return {
        {"draft beside the store", {{kStore, {"A"}}, {kDraft, {"B"}}}, {"A"}},
        {"between the two renames", {{kPrevious, {"A"}}, {kDraft, {"B"}}}, {"A"}},
        {"after the swap, before the clean-up", {{kStore, {"B"}}, {kPrevious, {"A"}}}, {"B"}},
        {"copy under way", {{kRestoreMarker, {}}, {kStore, {"B"}}, {kPrevious, {"A"}}, {kDraft, {"B"}}}, {"A"}},
        {"copy under way, no store before", {{kRestoreMarker, {}}, {kStore, {"B"}}, {kDraft, {"B"}}}, {}},
        {"restore under way", {{kRestoreMarker, {}}, {kPrevious, {"A"}}}, {"A"}},
        {"only a draft", {{kDraft, {"B"}}}, {}},
    };
}

void Write(const Leftover& leftover) {
    DeleteTree(kProduct);
    for (const auto& [key, profiles] : leftover.keys) {
        CreateKey(key);
        for (const std::string& profile : profiles) WriteStoredProfile(key, {profile, true, {}, true, "P"});
    }
}

TEST_F(ProfilesListStore, LoadRecoversACrashedSaveAndShowsOnlyACompleteStore) {
    for (const Leftover& leftover : Leftovers()) {
        SCOPED_TRACE(leftover.what);
        Write(leftover);
        const ComPtr<INetProfilesList> list = NewList();
        ASSERT_EQ(list->Load(), S_OK);
        EXPECT_EQ(Narrowed(Names(list.Get())), leftover.expected);
        EXPECT_EQ(Subkeys(kQuoran), std::vector<std::string>{"Profiles"});
        EXPECT_EQ(Subkeys(kStore), leftover.expected);
    }
}

TEST_F(ProfilesListStore, SaveAfterACrashedSaveStoresExactlyTheList) {
    for (const Leftover& leftover : Leftovers()) {
        SCOPED_TRACE(leftover.what);
        Write(leftover);
        ASSERT_EQ(ListOf({L"C"})->Save(), S_OK);
        EXPECT_EQ(Subkeys(kQuoran), std::vector<std::string>{"Profiles"});
        EXPECT_EQ(Subkeys(kStore), std::vector<std::string>{"C"});
    }
}

// ---- Both ways of swapping a finished store in ----

class ProfileStoreSwap : public StoreTest, public testing::WithParamInterface<CProfileStore::SwapMethod> {
protected:
    // Replace through the store itself, so that both methods run under Wine.
    HRESULT Replace(INetProfilesList* list, bool failAtTheEnd = false) {
        return Varquel::ComBoundary([&] {
            return Varquel::ThroughRegistry([&] {
                const CProfileStore store(GetParam());
                store.Replace([&](const Wexmoor::CRegistryKey& profilesKey) {
                    for (long i = 0, count = Count(list); i < count; ++i)
                        Varquel::CStoreLayout::SaveToRegistry(*Varquel::ImplOf<Varquel::CNetProfile>(At(list, i).Get()).Get(),
                                                              profilesKey);
                    if (failAtTheEnd) throw Wexmoor::CRegistryKey::Exception("test", ERROR_WRITE_FAULT);
                });
                return S_OK;
            });
        });
    }
    std::vector<std::string> Open() {
        std::vector<std::string> names;
        const HRESULT hr = Varquel::ComBoundary([&] {
            return Varquel::ThroughRegistry([&] {
                const Wexmoor::CRegistryKey profiles = CProfileStore(GetParam()).OpenProfiles();
                for (auto it = profiles.begin(); it != profiles.end(); ++it) names.emplace_back(*it);
                return S_OK;
            });
        });
        EXPECT_EQ(hr, S_OK);
        return names;
    }
};

TEST_P(ProfileStoreSwap, ReplacesTheStoreOrKeepsItWhole) {
    const ComPtr<INetProfilesList> first = NewList();
    ASSERT_EQ(first->Add(RichProfile(L"First", L"NIC ").Get()), S_OK);
    ASSERT_EQ(Replace(first.Get()), S_OK);  // no store before
    const std::string stored = Dump(kStore);
    EXPECT_EQ(Subkeys(kStore), std::vector<std::string>{"First"});

    const ComPtr<INetProfilesList> second = ListOf({L"Second", L"Third"});
    EXPECT_EQ(Replace(second.Get(), true), HRESULT_FROM_WIN32(ERROR_WRITE_FAULT));
    EXPECT_EQ(Dump(kStore), stored);
    EXPECT_EQ(Subkeys(kQuoran), std::vector<std::string>{"Profiles"});

    ASSERT_EQ(Replace(second.Get()), S_OK);
    EXPECT_EQ(Subkeys(kStore), (std::vector<std::string>{"Second", "Third"}));
    EXPECT_EQ(Subkeys(kQuoran), std::vector<std::string>{"Profiles"});
}

TEST_P(ProfileStoreSwap, RecoversEveryLeftoverOfACrash) {
    for (const Leftover& leftover : Leftovers()) {
        SCOPED_TRACE(leftover.what);
        Write(leftover);
        EXPECT_EQ(Open(), leftover.expected);
        EXPECT_EQ(Subkeys(kQuoran), std::vector<std::string>{"Profiles"});
    }
}

TEST_P(ProfileStoreSwap, KeepsThePreviousStoreThroughFailuresAnywhere) {
    const ComPtr<INetProfilesList> previous = ListOf({L"Old"});
    ASSERT_EQ(Replace(previous.Get()), S_OK);
    const std::string before = Dump(kStore);
    const ComPtr<INetProfilesList> next = NewList();
    ASSERT_EQ(next->Add(RichProfile(L"New", L"NIC ").Get()), S_OK);

    for (int allocations = 0;; ++allocations) {
        SCOPED_TRACE(allocations);
        g_failureHappened = false;
        g_allocationsBeforeFailure = allocations;
        const HRESULT hr = Replace(next.Get());
        g_allocationsBeforeFailure = -1;
        EXPECT_EQ(Subkeys(kQuoran), std::vector<std::string>{"Profiles"});
        if (FAILED(hr)) {
            EXPECT_EQ(Dump(kStore), before);
        } else {
            EXPECT_EQ(Subkeys(kStore), std::vector<std::string>{"New"});
            ASSERT_EQ(Replace(previous.Get()), S_OK);
        }
        if (!g_failureHappened) break;
    }
}

INSTANTIATE_TEST_SUITE_P(Methods, ProfileStoreSwap,
                         testing::Values(CProfileStore::SwapMethod::Rename, CProfileStore::SwapMethod::Copy),
                         [](const testing::TestParamInfo<CProfileStore::SwapMethod>& info) {
                             return info.param == CProfileStore::SwapMethod::Rename ? "Rename" : "Copy";
                         });

} // namespace
} // namespace ProfilesTest
