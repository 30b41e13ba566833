#include "tests/robustness/RegistryTree.h"
#include <algorithm>
#include <cstdio>
#include "tests/support/TestSupport.h"

namespace VarquelRobustness {

namespace {

std::wstring Folded(const std::wstring& text) {
    std::wstring folded = text;
    if (!folded.empty())
        CharUpperBuffW(folded.data(), static_cast<DWORD>(folded.size()));
    return folded;
}

bool ReadKey(HKEY key, CRegistryTree& tree) {
    DWORD subkeys = 0, longestSubkey = 0, valueCount = 0, longestValueName = 0, longestData = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr, &valueCount,
                         &longestValueName, &longestData, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    for (DWORD i = 0;; ++i) {
        std::wstring name(longestValueName + 2, L'\0');
        std::vector<BYTE> data(longestData + 2);
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = 0;
        LONG status = RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &dataSize);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status == ERROR_MORE_DATA) {  // grew while reading: ask again with more room
            RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestValueName,
                             &longestData, nullptr, nullptr);
            longestValueName += 64;
            longestData += 64;
            --i;
            continue;
        }
        if (status != ERROR_SUCCESS) return false;
        name.resize(nameLength);
        data.resize(dataSize);
        tree.values.push_back({name, type, data, false});
    }
    for (DWORD i = 0;; ++i) {
        std::wstring name(std::max<DWORD>(longestSubkey, 256) + 2, L'\0');
        DWORD nameLength = static_cast<DWORD>(name.size());
        LONG status = RegEnumKeyExW(key, i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) return false;
        name.resize(nameLength);
        HKEY child = nullptr;
        if (RegOpenKeyExW(key, name.c_str(), 0, KEY_READ, &child) != ERROR_SUCCESS) return false;
        CRegistryTree subtree;
        subtree.name = name;
        bool ok = ReadKey(child, subtree);
        RegCloseKey(child);
        if (!ok) return false;
        tree.subkeys.push_back(std::move(subtree));
    }
    return true;
}

std::string Hex(const std::vector<BYTE>& data) {
    std::string text;
    char part[4];
    for (std::size_t i = 0; i < data.size() && i < 64; ++i) {
        std::snprintf(part, sizeof part, "%02x", data[i]);
        text += part;
    }
    if (data.size() > 64) text += "...";
    return text;
}

} // namespace

bool SameKeyName(const std::wstring& a, const std::wstring& b) { return Folded(a) == Folded(b); }

std::string ToAnsi(const std::wstring& text) {
    if (text.empty()) return {};
    // No best fit: a character the code page lacks becomes its default character.
    int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                   nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

std::wstring FromAnsi(const std::string& text) {
    if (text.empty()) return {};
    int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

std::wstring AnsiRoundTrip(const std::wstring& text) { return FromAnsi(ToAnsi(text)); }

std::optional<CRegistryTree> CRegistryTree::Read(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
    CRegistryTree tree;
    std::size_t slash = path.rfind(L'\\');
    tree.name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    bool ok = ReadKey(key, tree);
    RegCloseKey(key);
    if (!ok) return std::nullopt;
    return tree;
}

LONG CRegistryTree::Write(HKEY parent, DWORD options) const {
    HKEY key = nullptr;
    LONG status = RegCreateKeyExW(parent, name.c_str(), 0, nullptr, options, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return status;
    for (const Value& value : values) {
        const BYTE* data = value.data.empty() ? nullptr : value.data.data();
        DWORD size = static_cast<DWORD>(value.data.size());
        if (value.narrow)
            status = RegSetValueExA(key, ToAnsi(value.name).c_str(), 0, value.type, data, size);
        else
            status = RegSetValueExW(key, value.name.c_str(), 0, value.type, data, size);
        if (status != ERROR_SUCCESS) break;
    }
    if (status == ERROR_SUCCESS) {
        for (const CRegistryTree& subkey : subkeys) {
            status = subkey.Write(key, options);
            if (status != ERROR_SUCCESS) break;
        }
    }
    RegCloseKey(key);
    return status;
}

CRegistryTree* CRegistryTree::FindSubkey(const std::wstring& subkeyName) {
    for (CRegistryTree& subkey : subkeys)
        if (SameKeyName(subkey.name, subkeyName)) return &subkey;
    return nullptr;
}

CRegistryTree::Value* CRegistryTree::FindValue(const std::wstring& valueName) {
    for (Value& value : values)
        if (SameKeyName(value.name, valueName)) return &value;
    return nullptr;
}

bool CRegistryTree::Same(const CRegistryTree& a, const CRegistryTree& b) {
    if (!SameKeyName(a.name, b.name) || a.values.size() != b.values.size() || a.subkeys.size() != b.subkeys.size())
        return false;
    for (const Value& value : a.values) {
        auto match = std::find_if(b.values.begin(), b.values.end(),
                                  [&](const Value& other) { return SameKeyName(value.name, other.name); });
        if (match == b.values.end() || match->type != value.type || match->data != value.data) return false;
    }
    for (const CRegistryTree& subkey : a.subkeys) {
        auto match = std::find_if(b.subkeys.begin(), b.subkeys.end(),
                                  [&](const CRegistryTree& other) { return SameKeyName(subkey.name, other.name); });
        if (match == b.subkeys.end() || !Same(subkey, *match)) return false;
    }
    return true;
}

std::string CRegistryTree::Describe(int depth) const {
    std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
    std::string text = indent + "[" + VarquelTest::Narrow(name) + "]\n";
    for (const Value& value : values)
        text += indent + "  " + VarquelTest::Narrow(value.name) + " type " + std::to_string(value.type) + " = " +
                Hex(value.data) + "\n";
    for (const CRegistryTree& subkey : subkeys) text += subkey.Describe(depth + 1);
    return text;
}

std::size_t CRegistryTree::KeyCount() const {
    std::size_t count = 1;
    for (const CRegistryTree& subkey : subkeys) count += subkey.KeyCount();
    return count;
}

CRegistryTree::Value CRegistryTree::Text(const std::wstring& name, const std::wstring& text) {
    Value value{name, REG_SZ, {}, false};
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    value.data.assign(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
    return value;
}

CRegistryTree::Value CRegistryTree::Number(const std::wstring& name, DWORD number) {
    Value value{name, REG_DWORD, {}, false};
    const BYTE* bytes = reinterpret_cast<const BYTE*>(&number);
    value.data.assign(bytes, bytes + sizeof number);
    return value;
}

} // namespace VarquelRobustness
