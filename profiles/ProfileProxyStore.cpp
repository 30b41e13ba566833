#include "profiles/ProfileProxyStore.h"
#include <cstdlib>
#include <memory>
#include "com/Boundary.h"
#include "profiles/ProfileStore.h"
#include "profiles/RegistrySeam.h"
#include "profiles/StoreText.h"

namespace Varquel::ProfileProxyStore {

namespace {

using Wexmoor::CRegistryKey;

const char kProxies[] = "ProfileProxies";

struct CFlagValue {
    const char* name;
    bool UserProxySetting::*field;
};
struct CTextValue {
    const char* name;
    std::wstring UserProxySetting::*field;
};
constexpr CFlagValue kFlags[] = {{"AutoDetect", &UserProxySetting::autoDetect},
                                 {"AutoConfigEnabled", &UserProxySetting::autoConfigEnabled},
                                 {"ProxyEnabled", &UserProxySetting::proxyEnabled}};
constexpr CTextValue kTexts[] = {{"AutoConfigURL", &UserProxySetting::autoConfigUrl},
                                 {"ProxyServer", &UserProxySetting::proxyServer},
                                 {"ProxyBypass", &UserProxySetting::proxyBypass}};

} // namespace

bool CanHold(const wchar_t* profileName) { return StoreText::IsKeyName(StoreText::AsStoredName(profileName)); }

namespace {

// The profile name's key name, narrow, as the profile store writes it.
std::string KeyName(const wchar_t* profileName) {
    if (!CanHold(profileName)) ThrowComError(E_INVALIDARG);
    return StoreText::ToAnsi(profileName);
}

// The profile's key below "Quoran".
std::string KeyPath(const std::string& name) { return std::string(kProxies) + "\\" + name; }

// A value's data; false when the value is missing or of another type.
template <class Value>
bool Query(const CRegistryKey& key, const char* name, Value& value) {
    try {
        return key.QueryValue(name, value);
    } catch (const CRegistryKey::Exception& e) {
        if (e.GetError() == ERROR_FILE_NOT_FOUND) return false;
        throw;
    }
}

std::wstring Text(const CRegistryKey& key, const char* name) {
    char* value = nullptr;
    if (!Query(key, name, value)) return {};
    const std::unique_ptr<char, decltype(&std::free)> owned(value, &std::free);
    const CBstr wide = StoreText::FromAnsi(owned.get());
    return std::wstring(wide.Get() ? wide.Get() : L"", wide.Length());
}

} // namespace

std::optional<UserProxySetting> Find(const wchar_t* profileName) {
    return ThroughRegistry([&]() -> std::optional<UserProxySetting> {
        // Reading creates nothing, so a preview leaves the registry as it found it.
        const std::optional<CRegistryKey> found = CProfileStore::OpenExisting(KeyPath(KeyName(profileName)), KEY_READ);
        if (!found) return std::nullopt;
        const CRegistryKey& key = *found;
        UserProxySetting proxy;
        // A value that is missing or of another type reads as off, or empty.
        for (const CFlagValue& flag : kFlags) {
            DWORD value = 0;
            proxy.*flag.field = Query(key, flag.name, value) && value != 0;
        }
        for (const CTextValue& text : kTexts) proxy.*text.field = Text(key, text.name);
        return proxy;
    });
}

void Remember(const wchar_t* profileName, const UserProxySetting& proxy) {
    ThroughRegistry([&] {
        char noClass[] = "";
        const CRegistryKey key = CProfileStore::OpenProduct().CreateOrOpenKey(
            KeyPath(KeyName(profileName)).c_str(), nullptr, noClass, 0, KEY_ALL_ACCESS, nullptr);
        for (const CFlagValue& flag : kFlags) key.SetValue(flag.name, proxy.*flag.field ? 1u : 0u, REG_DWORD);
        for (const CTextValue& text : kTexts)
            key.SetValue(text.name, StoreText::ToAnsi((proxy.*text.field).c_str()).c_str(), REG_SZ);
    });
}

void Forget(const wchar_t* profileName) {
    ThroughRegistry([&] {
        const std::string name = KeyName(profileName);
        const std::optional<CRegistryKey> proxies = CProfileStore::OpenExisting(kProxies, KEY_ALL_ACCESS);
        if (proxies && CProfileStore::OpenExisting(KeyPath(name), KEY_READ)) proxies->DeleteKeyTree(name.c_str());
    });
}

} // namespace Varquel::ProfileProxyStore
