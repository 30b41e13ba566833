#include "tests/robustness/ReferenceReader.h"
#include <string>
#include "tests/robustness/RegistryTree.h"

namespace VarquelRobustness {

namespace {

// One open key, closed on scope exit.
class CKey {
public:
    CKey() = default;
    ~CKey() { if (m_key) RegCloseKey(m_key); }
    CKey(const CKey&) = delete;
    CKey& operator=(const CKey&) = delete;
    LONG Open(HKEY parent, const std::string& name) {
        return RegOpenKeyExA(parent, name.c_str(), 0, KEY_ALL_ACCESS, &m_key);
    }
    HKEY Get() const { return m_key; }
private:
    HKEY m_key = nullptr;
};

std::vector<std::string> SubkeyNames(HKEY key) {
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
        char name[1024];
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    return names;
}

enum class Read { Missing, OtherType, Text, Number, BadNumber };

// A value as the store's reader sees it: a text (REG_SZ, REG_EXPAND_SZ) up to
// its first NUL, or a 4-byte number (REG_DWORD, REG_DWORD_BIG_ENDIAN, bytes as
// stored).
Read QueryText(HKEY key, const char* name, std::wstring& text) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return Read::Missing;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return Read::OtherType;
    std::string data(size, '\0');
    if (size && RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
        return Read::Missing;
    data.resize(size);
    std::size_t nul = data.find('\0');
    if (nul != std::string::npos) data.resize(nul);
    text = FromAnsi(data);
    return Read::Text;
}

Read QueryNumber(HKEY key, const char* name, DWORD& number) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return Read::Missing;
    if (type != REG_DWORD && type != REG_DWORD_BIG_ENDIAN) return Read::OtherType;
    if (size != 4) return Read::BadNumber;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&number), &size) != ERROR_SUCCESS)
        return Read::Missing;
    return Read::Number;
}

// The adapters step: any failure ends it, keeping what was read.
void ReadAdapters(HKEY profileKey, StoredProfile& profile, std::map<std::string, long>& rows) {
    CKey adapters;
    if (adapters.Open(profileKey, "NetAdapterList") != ERROR_SUCCESS) {
        ++rows["no NetAdapterList"];
        return;
    }
    for (const std::string& adapterName : SubkeyNames(adapters.Get())) {
        CKey adapterKey;
        if (adapterKey.Open(adapters.Get(), adapterName) != ERROR_SUCCESS) {
            ++rows["adapter key the narrow API cannot open"];
            return;
        }
        profile.adapters.emplace_back();
        StoredAdapter& adapter = profile.adapters.back();
        adapter.name = FromAnsi(adapterName);
        std::wstring connection;
        Read read = QueryText(adapterKey.Get(), "NetConnectionID", connection);
        if (read == Read::Missing) {
            ++rows["adapter without NetConnectionID"];
            return;
        }
        if (read == Read::Text) adapter.connection = connection;
        else ++rows["NetConnectionID not a text"];
        DWORD dhcp = 0;
        read = QueryNumber(adapterKey.Get(), "IsDHCP", dhcp);
        if (read == Read::Missing || read == Read::BadNumber) {
            ++rows[read == Read::Missing ? "adapter without IsDHCP" : "IsDHCP number not 4 bytes"];
            return;
        }
        if (read == Read::OtherType) ++rows["IsDHCP not a number"];
        adapter.dhcp = static_cast<VARIANT_BOOL>(static_cast<WORD>(dhcp & 0xFFFF));
        for (std::size_t l = 0; l < 5; ++l) {
            CKey list;
            if (list.Open(adapterKey.Get(), ToAnsi(StoredAdapter::kListNames[l])) != ERROR_SUCCESS) {
                ++rows["missing list key"];
                return;
            }
            for (const std::string& entry : SubkeyNames(list.Get())) adapter.lists[l].push_back(FromAnsi(entry));
        }
    }
}

void ReadDefaultPrinter(HKEY profileKey, StoredProfile& profile, std::map<std::string, long>& rows) {
    CKey printers;
    if (printers.Open(profileKey, "Printers") != ERROR_SUCCESS) {
        ++rows["no Printers"];
        return;
    }
    std::wstring device;
    Read read = QueryText(printers.Get(), "Default", device);
    if (read == Read::Text) profile.defaultPrinter = device;
    else ++rows[read == Read::Missing ? "no Default" : "Default not a text"];
}

} // namespace

CReferenceReader::Result CReferenceReader::Read(const char* profilesPath) {
    Result result;
    CKey root;
    if (root.Open(HKEY_CURRENT_USER, profilesPath) != ERROR_SUCCESS) return result;
    for (const std::string& profileName : SubkeyNames(root.Get())) {
        CKey profileKey;
        LONG status = profileKey.Open(root.Get(), profileName);
        if (status != ERROR_SUCCESS) {
            result.load = HRESULT_FROM_WIN32(status);
            ++result.rows["profile key the narrow API cannot open"];
            return result;
        }
        StoredProfile profile;
        profile.name = FromAnsi(profileName);
        ReadAdapters(profileKey.Get(), profile, result.rows);
        ReadDefaultPrinter(profileKey.Get(), profile, result.rows);
        result.profiles.push_back(std::move(profile));
    }
    return result;
}

} // namespace VarquelRobustness
