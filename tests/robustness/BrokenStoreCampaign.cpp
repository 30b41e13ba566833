// Broken stores: randomly built and mutated stores under the store root,
// loaded with INetProfilesList::Load and saved again. Load must append what
// the reader's tolerance rules say can be read; Save must either refuse and
// leave the store byte for byte as it was, or write exactly the list.
#include <gtest/gtest.h>
#include <algorithm>
#include <map>
#include <memory>
#include "com/Bstr.h"
#include "simulator/SimulatedMachine.h"
#include "tests/robustness/CampaignSettings.h"
#include "tests/robustness/DispatchOracle.h"
#include "tests/robustness/ProfileSnapshot.h"
#include "tests/robustness/Random.h"
#include "tests/robustness/ReferenceReader.h"
#include "tests/robustness/RegistryTree.h"
#include "tests/robustness/SimulatedMachines.h"
#include "tests/robustness/StoreRootGuard.h"
#include "tests/support/TestSupport.h"
#include "Varquel_h.h"

namespace VarquelRobustness {
namespace {

using Microsoft::WRL::ComPtr;
using Varquel::CBstr;
using Value = CRegistryTree::Value;

struct StoreCounts {
    long stores = 0;
    long mutations = 0;
    long profilesLoaded = 0;
    long loadsFailing = 0;
    std::map<std::string, long> rows;
    long savesWritten = 0;
    long savesRefused = 0;
    long savesFailing = 0;
    long leftovers = 0;
    long interruptedSwaps = 0;
    long failures = 0;
};

std::vector<BYTE> WideBytes(const std::wstring& text, bool withNul) {
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(bytes, bytes + (text.size() + (withNul ? 1 : 0)) * sizeof(wchar_t));
}

std::vector<BYTE> NarrowBytes(const std::string& text, bool withNul) {
    std::vector<BYTE> bytes(text.begin(), text.end());
    if (withNul) bytes.push_back(0);
    return bytes;
}

// Builds a plausible store, then breaks it.
class CStoreBuilder {
public:
    explicit CStoreBuilder(CRandom& random) : m_random(random) {}

    CRegistryTree Build() {
        CRegistryTree root{L"Profiles", {}, {}};
        int profiles = static_cast<int>(m_random.Below(5));
        for (int p = 0; p < profiles; ++p) AddUnique(root, Profile());
        return root;
    }

    // One random fault; returns what it did, for the failure message.
    std::string Mutate(CRegistryTree& root) {
        // Aim at the keys the reader looks at, by their place in the layout.
        std::vector<std::vector<CRegistryTree*>> byDepth;
        Collect(root, 0, byDepth);
        static const unsigned kDepthWeights[] = {0, 0, 1, 1, 1, 1, 1, 2, 3, 3, 3, 3, 3, 3, 4, 4};
        unsigned depth = kDepthWeights[m_random.Below(16)];
        if (m_random.Chance(0.1) || depth >= byDepth.size() || byDepth[depth].empty()) depth = 0;
        const std::vector<CRegistryTree*>& keys = byDepth[depth];
        CRegistryTree& key = *keys[m_random.Below(static_cast<std::uint32_t>(keys.size()))];
        std::string where = " at [" + VarquelTest::Narrow(key.name) + "]";
        switch (m_random.Below(14)) {
        case 0: {  // a key goes missing
            if (key.subkeys.empty()) return "nothing";
            key.subkeys.erase(key.subkeys.begin() + m_random.Below(static_cast<std::uint32_t>(key.subkeys.size())));
            return "deleted a subkey" + where;
        }
        case 1: {  // a value goes missing
            if (key.values.empty()) return "nothing";
            key.values.erase(key.values.begin() + m_random.Below(static_cast<std::uint32_t>(key.values.size())));
            return "deleted a value" + where;
        }
        case 2: {  // an extra value of any type
            Value value = RandomValue(m_random.Chance(0.3) ? KnownValueName() : m_random.KeyName(20));
            if (!key.FindValue(value.name)) key.values.push_back(value);
            return "added a value" + where;
        }
        case 3: {  // an extra key, maybe with values of its own
            CRegistryTree extra{m_random.Chance(0.3) ? KnownKeyName() : m_random.KeyName(30), {}, {}};
            if (m_random.Chance(0.5)) extra.values.push_back(RandomValue(m_random.KeyName(10)));
            AddUnique(key, extra);
            return "added a subkey" + where;
        }
        case 4:
        case 5: {  // a known value with the wrong type or size
            if (key.values.empty()) return "nothing";
            Value& value = key.values[m_random.Below(static_cast<std::uint32_t>(key.values.size()))];
            value = RandomValue(value.name);
            return "retyped a value" + where;
        }
        case 6: {  // a deep tree
            CRegistryTree chain{L"deep", {}, {}};
            CRegistryTree* tip = &chain;
            int depth = static_cast<int>(m_random.Between(8, 40));
            for (int d = 0; d < depth; ++d) {
                tip->subkeys.push_back({L"d" + std::to_wstring(d), {}, {}});
                tip = &tip->subkeys.back();
                if (m_random.Chance(0.1)) tip->values.push_back(RandomValue(L"v"));
            }
            AddUnique(key, chain);
            return "added a tree " + std::to_string(depth) + " deep" + where;
        }
        case 7: {  // a very long name
            if (&key == &root) return "nothing";
            key.name = Unique(root, key, std::wstring(m_random.Between(200, 255), L'n'));
            return "renamed a key to a long name" + where;
        }
        case 8: {  // an odd name: outside the code page, spaces, dots, quotes
            if (&key == &root) return "nothing";
            static const wchar_t* const kOdd[] = {L" lead", L"trail ", L"..", L"it's", L"\x03a9mega",
                                                  L"\x4e2d", L"a?b", L"%PATH%", L"\x00e9t\x00e9", L"*"};
            key.name = Unique(root, key, m_random.Pick(kOdd) + std::wstring(m_random.Chance(0.5) ? L"" : L"x"));
            return "renamed a key to an odd name" + where;
        }
        case 9: {  // a text without its NUL, with embedded NULs, or empty
            Value* value = key.FindValue(L"NetConnectionID");
            if (!value) value = key.FindValue(L"Default");
            if (!value) return "nothing";
            switch (m_random.Below(5)) {
            case 0: *value = {value->name, REG_SZ, NarrowBytes("no-nul", false), true}; break;
            case 1: *value = {value->name, REG_SZ, WideBytes(L"no-nul", false), false}; break;
            case 2: *value = {value->name, REG_SZ, WideBytes(std::wstring(L"ab\0cd", 5), true), false}; break;
            case 3: *value = {value->name, REG_SZ, {}, false}; break;
            default: *value = {value->name, REG_SZ, {'a', 0, 'b'}, false}; break;  // odd length
            }
            return "broke a text" + where;
        }
        case 10: {  // a number of the wrong size
            Value* value = key.FindValue(L"IsDHCP");
            if (!value) return "nothing";
            static const std::size_t kSizes[] = {0, 1, 2, 3, 8};
            std::size_t size = m_random.Pick(kSizes);
            value->type = m_random.Chance(0.8) ? REG_DWORD : REG_DWORD_BIG_ENDIAN;
            value->data.assign(size, 0xFF);
            value->narrow = false;
            return "resized IsDHCP to " + std::to_string(size) + where;
        }
        case 11: {  // values where none belong
            root.values.push_back(RandomValue(m_random.KeyName(8)));
            return "added a value to Profiles";
        }
        case 12: {  // many entries in one list
            if (key.subkeys.empty()) return "nothing";
            CRegistryTree& list = key.subkeys[m_random.Below(static_cast<std::uint32_t>(key.subkeys.size()))];
            for (int i = 0; i < 30; ++i) AddUnique(list, {L"10.2." + std::to_wstring(i) + L".1", {}, {}});
            return "filled a list" + where;
        }
        default: {  // expanded and big-endian forms of the known values
            Value* value = key.FindValue(L"NetConnectionID");
            if (value) {
                *value = {value->name, REG_EXPAND_SZ, WideBytes(L"%USERNAME%", true), false};
                return "made NetConnectionID expandable" + where;
            }
            value = key.FindValue(L"IsDHCP");
            if (!value) return "nothing";
            *value = {value->name, REG_DWORD_BIG_ENDIAN, {0, 0, 0xFF, 0xFF}, false};
            return "made IsDHCP big-endian" + where;
        }
        }
    }

private:
    // Depth 0 "Profiles", 1 profiles, 2 "NetAdapterList" and "Printers",
    // 3 adapters, 4 address lists, 5 entries.
    static void Collect(CRegistryTree& key, std::size_t depth, std::vector<std::vector<CRegistryTree*>>& byDepth) {
        if (byDepth.size() <= depth) byDepth.resize(depth + 1);
        byDepth[depth].push_back(&key);
        for (CRegistryTree& subkey : key.subkeys) Collect(subkey, depth + 1, byDepth);
    }

    // A name no sibling has (the registry ignores case).
    std::wstring Unique(CRegistryTree& root, CRegistryTree& key, std::wstring name) {
        CRegistryTree* parent = Parent(root, key);
        for (int attempt = 0; parent && attempt < 20; ++attempt) {
            bool taken = false;
            for (const CRegistryTree& sibling : parent->subkeys)
                if (&sibling != &key && SameKeyName(sibling.name, name)) taken = true;
            if (!taken) return name;
            name = name.substr(0, 250) + std::to_wstring(m_random.Below(10000));
        }
        return key.name;
    }

    static CRegistryTree* Parent(CRegistryTree& node, const CRegistryTree& child) {
        for (CRegistryTree& subkey : node.subkeys) {
            if (&subkey == &child) return &node;
            if (CRegistryTree* found = Parent(subkey, child)) return found;
        }
        return nullptr;
    }

    static void AddUnique(CRegistryTree& parent, CRegistryTree child) {
        if (!parent.FindSubkey(child.name)) parent.subkeys.push_back(std::move(child));
    }

    std::wstring KnownValueName() {
        static const wchar_t* const kNames[] = {L"IsDHCP", L"NetConnectionID", L"Default"};
        return m_random.Pick(kNames);
    }

    std::wstring KnownKeyName() {
        static const wchar_t* const kNames[] = {L"NetAdapterList", L"Printers", L"IPAddresses", L"SubnetMasks",
                                                L"GateWayAddresses", L"DNSAddresses", L"WINSServers"};
        return m_random.Pick(kNames);
    }

    Value RandomValue(const std::wstring& name) {
        switch (m_random.Below(10)) {
        case 0: return {name, REG_SZ, WideBytes(m_random.Text(20).c_str(), true), false};
        case 1: return {name, REG_SZ, NarrowBytes(ToAnsi(m_random.KeyName(20)), true), true};
        case 2: return CRegistryTree::Number(name, static_cast<DWORD>(m_random.Next()));
        case 3: return {name, REG_BINARY, {1, 2, 3}, false};
        case 4: return {name, REG_MULTI_SZ, WideBytes(std::wstring(L"a\0b\0", 5), true), false};
        case 5: return {name, REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}, false};
        case 6: return {name, REG_NONE, {}, false};
        case 7: return {name, REG_EXPAND_SZ, WideBytes(L"%TEMP%\\x", true), false};
        case 8: return {name, REG_DWORD_BIG_ENDIAN, {0xFF, 0xFF, 0xFF, 0xFF}, false};
        default: return {name, REG_DWORD, {0xFF, 0xFF}, false};
        }
    }

    std::wstring Address() {
        return std::to_wstring(m_random.Below(256)) + L"." + std::to_wstring(m_random.Below(256)) + L"." +
               std::to_wstring(m_random.Below(256)) + L"." + std::to_wstring(m_random.Below(256));
    }

    CRegistryTree Adapter() {
        // Mostly names the code page holds: a key the narrow API cannot open
        // ends the reading, which is worth meeting now and then only.
        CRegistryTree adapter{m_random.KeyName(m_random.Chance(0.05) ? 255 : 40, m_random.Chance(0.1)), {}, {}};
        static const DWORD kFlags[] = {0, 0xFFFFFFFF, 1, 0x00010000, 0x12345678};
        adapter.values.push_back(CRegistryTree::Number(L"IsDHCP", m_random.Pick(kFlags)));
        std::wstring connection = m_random.Chance(0.1) ? L"" : m_random.KeyName(30);
        adapter.values.push_back(m_random.Chance(0.5)
                                     ? Value{L"NetConnectionID", REG_SZ, NarrowBytes(ToAnsi(connection), true), true}
                                     : CRegistryTree::Text(L"NetConnectionID", connection));
        for (const wchar_t* listName : StoredAdapter::kListNames) {
            CRegistryTree list{listName, {}, {}};
            int entries = static_cast<int>(m_random.Below(4));
            for (int e = 0; e < entries; ++e)
                AddUnique(list, {m_random.Chance(0.8) ? Address() : m_random.KeyName(20), {}, {}});
            adapter.subkeys.push_back(std::move(list));
        }
        return adapter;
    }

    CRegistryTree Profile() {
        CRegistryTree profile{m_random.KeyName(m_random.Chance(0.05) ? 255 : 30, m_random.Chance(0.05)), {}, {}};
        CRegistryTree adapters{L"NetAdapterList", {}, {}};
        int count = static_cast<int>(m_random.Below(4));
        for (int a = 0; a < count; ++a) AddUnique(adapters, Adapter());
        profile.subkeys.push_back(std::move(adapters));
        CRegistryTree printers{L"Printers", {}, {}};
        if (m_random.Chance(0.7))
            printers.values.push_back(CRegistryTree::Text(L"Default", m_random.Chance(0.3) ? L"\\\\print-srv\\floor2"
                                                                                           : m_random.KeyName(25)));
        profile.subkeys.push_back(std::move(printers));
        return profile;
    }

    CRandom& m_random;
};

class CStoreScenario {
public:
    CStoreScenario(std::uint64_t seed, long index, StoreCounts& counts)
        : m_random(seed), m_index(index), m_counts(counts) {}

    void Run() {
        CStoreBuilder builder(m_random);
        CRegistryTree profiles = builder.Build();
        int mutations = static_cast<int>(m_random.Below(7));
        for (int m = 0; m < mutations; ++m) m_history += builder.Mutate(profiles) + "; ";
        m_counts.mutations += mutations;

        CStoreRootGuard::Clear();
        // Now and then the store lives under a volatile "Quoran": the
        // registry then refuses the lasting keys a Save creates, which makes
        // a Save fail for a reason it cannot foresee.
        m_volatile = m_random.Chance(0.08);
        if (m_volatile) m_history += "volatile store root; ";
        const DWORD options = m_volatile ? REG_OPTION_VOLATILE : REG_OPTION_NON_VOLATILE;
        HKEY quoran = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, CStoreRootGuard::kQuoran, 0, nullptr, options, KEY_ALL_ACCESS,
                                  nullptr, &quoran, nullptr),
                  ERROR_SUCCESS);
        LONG written = profiles.Write(quoran, options);
        // What an interrupted Save leaves beside a complete store: a draft and
        // a previous store. Neither may show. And a Save interrupted between
        // moving the old store aside and moving the new one in leaves only
        // the previous store: it is recovered, or ignored.
        m_previousOnly = false;
        if (written == ERROR_SUCCESS && m_random.Chance(0.15)) {
            CRegistryTree draft = builder.Build();
            draft.name = m_random.Chance(0.5) ? L"Profiles.New" : L"Profiles.Old";
            draft.subkeys.push_back({L"Leftover profile", {}, {}});
            written = draft.Write(quoran, options);
            ++m_counts.leftovers;
            m_history += "left " + VarquelTest::Narrow(draft.name) + " beside the store; ";
        } else if (written == ERROR_SUCCESS && m_random.Chance(0.05)) {
            RegDeleteTreeW(quoran, L"Profiles");
            RegDeleteKeyW(quoran, L"Profiles");
            CRegistryTree previous = profiles;
            previous.name = L"Profiles.Old";
            written = previous.Write(quoran, options);
            m_previousOnly = true;
            ++m_counts.interruptedSwaps;
            m_history += "left only Profiles.Old; ";
        }
        RegCloseKey(quoran);
        ASSERT_EQ(written, ERROR_SUCCESS) << Where() << ": the test could not write its store";
        ++m_counts.stores;

        // Machines whose adapters a store cannot hold, for captured profiles.
        std::shared_ptr<VarquelSim::CMachine> machine = VarquelSim::CMachine::FromJson(MachineForThisStore());
        VarquelSim::CInstall install(machine);
        {
            CReferenceReader::Result expected =
                m_previousOnly ? CReferenceReader::Read("Software\\Ostrel2\\Quoran\\Profiles.Old") : CReferenceReader::Read();
            ComPtr<INetProfilesList> list = VarquelTest::Create<INetProfilesList>(CLSID_CNetProfilesList);
            ASSERT_TRUE(list) << Where();
            HRESULT hr = list->Load();
            if (m_previousOnly && hr == S_OK && CProfileSnapshot::Of(list.Get()).empty() && !expected.profiles.empty()) {
                // Ignored rather than recovered: an empty store, and nothing else shown.
                expected = CReferenceReader::Result{};
            }
            if (expected.load != S_OK) ++m_counts.loadsFailing;
            for (const auto& [row, times] : expected.rows) m_counts.rows[row] += times;
            if (hr != expected.load)
                Fail("Load returned " + CDispatchOracle::Name(hr) + ", expected " + CDispatchOracle::Name(expected.load));
            std::vector<StoredProfile> loaded = CProfileSnapshot::Of(list.Get());
            m_counts.profilesLoaded += static_cast<long>(loaded.size());
            std::string difference = ProfilesDiffer(expected.profiles, loaded);
            if (!difference.empty())
                Fail("Load: " + difference + "\nexpected:\n" + Describe(expected.profiles) + "loaded:\n" + Describe(loaded));
            SaveVariant(list.Get(), loaded);
        }
        EXPECT_EQ(VarquelTest::ModuleLockCount(), 0) << Where() << ": objects left after the scenario";
        EXPECT_EQ(machine->LiveObjects(), 0) << Where() << ": WMI objects left after the scenario";
    }

private:
    std::string Where() const {
        return "VARQUEL_SEED=" + std::to_string(CCampaignSettings::Seed()) + " store " + std::to_string(m_index) +
               " (" + m_history + ")";
    }

    void Fail(const std::string& text) {
        ++m_counts.failures;
        std::optional<CRegistryTree> store = CRegistryTree::Read(HKEY_CURRENT_USER, CStoreRootGuard::kQuoran);
        ADD_FAILURE() << Where() << ": " << text << "\nstore:\n" << (store ? store->Describe() : std::string("(none)"));
    }

    enum class Variant { Plain, LoadedTwice, BadName, CaseTwin, CodePageTwin, NewProfile, Removals,
                         CollidingAdapters, SlashedAdapter, LongAdapter, UnnamedAdapter };

    std::string MachineForThisStore() {
        // Half the stores are saved as loaded or after ordinary edits; the
        // rest meet each kind of list the store cannot hold.
        static const Variant kVariants[] = {
            Variant::Plain, Variant::Plain, Variant::Plain, Variant::Plain, Variant::Plain, Variant::Plain,
            Variant::NewProfile, Variant::NewProfile, Variant::Removals, Variant::Removals, Variant::Removals,
            Variant::LoadedTwice, Variant::BadName, Variant::CaseTwin, Variant::CodePageTwin,
            Variant::CollidingAdapters, Variant::SlashedAdapter, Variant::LongAdapter, Variant::UnnamedAdapter};
        static const Variant kWritingVariants[] = {Variant::Plain, Variant::NewProfile, Variant::Removals};
        m_variant = m_volatile ? m_random.Pick(kWritingVariants) : m_random.Pick(kVariants);
        std::string office = CSimulatedMachines::Office();
        switch (m_variant) {
        case Variant::CollidingAdapters:
            // Names equal but for case, or equal once the code page has
            // replaced what it lacks (Greek omega and psi).
            return m_random.Chance(0.5) ? CSimulatedMachines::WithExtraAdapters({"INTEL(R) ETHERNET CONNECTION"})
                                        : CSimulatedMachines::WithExtraAdapters({"Site \xCE\xA9", "Site \xCE\xA8"});
        case Variant::SlashedAdapter: return CSimulatedMachines::WithExtraAdapters({"Bridge\\Port 1"});
        case Variant::LongAdapter: return CSimulatedMachines::WithExtraAdapters({std::string(300, 'L')});
        case Variant::UnnamedAdapter: return CSimulatedMachines::WithExtraAdapters({std::nullopt});
        default: return office;
        }
    }

    ComPtr<INetProfile> NewProfile(const std::wstring& name, bool capture) {
        ComPtr<INetProfile> profile = VarquelTest::Create<INetProfile>(CLSID_CNetProfile);
        if (!profile) return profile;
        CBstr text(name.data(), static_cast<UINT>(name.size()));
        profile->put_Name(text.Get());
        if (capture) profile->GetCurrent();
        return profile;
    }

    void SaveVariant(INetProfilesList* list, const std::vector<StoredProfile>& loaded) {
        bool refuse = false;
        std::string what;
        switch (m_variant) {
        case Variant::Plain: what = "a plain Save"; break;
        case Variant::LoadedTwice:
            what = "Load twice, then Save";
            list->Load();
            refuse = !loaded.empty();
            break;
        case Variant::BadName: {
            static const std::wstring kBad[] = {L"", L"a\\b", std::wstring(256, L'x'), L"\\"};
            const std::wstring& name = kBad[m_random.Below(4)];
            what = "a profile named \"" + VarquelTest::Narrow(name.substr(0, 20)) + "\" (" + std::to_string(name.size()) + " characters)";
            list->Add(NewProfile(name, false).Get());
            refuse = true;
            break;
        }
        case Variant::CaseTwin: {
            if (loaded.empty()) { what = "a plain Save (no profile to twin)"; break; }
            std::wstring name = loaded[m_random.Below(static_cast<std::uint32_t>(loaded.size()))].name.value_or(L"");
            for (wchar_t& c : name) c = static_cast<wchar_t>(iswupper(c) ? towlower(c) : towupper(c));
            what = "a profile whose name differs from a stored one in case only";
            list->Add(NewProfile(name, false).Get());
            // A name without letters is its own twin; a letter whose other
            // case the code page lacks makes a different key.
            refuse = SameKeyName(AnsiRoundTrip(name), AnsiRoundTrip(loaded.front().name.value_or(L""))) ||
                     std::any_of(loaded.begin(), loaded.end(), [&](const StoredProfile& p) {
                         return SameKeyName(AnsiRoundTrip(name), AnsiRoundTrip(p.name.value_or(L"")));
                     });
            break;
        }
        case Variant::CodePageTwin: {
            // Two names the code page maps to one key name.
            what = "two profiles whose names differ only outside the code page";
            list->Add(NewProfile(L"Site \x03a9", false).Get());
            list->Add(NewProfile(L"Site \x03a8", false).Get());
            refuse = ToAnsi(L"Site \x03a9") == ToAnsi(L"Site \x03a8");
            break;
        }
        case Variant::NewProfile: {
            what = "a new, captured profile";
            std::wstring name = L"Captured " + std::to_wstring(m_random.Below(100000));
            list->Add(NewProfile(name, true).Get());
            break;
        }
        case Variant::Removals: {
            what = "removals";
            long count = 0;
            list->get_Count(&count);
            for (long r = m_random.Below(static_cast<std::uint32_t>(count) + 1); r > 0 && count > 0; --r, --count)
                list->NetProfileRemoveAt(m_random.Below(static_cast<std::uint32_t>(count)));
            break;
        }
        default:
            what = "a profile captured from a machine whose adapter names the store cannot hold";
            list->Add(NewProfile(L"Unstorable " + std::to_wstring(m_random.Below(1000)), true).Get());
            refuse = true;
            break;
        }

        std::optional<CRegistryTree> before = CRegistryTree::Read(HKEY_CURRENT_USER, CStoreRootGuard::kQuoran);
        std::vector<StoredProfile> listed = CProfileSnapshot::Of(list);
        HRESULT hr = list->Save();
        std::optional<CRegistryTree> after = CRegistryTree::Read(HKEY_CURRENT_USER, CStoreRootGuard::kQuoran);
        if (refuse) {
            ++m_counts.savesRefused;
            if (hr != E_INVALIDARG) Fail("Save after " + what + " returned " + CDispatchOracle::Name(hr) + ", expected E_INVALIDARG");
        } else if (m_volatile) {
            ++m_counts.savesFailing;
            if (SUCCEEDED(hr) || hr == E_INVALIDARG)
                Fail("Save after " + what + " under a volatile store root returned " + CDispatchOracle::Name(hr) +
                     ", expected the registry's failure");
        } else {
            ++m_counts.savesWritten;
            if (hr != S_OK) Fail("Save after " + what + " returned " + CDispatchOracle::Name(hr) + ", expected S_OK");
        }
        if (FAILED(hr)) {
            // A Save that did not happen leaves every byte where it was.
            if (!before || !after || !CRegistryTree::Same(*before, *after))
                Fail("a failed Save (" + CDispatchOracle::Name(hr) + ") after " + what + " changed the store; before:\n" +
                     (before ? before->Describe() : std::string("(none)")));
            long count = 0;
            list->get_Count(&count);
            if (count != static_cast<long>(listed.size())) Fail("a failed Save changed the list");
            return;
        }
        if (hr != S_OK) return;
        // A Save that happened leaves exactly the list, and nothing beside it.
        CRegistryTree expected = CProfileSnapshot::StoreLayout(listed);
        std::optional<CRegistryTree> stored = CRegistryTree::Read(HKEY_CURRENT_USER, CStoreRootGuard::kProfiles);
        if (!stored || !CRegistryTree::Same(expected, *stored))
            Fail("Save after " + what + " wrote a store other than the list's; expected:\n" + expected.Describe());
        if (after && after->subkeys.size() != 1)
            Fail("Save after " + what + " left keys beside \"Profiles\"");
        // And it reads back as the list.
        ComPtr<INetProfilesList> again = VarquelTest::Create<INetProfilesList>(CLSID_CNetProfilesList);
        if (!again || again->Load() != S_OK) {
            Fail("Load after Save failed");
            return;
        }
        std::vector<StoredProfile> reloaded = CProfileSnapshot::Of(again.Get());
        std::vector<StoredProfile> expectedBack = CReferenceReader::Read().profiles;
        std::string difference = ProfilesDiffer(expectedBack, reloaded);
        if (!difference.empty()) Fail("Load after Save: " + difference);
        if (reloaded.size() != listed.size())
            Fail("Save wrote " + std::to_string(listed.size()) + " profiles but " + std::to_string(reloaded.size()) +
                 " load back");
    }

    CRandom m_random;
    long m_index;
    StoreCounts& m_counts;
    std::string m_history;
    Variant m_variant = Variant::Plain;
    bool m_volatile = false;
    bool m_previousOnly = false;
};

TEST(BrokenStores, LoadReadsWhatCanBeReadAndSaveNeverDestroysWhatItCannotRewrite) {
    CStoreRootGuard store;
    StoreCounts counts;
    const long stores = 100L * CCampaignSettings::Size();
    const long only = CCampaignSettings::OnlyScenario();
    DWORD start = GetTickCount();
    for (long s = 0; s < stores && counts.failures < 20; ++s) {
        if (only >= 0 && s != only) continue;
        CStoreScenario scenario(CRandom::ScenarioSeed(CCampaignSettings::Seed(), "broken-store", static_cast<std::uint64_t>(s)), s, counts);
        scenario.Run();
    }
    CCampaignSettings::Report("broken stores: " + std::to_string(counts.stores) + " stores with " +
                              std::to_string(counts.mutations) + " mutations, " + std::to_string(counts.profilesLoaded) +
                              " profiles loaded (" + std::to_string(counts.loadsFailing) + " loads ending at a key the narrow API cannot open), " + std::to_string(counts.savesWritten) + " saves written, " +
                              std::to_string(counts.savesRefused) + " refused, " + std::to_string(counts.savesFailing) +
                              " failing in the registry, " + std::to_string(counts.leftovers) + " with leftovers of a Save, " +
                              std::to_string(counts.interruptedSwaps) + " with an interrupted swap, " + std::to_string(counts.failures) +
                              " failures, " + std::to_string(GetTickCount() - start) + " ms");
    std::string rows;
    for (const auto& [row, times] : counts.rows) rows += " " + row + " " + std::to_string(times) + ";";
    CCampaignSettings::Report("broken stores, tolerance rules met:" + rows);
}

} // namespace
} // namespace VarquelRobustness
