#include "server/RegistryWriter.h"
#include <algorithm>
#include <iterator>
#include "com/ComError.h"
#include "com/Boundary.h"

namespace Varquel {
namespace {

// Keys below a classes root that hold the entries of every server: only the
// server's own keys inside them are ever removed.
constexpr std::wstring_view kSharedKeys[] = {L"CLSID", L"AppID"};

// The keys that 64-bit Windows keeps apart for 32-bit and 64-bit programs.
// Every other key of the server (ProgIDs, AppID, TypeLib) the x86 and the
// x64 builds share, so it stays while the other build is registered.
constexpr std::wstring_view kPerBitnessKeys[] = {L"CLSID"};

void ThrowIfRegistryFailed(LSTATUS status) {
    if (status != ERROR_SUCCESS) ThrowComError(HResultFromWin32Error(static_cast<DWORD>(status)));
}

// The key whose removal takes an entry away: the entry's top key, or, inside
// a shared key, the server's own key below it. Empty when there is none.
std::wstring RemovalKey(const std::wstring& key) {
    size_t first = key.find(L'\\');
    std::wstring_view top = std::wstring_view(key).substr(0, first);
    if (std::find(std::begin(kSharedKeys), std::end(kSharedKeys), top) == std::end(kSharedKeys))
        return std::wstring(top);
    if (first == key.npos) return {};
    return key.substr(0, key.find(L'\\', first + 1));
}

bool IsPerBitnessKey(std::wstring_view key) {
    std::wstring_view top = key.substr(0, key.find(L'\\'));
    return std::find(std::begin(kPerBitnessKeys), std::end(kPerBitnessKeys), top) != std::end(kPerBitnessKeys);
}

} // namespace

std::wstring Expand(const wchar_t* text, const Parameters& parameters) {
    std::wstring out;
    std::wstring_view rest(text);
    while (!rest.empty()) {
        size_t open = rest.find(L'%');
        size_t close = open == rest.npos ? rest.npos : rest.find(L'%', open + 1);
        if (close == rest.npos) {
            out.append(rest);
            break;
        }
        std::wstring_view name = rest.substr(open + 1, close - open - 1);
        auto found = std::find_if(parameters.begin(), parameters.end(),
                                  [&](const Parameter& p) { return p.name == name; });
        out.append(rest.substr(0, open));
        if (found != parameters.end()) out.append(found->value);
        else out.append(rest.substr(open, close - open + 1));
        rest.remove_prefix(close + 1);
    }
    return out;
}

std::wstring GuidText(const GUID& guid) {
    wchar_t text[39];
    if (StringFromGUID2(guid, text, static_cast<int>(std::size(text))) == 0) ThrowComError(E_UNEXPECTED);
    return text;
}

CRegistryWriter CRegistryWriter::Machine() noexcept { return CRegistryWriter(Wexmoor::CUniqueRegKey()); }

CRegistryWriter CRegistryWriter::User() {
    Wexmoor::CUniqueRegKey root;
    ThrowIfRegistryFailed(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, REG_OPTION_NON_VOLATILE,
                                          KEY_ALL_ACCESS, nullptr, root.Put(), nullptr));
    return CRegistryWriter(std::move(root));
}

void CRegistryWriter::DeleteTree(const std::wstring& key) const {
    LSTATUS status = RegDeleteTreeW(Root(), key.c_str());
    if (status != ERROR_FILE_NOT_FOUND) ThrowIfRegistryFailed(status);
}

void CRegistryWriter::DeleteIfEmpty(const std::wstring& key) const {
    Wexmoor::CUniqueRegKey opened;
    if (RegOpenKeyExW(Root(), key.c_str(), 0, KEY_QUERY_VALUE, opened.Put()) != ERROR_SUCCESS) return;
    DWORD subkeys = 0, values = 0;
    ThrowIfRegistryFailed(RegQueryInfoKeyW(opened.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                           &values, nullptr, nullptr, nullptr, nullptr));
    opened.Reset();
    if (subkeys == 0 && values == 0) DeleteTree(key);
}

bool CRegistryWriter::Exists(const std::wstring& key, REGSAM view) const {
    Wexmoor::CUniqueRegKey opened;
    return RegOpenKeyExW(Root(), key.c_str(), 0, KEY_QUERY_VALUE | view, opened.Put()) == ERROR_SUCCESS;
}

void CRegistryWriter::WriteEntry(const RegistryEntry& entry, const Parameters& parameters) const {
    const std::wstring key = Expand(entry.key, parameters);
    if (entry.freshKey) DeleteTree(key);
    Wexmoor::CUniqueRegKey opened;
    ThrowIfRegistryFailed(RegCreateKeyExW(Root(), key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                                          nullptr, opened.Put(), nullptr));
    if (!entry.data) return;
    const std::wstring data = Expand(entry.data, parameters);
    const std::wstring name = entry.valueName ? Expand(entry.valueName, parameters) : std::wstring();
    ThrowIfRegistryFailed(RegSetValueExW(opened.Get(), entry.valueName ? name.c_str() : nullptr, 0, REG_SZ,
                                         reinterpret_cast<const BYTE*>(data.c_str()),
                                         static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))));
}

void CRegistryWriter::Write(std::span<const RegistryEntry> entries, const Parameters& parameters) const {
    for (const RegistryEntry& entry : entries) WriteEntry(entry, parameters);
}

void CRegistryWriter::Remove(std::span<const RegistryEntry> entries, const Parameters& parameters,
                             Keys which) const {
    std::vector<std::wstring> removed;
    for (const RegistryEntry& entry : entries) {
        std::wstring key = RemovalKey(Expand(entry.key, parameters));
        if (key.empty() || IsPerBitnessKey(key) != (which == Keys::PerBitness)) continue;
        if (std::find(removed.begin(), removed.end(), key) != removed.end()) continue;
        DeleteTree(key);
        removed.push_back(std::move(key));
    }
}

} // namespace Varquel
