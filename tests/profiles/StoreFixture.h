#pragma once
// Helpers of the profile tests: the store under HKEY_CURRENT_USER written and
// read with the raw registry API, and profiles built and read through COM.
#include <gtest/gtest.h>
#include <windows.h>
#include <array>
#include <optional>
#include <string>
#include <vector>
#include "Varquel_h.h"
#include "adapters/NetAdapterProperty.h"
#include "tests/support/TestSupport.h"

namespace ProfilesTest {

using Microsoft::WRL::ComPtr;

inline const std::string kProduct = "Software\\Ostrel2";
inline const std::string kQuoran = "Software\\Ostrel2\\Quoran";
inline const std::string kStore = "Software\\Ostrel2\\Quoran\\Profiles";
inline const std::string kDraft = "Software\\Ostrel2\\Quoran\\Profiles.New";
inline const std::string kPrevious = "Software\\Ostrel2\\Quoran\\Profiles.Old";
inline const std::string kRestoreMarker = "Software\\Ostrel2\\Quoran\\Profiles.Restore";

// ---- Raw registry, paths relative to HKEY_CURRENT_USER ----
void DeleteTree(const std::string& path);
void CreateKey(const std::string& path);
bool KeyExists(const std::string& path);
void SetValue(const std::string& path, const char* name, DWORD type, const void* data, DWORD size);
void SetText(const std::string& path, const char* name, const std::string& text, DWORD type = REG_SZ);
void SetNumber(const std::string& path, const char* name, DWORD number, DWORD type = REG_DWORD);
// Names of the direct subkeys, in the registry's order.
std::vector<std::string> Subkeys(const std::string& path);
// Every key and value below `path` (names sorted, data in hex): two equal
// dumps are two byte-for-byte equal trees. "<missing>" when there is no key.
std::string Dump(const std::string& path);

// ---- Stored profiles written by hand ----
struct StoredAdapter {
    std::string name;
    std::optional<std::string> connection = "Local Area Connection";
    std::optional<DWORD> isDhcp = 0;
    std::array<std::vector<std::string>, 5> lists;  // in the order of AddressKind
    int missingList = -1;                           // a list key not written
};
struct StoredProfile {
    std::string name;
    bool adapterListKey = true;
    std::vector<StoredAdapter> adapters;
    bool printersKey = true;
    std::optional<std::string> defaultPrinter;
};
void WriteStoredProfile(const std::string& storePath, const StoredProfile& profile);

// ---- Profiles through COM ----
// What a client sees of a profile; address lists sorted, since the store
// keeps no order.
struct AdapterView {
    std::wstring name;
    bool nameIsNull = false;
    std::wstring connection;
    bool connectionIsNull = false;
    VARIANT_BOOL isDhcp = 0;
    std::array<std::vector<std::wstring>, 5> lists;
    bool operator==(const AdapterView&) const = default;
};
struct ProfileView {
    std::wstring name;
    std::vector<AdapterView> adapters;
    std::optional<std::wstring> defaultPrinter;  // GetDefault; nullopt for null
    bool operator==(const ProfileView&) const = default;
};
void PrintTo(const ProfileView& view, std::ostream* os);

ComPtr<INetProfile> NewProfile(const wchar_t* name);
// Appends a detached adapter the way the store reader does.
ComPtr<INetAdapterProperty> AddAdapter(INetProfile* profile, const wchar_t* name, const wchar_t* connection,
                                       VARIANT_BOOL isDhcp);
ComPtr<IAddressList> List(INetAdapterProperty* adapter, Varquel::CNetAdapterProperty::AddressKind kind);
void AddEntry(INetAdapterProperty* adapter, Varquel::CNetAdapterProperty::AddressKind kind, const wchar_t* text);
void SetDefaultPrinter(INetProfile* profile, const wchar_t* deviceId);

ProfileView View(INetProfile* profile);
ComPtr<INetProfilesList> NewList();
long Count(INetProfilesList* list);
ComPtr<INetProfile> At(INetProfilesList* list, long index);
std::vector<std::wstring> Names(INetProfilesList* list);
// The profiles that a new list loads from the store.
std::vector<ProfileView> LoadAll();
std::wstring Text(BSTR text);

// Every test starts and ends without a store.
class StoreTest : public testing::Test {
protected:
    void SetUp() override { DeleteTree(kProduct); }
    void TearDown() override { DeleteTree(kProduct); }
};

} // namespace ProfilesTest
