// DllRegisterServer and DllUnregisterServer of Varquel.dll against the test
// prefix's registry.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <map>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <vector>
#include "Varquel_h.h"
#include "server/ClassTable.h"
#include "server/Registrar.h"
#include "tests/server/ServerLibrary.h"
#include "tests/support/TestSupport.h"

namespace {

using VarquelTest::ComPtr;
using VarquelTest::CServerLibrary;
using VarquelTest::Narrow;

constexpr const wchar_t* kLibId = L"{28144162-4E7B-47B8-890A-BE726AC3DC93}";
constexpr const wchar_t* kMissing = L"<missing>";

struct ExpectedClass {
    const CLSID* clsid;
    const wchar_t* progId;
    const wchar_t* versionIndependentProgId;
    const wchar_t* friendlyName;
};

const ExpectedClass kClasses[] = {
    {&CLSID_CAddressList, L"Brenzik.AddressList.1", L"Brenzik.AddressList", L"CAddressList Object"},
    {&CLSID_CNetAdaptersList, L"Varquel.NetAdaptersList.1", L"Varquel.NetAdaptersList", L"CNetAdaptersList Object"},
    {&CLSID_CNetAdapterProperty, L"Varquel.NetAdapterProperty.1", L"Varquel.NetAdapterProperty",
     L"CNetAdapterProperty Object"},
    {&CLSID_CNetProfile, L"Varquel.NetProfile.1", L"Varquel.NetProfile", L"CNetProfile Object"},
    {&CLSID_CNetShareList, L"Varquel.NetShareList.1", L"Varquel.NetShareList", L"CNetShareList Object"},
    {&CLSID_CProxyProperty, L"Varquel.ProxyProperty.1", L"Varquel.ProxyProperty", L"CProxyProperty Object"},
    {&CLSID_CPrintersProperty, L"Varquel.PrintersProperty.1", L"Varquel.PrintersProperty",
     L"CPrintersProperty Object"},
    {&CLSID_CNetProfilesList, L"Varquel.NetProfilesList.1", L"Varquel.NetProfilesList", L"CNetProfilesList Object"},
    {&CLSID_CUserProxy, L"Varquel.UserProxy.1", L"Varquel.UserProxy", L"CUserProxy Object"},
};

std::wstring GuidText(REFGUID guid) {
    wchar_t text[39] = {};
    StringFromGUID2(guid, text, 39);
    return text;
}

std::wstring ClassKey(const ExpectedClass& c) { return L"CLSID\\" + GuidText(*c.clsid); }

// An open key below HKEY_CLASSES_ROOT, or another root (null when it does not exist).
struct CKey {
    HKEY key = nullptr;
    explicit CKey(const std::wstring& path, REGSAM access = KEY_READ, HKEY root = HKEY_CLASSES_ROOT) {
        if (RegOpenKeyExW(root, path.c_str(), 0, access, &key) != ERROR_SUCCESS) key = nullptr;
    }
    ~CKey() {
        if (key) RegCloseKey(key);
    }
    CKey(const CKey&) = delete;
    CKey& operator=(const CKey&) = delete;
};

bool KeyExists(const std::wstring& path) { return CKey(path).key != nullptr; }

// A text value below HKEY_CLASSES_ROOT; kMissing when absent.
std::wstring Text(const std::wstring& key, const wchar_t* value = nullptr) {
    wchar_t data[1024] = {};
    DWORD size = sizeof(data);
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), value, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
        return kMissing;
    return data;
}

void SetText(const std::wstring& key, const wchar_t* value, const wchar_t* data) {
    HKEY created = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(created, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                   static_cast<DWORD>((wcslen(data) + 1) * sizeof(wchar_t)));
    RegCloseKey(created);
}

std::vector<std::wstring> SubkeyNames(const std::wstring& path, HKEY root = HKEY_CLASSES_ROOT) {
    std::vector<std::wstring> names;
    CKey key(path, KEY_READ, root);
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (!key.key || RegEnumKeyExW(key.key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::wstring> ValueNames(const std::wstring& path) {
    std::vector<std::wstring> names;
    CKey key(path);
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (!key.key || RegEnumValueW(key.key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Every key and value below `path`, as "key\" and "key|value" -> "type:data".
void DumpKey(const std::wstring& path, std::map<std::wstring, std::wstring>& out, HKEY root = HKEY_CLASSES_ROOT) {
    CKey key(path, KEY_READ, root);
    if (!key.key) return;
    out[path + L"\\"] = L"";
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256, type = 0;
        BYTE data[2048];
        DWORD dataLength = sizeof(data);
        if (RegEnumValueW(key.key, i, name, &nameLength, nullptr, &type, data, &dataLength) != ERROR_SUCCESS) break;
        out[path + L"|" + std::wstring(name, nameLength)] =
            std::to_wstring(type) + L":" +
            std::wstring(reinterpret_cast<const wchar_t*>(data), dataLength / sizeof(wchar_t));
    }
    for (const std::wstring& sub : SubkeyNames(path, root)) DumpKey(path + L"\\" + sub, out, root);
}

// Everything the server's registration touches.
std::map<std::wstring, std::wstring> DumpServerEntries() {
    std::map<std::wstring, std::wstring> out;
    for (const ExpectedClass& c : kClasses) {
        DumpKey(c.progId, out);
        DumpKey(c.versionIndependentProgId, out);
        DumpKey(ClassKey(c), out);
    }
    DumpKey(std::wstring(L"AppID\\") + kLibId, out);
    DumpKey(L"AppID\\Varquel.DLL", out);
    DumpKey(std::wstring(L"TypeLib\\") + kLibId, out);
    for (const IID* iid : {&IID_IAddressList, &IID_INetAdapterProperty, &IID_INetAdaptersList, &IID_IPrintersProperty,
                           &IID_IProxyProperty, &IID_INetShareList, &IID_INetProfile, &IID_INetProfilesList,
                           &IID_IUserProxy})
        DumpKey(L"Interface\\" + GuidText(*iid), out);
    return out;
}

std::wstring DirectoryOf(const std::wstring& path) { return path.substr(0, path.rfind(L'\\')); }

// The file a registered type library is loaded from, looked up at the
// library's own locale or at the neutral one.
std::wstring RegisteredTypeLibPath(LCID locale = 0x409) {
    Varquel::CBstr path;
    if (FAILED(QueryPathOfRegTypeLib(LIBID_Varquel, 1, 0, locale, path.ReleaseAndGetAddressOf()))) return kMissing;
    return std::wstring(path.Get(), SysStringLen(path.Get()));
}

const std::wstring kTypeLibKey = std::wstring(L"TypeLib\\") + kLibId;

// Files and directories made by a test, removed in reverse order at its end.
class CScratchFiles {
public:
    ~CScratchFiles() {
        for (auto it = m_items.rbegin(); it != m_items.rend(); ++it) {
            if (it->second) RemoveDirectoryW(it->first.c_str());
            else DeleteFileW(it->first.c_str());
        }
    }
    bool Directory(const std::wstring& path) {
        if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
        m_items.emplace_back(path, true);
        return true;
    }
    bool Copy(const std::wstring& from, const std::wstring& to) {
        if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) return false;
        m_items.emplace_back(to, false);
        return true;
    }
private:
    std::vector<std::pair<std::wstring, bool>> m_items;
};

const std::wstring kScratchRoot = std::wstring(VARQUEL_BINARY_DIR) + L"\\server-tests";

// A copy of Varquel.dll whose embedded type library cannot be loaded: its
// TYPELIB resource is replaced by a few bytes that are no type library.
bool CopyWithUnloadableTypeLib(CScratchFiles& files, const std::wstring& copy) {
    if (!files.Copy(VARQUEL_DLL_PATH, copy)) return false;
    HMODULE original = LoadLibraryExW(VARQUEL_DLL_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    WORD language = 0;
    EnumResourceLanguagesW(
        original, L"TYPELIB", MAKEINTRESOURCEW(1),
        [](HMODULE, LPCWSTR, LPCWSTR, WORD found, LONG_PTR out) -> BOOL {
            *reinterpret_cast<WORD*>(out) = found;
            return FALSE;
        },
        reinterpret_cast<LONG_PTR>(&language));
    FreeLibrary(original);
    HANDLE update = BeginUpdateResourceW(copy.c_str(), FALSE);
    if (!update) return false;
    char junk[] = "JUNK";
    if (!UpdateResourceW(update, L"TYPELIB", MAKEINTRESOURCEW(1), language, junk, 4)) {
        EndUpdateResourceW(update, TRUE);
        return false;
    }
    return EndUpdateResourceW(update, FALSE) != FALSE;
}

// Every test starts from a registered server and leaves it registered from
// build/bin; the program leaves the prefix's registration as it found it.
class Registration : public testing::Test {
protected:
    static void SetUpTestSuite() { s_wasRegistered = VarquelTest::ServerRegistered(); }
    static void TearDownTestSuite() {
        if (!s_wasRegistered) {
            EXPECT_EQ(CServerLibrary().UnregisterServer(), S_OK);
        }
    }
    void SetUp() override {
        ASSERT_TRUE(m_library.Loaded()) << "LoadLibrary failed: " << m_library.LoadError();
        ASSERT_EQ(m_library.RegisterServer(), S_OK);
        CreateDirectoryW(kScratchRoot.c_str(), nullptr);
    }
    void TearDown() override {
        EXPECT_EQ(m_library.RegisterServer(), S_OK);
        RemoveDirectoryW(kScratchRoot.c_str());
    }
    CServerLibrary m_library;
    static inline bool s_wasRegistered = false;
};

TEST_F(Registration, WritesTheEntriesOfEveryClassUnderItsKeys) {
    const std::wstring module = m_library.Path();
    EXPECT_EQ(Text(L"Brenzik.AddressList\\CurVer"), L"Brenzik.AddressList.1");
    for (const ExpectedClass& c : kClasses) {
        SCOPED_TRACE(Narrow(c.progId));
        const std::wstring clsid = GuidText(*c.clsid);
        const std::wstring key = ClassKey(c);
        EXPECT_EQ(Text(c.progId), c.friendlyName);
        EXPECT_EQ(Text(std::wstring(c.progId) + L"\\CLSID"), clsid);
        EXPECT_EQ(Text(c.versionIndependentProgId), c.friendlyName);
        EXPECT_EQ(Text(std::wstring(c.versionIndependentProgId) + L"\\CLSID"), clsid);
        EXPECT_EQ(Text(std::wstring(c.versionIndependentProgId) + L"\\CurVer"), c.progId);

        EXPECT_EQ(Text(key), c.friendlyName);
        EXPECT_EQ(Text(key, L"AppID"), kLibId);
        EXPECT_EQ(Text(key + L"\\ProgID"), c.progId);
        EXPECT_EQ(Text(key + L"\\VersionIndependentProgID"), c.versionIndependentProgId);
        EXPECT_EQ(Text(key + L"\\InprocServer32"), module);
        EXPECT_EQ(Text(key + L"\\InprocServer32", L"ThreadingModel"), L"apartment");
        EXPECT_EQ(Text(key + L"\\TypeLib"), kLibId);
        EXPECT_TRUE(KeyExists(key + L"\\Programmable"));
        EXPECT_TRUE(SubkeyNames(key + L"\\Programmable").empty());
        EXPECT_TRUE(ValueNames(key + L"\\Programmable").empty());

        // Nothing else: no component categories, no other values.
        EXPECT_EQ(SubkeyNames(key), (std::vector<std::wstring>{L"InprocServer32", L"ProgID", L"Programmable",
                                                               L"TypeLib", L"VersionIndependentProgID"}));
        EXPECT_EQ(ValueNames(key), (std::vector<std::wstring>{L"", L"AppID"}));
        EXPECT_EQ(SubkeyNames(c.progId), std::vector<std::wstring>{L"CLSID"});
        EXPECT_EQ(SubkeyNames(c.versionIndependentProgId), (std::vector<std::wstring>{L"CLSID", L"CurVer"}));
    }
}

TEST_F(Registration, WritesTheAppIdWithTheLibraryIdentity) {
    EXPECT_EQ(Text(std::wstring(L"AppID\\") + kLibId), L"Varquel");
    EXPECT_EQ(Text(L"AppID\\Varquel.DLL", L"AppID"), kLibId);
    EXPECT_EQ(GuidText(LIBID_Varquel), kLibId);
}

TEST_F(Registration, RegistersTheTypeLibraryFromTheDllWithItsDirectoryAsHelpDirectory) {
    const std::wstring module = m_library.Path();
    EXPECT_EQ(RegisteredTypeLibPath(), module);
    EXPECT_EQ(Text(kTypeLibKey + L"\\1.0\\HELPDIR"), DirectoryOf(module));
    // At its own locale and at the neutral one, where the marshaler looks;
    // both share the version's FLAGS and HELPDIR.
    EXPECT_EQ(SubkeyNames(kTypeLibKey + L"\\1.0"), (std::vector<std::wstring>{L"0", L"409", L"FLAGS", L"HELPDIR"}));
    EXPECT_EQ(Text(kTypeLibKey + L"\\1.0\\409\\win64"), module);
    EXPECT_EQ(Text(kTypeLibKey + L"\\1.0\\0\\win64"), module);
    EXPECT_EQ(SubkeyNames(kTypeLibKey + L"\\1.0\\0"), std::vector<std::wstring>{L"win64"});
    EXPECT_EQ(RegisteredTypeLibPath(0), module);
    ComPtr<ITypeLib> library;
    EXPECT_EQ(LoadRegTypeLib(LIBID_Varquel, 1, 0, 0x409, &library), S_OK);
    ComPtr<ITypeLib> neutral;
    EXPECT_EQ(LoadRegTypeLib(LIBID_Varquel, 1, 0, 0, &neutral), S_OK);
    // The dual interfaces are marshalled by the standard automation marshaler.
    EXPECT_EQ(Text(L"Interface\\" + GuidText(IID_INetProfile) + L"\\ProxyStubClsid32"),
              L"{00020424-0000-0000-C000-000000000046}");
}

TEST_F(Registration, ReplacesTheClassKeyWholeButOnlyOverwritesValuesElsewhere) {
    const std::wstring key = ClassKey(kClasses[0]);
    SetText(key + L"\\Stale\\Deeper", nullptr, L"old");
    SetText(key, L"Stale", L"old");
    SetText(key + L"\\InprocServer32", L"Stale", L"old");
    SetText(key + L"\\Programmable\\Stale", nullptr, L"old");
    SetText(L"Brenzik.AddressList", nullptr, L"changed by hand");
    SetText(L"Brenzik.AddressList", L"Kept", L"by hand");

    ASSERT_EQ(m_library.RegisterServer(), S_OK);

    EXPECT_FALSE(KeyExists(key + L"\\Stale"));
    EXPECT_EQ(Text(key, L"Stale"), kMissing);
    EXPECT_EQ(Text(key + L"\\InprocServer32", L"Stale"), kMissing);
    EXPECT_FALSE(KeyExists(key + L"\\Programmable\\Stale"));
    EXPECT_EQ(Text(key + L"\\InprocServer32"), m_library.Path());
    EXPECT_EQ(Text(L"Brenzik.AddressList"), L"CAddressList Object");
    EXPECT_EQ(Text(L"Brenzik.AddressList", L"Kept"), L"by hand");
    RegDeleteKeyValueW(HKEY_CLASSES_ROOT, L"Brenzik.AddressList", L"Kept");
}

TEST_F(Registration, RegisteringTwiceGivesTheSameEntriesAsOnce) {
    const auto once = DumpServerEntries();
    ASSERT_EQ(m_library.RegisterServer(), S_OK);
    const auto twice = DumpServerEntries();
    EXPECT_EQ(once, twice);
    EXPECT_GT(once.size(), std::size(kClasses) * 13u);
}

TEST_F(Registration, UnregistrationRemovesEveryServerKeyButNotTheSharedOnes) {
    const std::wstring byHand = ClassKey(kClasses[3]) + L"\\ByHand\\Deeper";
    SetText(byHand, L"Value", L"by hand");

    ASSERT_EQ(m_library.UnregisterServer(), S_OK);

    for (const ExpectedClass& c : kClasses) {
        SCOPED_TRACE(Narrow(c.progId));
        EXPECT_FALSE(KeyExists(c.progId));
        EXPECT_FALSE(KeyExists(c.versionIndependentProgId));
        EXPECT_FALSE(KeyExists(ClassKey(c)));
    }
    EXPECT_FALSE(KeyExists(std::wstring(L"AppID\\") + kLibId));
    EXPECT_FALSE(KeyExists(L"AppID\\Varquel.DLL"));
    EXPECT_TRUE(KeyExists(L"CLSID"));
    EXPECT_TRUE(KeyExists(L"AppID"));
    EXPECT_EQ(RegisteredTypeLibPath(), kMissing);
    EXPECT_EQ(RegisteredTypeLibPath(0), kMissing);
    EXPECT_FALSE(KeyExists(kTypeLibKey));
    EXPECT_FALSE(KeyExists(L"Interface\\" + GuidText(IID_IAddressList)));
}

TEST_F(Registration, UnregistrationLeavesAnotherPlatformsEntryAtTheNeutralLocale) {
    const std::wstring other = kTypeLibKey + L"\\1.0\\0\\win32";
    SetText(other, nullptr, L"C:\\Other\\Varquel.dll");

    ASSERT_EQ(m_library.UnregisterServer(), S_OK);

    EXPECT_EQ(Text(other), L"C:\\Other\\Varquel.dll");
    EXPECT_FALSE(KeyExists(kTypeLibKey + L"\\1.0\\0\\win64"));
    EXPECT_FALSE(KeyExists(kTypeLibKey + L"\\1.0\\409"));
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kTypeLibKey.c_str());
}

TEST_F(Registration, NeedsNoComOnTheCallingThread) {
    HRESULT apartment = S_OK, unregistered = E_FAIL, registered = E_FAIL;
    std::thread([&] {
        APTTYPE type;
        APTTYPEQUALIFIER qualifier;
        apartment = CoGetApartmentType(&type, &qualifier);
        unregistered = m_library.UnregisterServer();
        registered = m_library.RegisterServer();
    }).join();
    EXPECT_EQ(apartment, CO_E_NOTINITIALIZED);
    EXPECT_EQ(unregistered, S_OK);
    EXPECT_EQ(registered, S_OK);
    EXPECT_EQ(Text(ClassKey(kClasses[0]) + L"\\InprocServer32"), m_library.Path());
}

TEST_F(Registration, TakesTheTypeLibraryFromTheTlbBesideALibraryWhoseOwnFailsToLoad) {
    CScratchFiles files;
    const std::wstring directory = kScratchRoot + L"\\fallback";
    ASSERT_TRUE(files.Directory(directory));
    const std::wstring copy = directory + L"\\VarquelCopy.dll";
    const std::wstring tlb = directory + L"\\VarquelCopy.tlb";
    ASSERT_TRUE(CopyWithUnloadableTypeLib(files, copy));
    ComPtr<ITypeLib> none;
    ASSERT_FALSE(SUCCEEDED(LoadTypeLibEx(copy.c_str(), REGKIND_NONE, &none)));
    ASSERT_TRUE(files.Copy(std::wstring(VARQUEL_BINARY_DIR) + L"\\generated\\Varquel.tlb", tlb));
    {
        CServerLibrary library(copy.c_str());
        ASSERT_TRUE(library.Loaded()) << library.LoadError();
        ASSERT_EQ(library.RegisterServer(), S_OK);
        EXPECT_EQ(Text(ClassKey(kClasses[0]) + L"\\InprocServer32"), library.Path());
        EXPECT_EQ(RegisteredTypeLibPath(), DirectoryOf(library.Path()) + L"\\VarquelCopy.tlb");
        EXPECT_EQ(RegisteredTypeLibPath(0), DirectoryOf(library.Path()) + L"\\VarquelCopy.tlb");
        EXPECT_EQ(Text(kTypeLibKey + L"\\1.0\\HELPDIR"), DirectoryOf(library.Path()));
        EXPECT_EQ(library.UnregisterServer(), S_OK);
        EXPECT_EQ(RegisteredTypeLibPath(), kMissing);
        EXPECT_EQ(RegisteredTypeLibPath(0), kMissing);
    }
}

TEST_F(Registration, FailsWithTheLoadFailureWhenNoTypeLibraryIsFound) {
    CScratchFiles files;
    const std::wstring directory = kScratchRoot + L"\\notypelib";
    ASSERT_TRUE(files.Directory(directory));
    const std::wstring copy = directory + L"\\VarquelCopy.dll";
    ASSERT_TRUE(CopyWithUnloadableTypeLib(files, copy));
    ComPtr<ITypeLib> none;
    const HRESULT loadFailure = LoadTypeLibEx((directory + L"\\VarquelCopy.tlb").c_str(), REGKIND_NONE, &none);
    ASSERT_TRUE(FAILED(loadFailure));
    {
        CServerLibrary library(copy.c_str());
        ASSERT_TRUE(library.Loaded()) << library.LoadError();
        EXPECT_EQ(library.RegisterServer(), loadFailure);
        // The AppID and the classes written before the failing step stay.
        EXPECT_EQ(Text(ClassKey(kClasses[7]) + L"\\InprocServer32"), library.Path());
        EXPECT_EQ(Text(L"AppID\\Varquel.DLL", L"AppID"), kLibId);

        EXPECT_EQ(library.UnregisterServer(), loadFailure);
        // The classes go first; the AppID, after the type library, stays.
        EXPECT_FALSE(KeyExists(ClassKey(kClasses[0])));
        EXPECT_EQ(Text(L"AppID\\Varquel.DLL", L"AppID"), kLibId);
    }
}

TEST_F(Registration, RefusesAModulePathThatFillsTheBuffer) {
    CScratchFiles files;
    std::wstring directory = L"\\\\?\\" + kScratchRoot;
    while (directory.size() < MAX_PATH + 10) {
        directory += L"\\" + std::wstring(40, L'd');
        ASSERT_TRUE(files.Directory(directory)) << GetLastError();
    }
    const std::wstring copy = directory + L"\\Varquel.dll";
    ASSERT_TRUE(files.Copy(VARQUEL_DLL_PATH, copy)) << GetLastError();
    CServerLibrary library(copy.c_str());
    ASSERT_TRUE(library.Loaded()) << library.LoadError();
    ASSERT_GE(library.Path().size(), static_cast<size_t>(MAX_PATH));

    const auto before = DumpServerEntries();
    EXPECT_EQ(library.RegisterServer(), static_cast<HRESULT>(0x8007007A));
    EXPECT_EQ(library.UnregisterServer(), static_cast<HRESULT>(0x8007007A));
    EXPECT_EQ(DumpServerEntries(), before);
}

// The REGISTRY 101 resource, read as the script it is: key blocks, default
// values ('key' = s 'data') and named values (val Name = s 'data').
std::vector<std::tuple<std::string, std::string, std::string>> ScriptEntries(std::string_view script) {
    std::vector<std::string> tokens;
    for (size_t i = 0; i < script.size();) {
        char c = script[i];
        if (isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '{' || c == '}' || c == '=') {
            tokens.emplace_back(1, c);
            ++i;
        } else if (c == '\'') {
            size_t end = script.find('\'', i + 1);
            tokens.emplace_back(script.substr(i + 1, end - i - 1));
            i = end + 1;
        } else {
            size_t end = script.find_first_of(" \t\r\n{}=", i);
            tokens.emplace_back(script.substr(i, end - i));
            i = end;
        }
    }
    std::vector<std::tuple<std::string, std::string, std::string>> entries;
    size_t i = 0;
    auto walk = [&](auto& self, const std::string& path) -> void {
        while (i < tokens.size() && tokens[i] != "}") {
            if (tokens[i] == "NoRemove" || tokens[i] == "ForceRemove") {
                ++i;
            } else if (tokens[i] == "val") {
                entries.emplace_back(path, tokens[i + 1], tokens[i + 4]);
                i += 5;
            } else {
                const std::string key = path.empty() ? tokens[i] : path + "\\" + tokens[i];
                ++i;
                if (i < tokens.size() && tokens[i] == "=") {
                    entries.emplace_back(key, "", tokens[i + 2]);
                    i += 3;
                }
                if (i < tokens.size() && tokens[i] == "{") {
                    ++i;
                    self(self, key);
                    ++i;
                }
            }
        }
    };
    if (tokens.size() < 2 || tokens[0] != "HKCR" || tokens[1] != "{") return entries;
    i = 2;
    walk(walk, "");
    return entries;
}

TEST(AppIdScript, TheResourceHoldsExactlyTheAppIdEntriesTheServerWrites) {
    CServerLibrary library;
    ASSERT_TRUE(library.Loaded());
    HRSRC found = FindResourceW(library.Handle(), MAKEINTRESOURCEW(101), L"REGISTRY");
    ASSERT_NE(found, nullptr);
    const char* text = static_cast<const char*>(LockResource(LoadResource(library.Handle(), found)));
    auto fromScript = ScriptEntries(std::string_view(text, SizeofResource(library.Handle(), found)));

    std::vector<std::tuple<std::string, std::string, std::string>> fromTable;
    for (const Varquel::RegistryEntry& entry : Varquel::AppIdRegistryEntries())
        fromTable.emplace_back(Narrow(entry.key), entry.valueName ? Narrow(entry.valueName) : "",
                               entry.data ? Narrow(entry.data) : "");
    std::sort(fromScript.begin(), fromScript.end());
    std::sort(fromTable.begin(), fromTable.end());
    EXPECT_EQ(fromScript, fromTable);
    EXPECT_EQ(fromScript.size(), 2u);
}

} // namespace

namespace {

// ---- DllInstall: registration for the current user ----

const std::wstring kUserClasses = L"Software\\Classes";

// The type library's interfaces: {IID, whether a pure dispinterface}.
std::vector<std::pair<std::wstring, bool>> LibraryInterfaces() {
    std::vector<std::pair<std::wstring, bool>> interfaces;
    ComPtr<ITypeLib> library;
    EXPECT_EQ(LoadTypeLibEx(VARQUEL_DLL_PATH, REGKIND_NONE, &library), S_OK);
    for (UINT i = 0; library && i < library->GetTypeInfoCount(); ++i) {
        ComPtr<ITypeInfo> info;
        TYPEATTR* attr = nullptr;
        if (FAILED(library->GetTypeInfo(i, &info)) || FAILED(info->GetTypeAttr(&attr))) continue;
        if (attr->typekind == TKIND_DISPATCH || attr->typekind == TKIND_INTERFACE)
            interfaces.emplace_back(GuidText(attr->guid),
                                    attr->typekind == TKIND_DISPATCH && !(attr->wTypeFlags & TYPEFLAG_FDUAL));
        info->ReleaseTypeAttr(attr);
    }
    return interfaces;
}

// Every key the server's registration writes, from the class table and the
// type library's interfaces, with everything below it, under `root`.
std::map<std::wstring, std::wstring> DumpRegistration(HKEY root) {
    std::map<std::wstring, std::wstring> out;
    for (const Varquel::ClassEntry& entry : Varquel::ClassTable()) {
        DumpKey(entry.progId, out, root);
        DumpKey(entry.versionIndependentProgId, out, root);
        DumpKey(L"CLSID\\" + GuidText(*entry.clsid), out, root);
    }
    DumpKey(std::wstring(L"AppID\\") + kLibId, out, root);
    DumpKey(L"AppID\\Varquel.DLL", out, root);
    DumpKey(kTypeLibKey, out, root);
    for (const auto& [iid, pureDispatch] : LibraryInterfaces()) DumpKey(L"Interface\\" + iid, out, root);
    return out;
}

// The user's classes root, opened for the test (null when the user has none).
struct CUserClasses {
    CKey key{kUserClasses, KEY_READ, HKEY_CURRENT_USER};
};

// Leaves HKCU\Software\Classes as the test found it: a fresh Wine prefix has
// none (Windows always does), and registering for the user creates it.
class DllInstall : public Registration {
protected:
    void SetUp() override {
        Registration::SetUp();
        m_userClassesExisted = CUserClasses().key.key != nullptr;
    }
    void TearDown() override {
        m_library.Install(FALSE, L"user");
        if (!m_userClassesExisted) RegDeleteKeyW(HKEY_CURRENT_USER, kUserClasses.c_str());
        Registration::TearDown();
    }
    bool m_userClassesExisted = false;
};

TEST_F(DllInstall, ForTheUserWritesTheMachineWideKeysUnderTheUsersClassesAndRemovesThemAgain) {
    const auto machine = DumpRegistration(HKEY_CLASSES_ROOT);
    ASSERT_EQ(m_library.Install(TRUE, L"user"), S_OK);
    CUserClasses user;
    ASSERT_TRUE(user.key.key);
    auto forUser = DumpRegistration(user.key.key);
    ASSERT_FALSE(forUser.empty());
    // The same keys and values, but a pure dispinterface is marshaled by
    // IDispatch's marshaler, as Windows records it; Wine's RegisterTypeLib
    // gives it the type library's.
    for (const auto& [iid, pureDispatch] : LibraryInterfaces()) {
        if (!pureDispatch) continue;
        for (const wchar_t* marshaler : {L"\\ProxyStubClsid", L"\\ProxyStubClsid32"}) {
            const std::wstring key = L"Interface\\" + iid + marshaler + L"|";
            EXPECT_EQ(forUser[key], std::wstring(L"1:{00020420-0000-0000-C000-000000000046}") + L'\0') << Narrow(key);
            forUser[key] = machine.at(key);
        }
    }
    EXPECT_EQ(forUser, machine);

    // "user" in any case; unregistering leaves none of it, nor the containers it made.
    ASSERT_EQ(m_library.Install(FALSE, L"uSeR"), S_OK);
    EXPECT_TRUE(DumpRegistration(user.key.key).empty());
    if (!m_userClassesExisted) {
        EXPECT_EQ(SubkeyNames(kUserClasses, HKEY_CURRENT_USER), std::vector<std::wstring>{});
    }
    // The machine's registration is untouched.
    EXPECT_EQ(DumpRegistration(HKEY_CLASSES_ROOT), machine);
}

TEST_F(DllInstall, WithoutACommandLineDoesWhatRegisterAndUnregisterDo) {
    const auto registered = DumpRegistration(HKEY_CLASSES_ROOT);
    for (const wchar_t* none : {static_cast<const wchar_t*>(nullptr), L""}) {
        ASSERT_EQ(m_library.Install(FALSE, none), S_OK);
        EXPECT_FALSE(KeyExists(ClassKey(kClasses[0])));
        EXPECT_FALSE(KeyExists(kTypeLibKey));
        ASSERT_EQ(m_library.Install(TRUE, none), S_OK);
        EXPECT_EQ(DumpRegistration(HKEY_CLASSES_ROOT), registered);
    }
}

TEST_F(DllInstall, RefusesAnyOtherCommandLineAndWritesNothing) {
    const auto machine = DumpRegistration(HKEY_CLASSES_ROOT);
    for (const wchar_t* other : {L"machine", L"user ", L"/user", L"users", L"u"}) {
        EXPECT_EQ(m_library.Install(TRUE, other), E_INVALIDARG) << Narrow(other);
        EXPECT_EQ(m_library.Install(FALSE, other), E_INVALIDARG) << Narrow(other);
    }
    EXPECT_EQ(DumpRegistration(HKEY_CLASSES_ROOT), machine);
    CUserClasses user;
    EXPECT_TRUE(!user.key.key || DumpRegistration(user.key.key).empty());
}

} // namespace
