#include "server/Registrar.h"
#include <oleauto.h>
#include <wrl/client.h>
#include <algorithm>
#include <cwchar>
#include <string>
#include <string_view>
#include <vector>
#include "Varquel_h.h"
#include "com/Boundary.h"
#include "com/Module.h"
#include "registry/UniqueRegKey.h"
#include "server/ClassTable.h"

namespace Varquel {
namespace {

using Microsoft::WRL::ComPtr;

constexpr RegistryEntry kAppIdEntries[] = {
    {L"AppID\\%APPID%", nullptr, L"Varquel", false},
    {L"AppID\\Varquel.DLL", L"AppID", L"%APPID%", false},
};

// A class's server key: its presence says the class is registered.
constexpr wchar_t kServerKey[] = L"CLSID\\%CLSID%\\%MODULETYPE%";

constexpr RegistryEntry kClassEntries[] = {
    {L"%ProgID%", nullptr, L"%FriendlyName%", false},
    {L"%ProgID%\\CLSID", nullptr, L"%CLSID%", false},
    {L"%VersionIndependentProgID%", nullptr, L"%FriendlyName%", false},
    {L"%VersionIndependentProgID%\\CLSID", nullptr, L"%CLSID%", false},
    {L"%VersionIndependentProgID%\\CurVer", nullptr, L"%ProgID%", false},
    {L"CLSID\\%CLSID%", nullptr, L"%FriendlyName%", true},
    {L"CLSID\\%CLSID%\\ProgID", nullptr, L"%ProgID%", false},
    {L"CLSID\\%CLSID%\\VersionIndependentProgID", nullptr, L"%VersionIndependentProgID%", false},
    {L"CLSID\\%CLSID%\\Programmable", nullptr, nullptr, true},
    {kServerKey, nullptr, L"%MODULE%", false},
    {kServerKey, L"ThreadingModel", L"apartment", false},
    {L"CLSID\\%CLSID%", L"AppID", L"%APPID%", false},
    {L"CLSID\\%CLSID%\\TypeLib", nullptr, L"%MODULEGUID%", false},
};

// The type library at the neutral locale too, beside the entry under its own
// locale that RegisterTypeLib writes: the marshaler that builds proxies for
// clients in other apartments looks the library up at locale 0 only.
constexpr RegistryEntry kNeutralLocaleTypeLibEntries[] = {
    {L"TypeLib\\%MODULEGUID%\\%TYPELIBVERSION%\\0\\%SYSKIND%", nullptr, L"%TYPELIBPATH%", false},
};

// Keys below HKEY_CLASSES_ROOT that hold the entries of every server: only
// the server's own keys inside them are ever removed.
constexpr std::wstring_view kSharedKeys[] = {L"CLSID", L"AppID"};

// The keys that 64-bit Windows keeps apart for 32-bit and 64-bit programs.
// Every other key of the server (ProgIDs, AppID, TypeLib) the x86 and the
// x64 builds share, so it stays while the other build is registered.
constexpr std::wstring_view kPerBitnessKeys[] = {L"CLSID"};

// The registry view of the server of the other bitness.
constexpr REGSAM kOtherBitnessView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

// The server's AppID is the identity of its type library.
const GUID& AppId() noexcept { return LIBID_Varquel; }

struct Parameter {
    std::wstring_view name;
    std::wstring value;
};
using Parameters = std::vector<Parameter>;

// Replaces every %NAME% of `text` by its parameter; an unknown name stays as written.
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

void ThrowIfRegistryFailed(LSTATUS status) {
    if (status != ERROR_SUCCESS) ThrowComError(HResultFromWin32Error(static_cast<DWORD>(status)));
}

// Deletes a key below HKEY_CLASSES_ROOT with everything below it; a key that
// is not there is no failure.
void DeleteTree(const std::wstring& key) {
    LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
    if (status != ERROR_FILE_NOT_FOUND) ThrowIfRegistryFailed(status);
}

void WriteEntry(const RegistryEntry& entry, const Parameters& parameters) {
    const std::wstring key = Expand(entry.key, parameters);
    if (entry.freshKey) DeleteTree(key);
    Wexmoor::CUniqueRegKey opened;
    ThrowIfRegistryFailed(RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                          KEY_SET_VALUE, nullptr, opened.Put(), nullptr));
    if (!entry.data) return;
    const std::wstring data = Expand(entry.data, parameters);
    const std::wstring name = entry.valueName ? Expand(entry.valueName, parameters) : std::wstring();
    ThrowIfRegistryFailed(RegSetValueExW(opened.Get(), entry.valueName ? name.c_str() : nullptr, 0, REG_SZ,
                                         reinterpret_cast<const BYTE*>(data.c_str()),
                                         static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))));
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

void WriteEntries(std::span<const RegistryEntry> entries, const Parameters& parameters) {
    for (const RegistryEntry& entry : entries) WriteEntry(entry, parameters);
}

bool IsPerBitnessKey(std::wstring_view key) {
    std::wstring_view top = key.substr(0, key.find(L'\\'));
    return std::find(std::begin(kPerBitnessKeys), std::end(kPerBitnessKeys), top) != std::end(kPerBitnessKeys);
}

enum class Keys { PerBitness, Shared };

// Removes the entries' keys of one kind.
void RemoveEntries(std::span<const RegistryEntry> entries, const Parameters& parameters, Keys which) {
    std::vector<std::wstring> removed;
    for (const RegistryEntry& entry : entries) {
        std::wstring key = RemovalKey(Expand(entry.key, parameters));
        if (key.empty() || IsPerBitnessKey(key) != (which == Keys::PerBitness)) continue;
        if (std::find(removed.begin(), removed.end(), key) != removed.end()) continue;
        DeleteTree(key);
        removed.push_back(std::move(key));
    }
}

std::wstring GuidText(const GUID& guid) {
    wchar_t text[39];
    if (StringFromGUID2(guid, text, static_cast<int>(std::size(text))) == 0) ThrowComError(E_UNEXPECTED);
    return text;
}

// The full path of the server's file; a path that fills the 260-character
// buffer is refused rather than registered truncated.
std::wstring ModulePath() {
    wchar_t buffer[MAX_PATH];
    DWORD length = GetModuleFileNameW(Module::Handle(), buffer, MAX_PATH);
    if (length == 0) ThrowComError(HResultFromWin32Error(GetLastError()));
    if (length >= MAX_PATH) ThrowComError(HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
    return std::wstring(buffer, length);
}

Parameters ServerParameters(const std::wstring& modulePath) {
    Parameters parameters;
    parameters.push_back({L"MODULE", modulePath});
    parameters.push_back({L"MODULETYPE", L"InprocServer32"});
    parameters.push_back({L"MODULEGUID", GuidText(LIBID_Varquel)});
    parameters.push_back({L"APPID", GuidText(AppId())});
    return parameters;
}

Parameters ClassParameters(const Parameters& server, const ClassEntry& entry) {
    Parameters parameters = server;
    parameters.push_back({L"CLSID", GuidText(*entry.clsid)});
    parameters.push_back({L"ProgID", entry.progId});
    parameters.push_back({L"VersionIndependentProgID", entry.versionIndependentProgId});
    parameters.push_back({L"FriendlyName", entry.friendlyName});
    return parameters;
}

struct ServerTypeLib {
    ComPtr<ITypeLib> library;
    std::wstring path;  // the file it was loaded from
};

// The type library from the server's own file, or else from the ".tlb" beside it.
ServerTypeLib LoadServerTypeLib(const std::wstring& modulePath) {
    ServerTypeLib loaded{nullptr, modulePath};
    if (SUCCEEDED(LoadTypeLibEx(loaded.path.c_str(), REGKIND_NONE, &loaded.library))) return loaded;
    size_t dot = modulePath.rfind(L'.');
    size_t slash = modulePath.rfind(L'\\');
    if (dot == modulePath.npos || (slash != modulePath.npos && dot < slash)) dot = modulePath.size();
    loaded.path = modulePath.substr(0, dot) + L".tlb";
    ThrowIfFailed(LoadTypeLibEx(loaded.path.c_str(), REGKIND_NONE, &loaded.library));
    return loaded;
}

TLIBATTR LibraryAttributes(ITypeLib* library) {
    TLIBATTR* attributes = nullptr;
    ThrowIfFailed(library->GetLibAttr(&attributes));
    const TLIBATTR copy = *attributes;
    library->ReleaseTLibAttr(attributes);
    return copy;
}

Parameters NeutralLocaleParameters(const Parameters& server, const ServerTypeLib& loaded) {
    const TLIBATTR attr = LibraryAttributes(loaded.library.Get());
    wchar_t version[16];
    swprintf(version, std::size(version), L"%x.%x", attr.wMajorVerNum, attr.wMinorVerNum);
    Parameters parameters = server;
    parameters.push_back({L"TYPELIBVERSION", version});
    parameters.push_back({L"SYSKIND", attr.syskind == SYS_WIN64 ? L"win64" : L"win32"});
    parameters.push_back({L"TYPELIBPATH", loaded.path});
    return parameters;
}

void RegisterServerTypeLib(const std::wstring& modulePath, const Parameters& server) {
    ServerTypeLib loaded = LoadServerTypeLib(modulePath);
    size_t slash = loaded.path.rfind(L'\\');
    std::wstring helpDirectory = slash == loaded.path.npos ? std::wstring() : loaded.path.substr(0, slash);
    ThrowIfFailed(RegisterTypeLib(loaded.library.Get(), loaded.path.data(),
                                  helpDirectory.empty() ? nullptr : helpDirectory.data()));
    WriteEntries(kNeutralLocaleTypeLibEntries, NeutralLocaleParameters(server, loaded));
}

// The neutral-locale entries go first, so that UnRegisterTypeLib, finding
// nothing else under the version, removes the library's key whole.
void UnregisterServerTypeLib(const std::wstring& modulePath, const Parameters& server) {
    ServerTypeLib loaded = LoadServerTypeLib(modulePath);
    const Parameters parameters = NeutralLocaleParameters(server, loaded);
    for (const RegistryEntry& entry : kNeutralLocaleTypeLibEntries) {
        const std::wstring key = Expand(entry.key, parameters);
        DeleteTree(key);
        // The locale key goes when no other platform's entry is left in it.
        RegDeleteKeyW(HKEY_CLASSES_ROOT, key.substr(0, key.rfind(L'\\')).c_str());
    }
    const TLIBATTR attr = LibraryAttributes(loaded.library.Get());
    ThrowIfFailed(UnRegisterTypeLib(attr.guid, attr.wMajorVerNum, attr.wMinorVerNum, attr.lcid, attr.syskind));
}

} // namespace

std::span<const RegistryEntry> AppIdRegistryEntries() noexcept { return kAppIdEntries; }
std::span<const RegistryEntry> ClassRegistryEntries() noexcept { return kClassEntries; }

HRESULT RegisterServer() noexcept {
    return ComBoundary([]() -> HRESULT {
        const std::wstring modulePath = ModulePath();
        const Parameters server = ServerParameters(modulePath);
        WriteEntries(kAppIdEntries, server);
        for (const ClassEntry& entry : ClassTable()) WriteEntries(kClassEntries, ClassParameters(server, entry));
        RegisterServerTypeLib(modulePath, server);
        return S_OK;
    });
}

// Whether a class of the server is registered for the other bitness. Asked
// once this server's own class keys are gone: where there is no other view
// (32-bit Windows), the flag is ignored and the answer is about this view.
bool OtherBitnessRegistered(const Parameters& server) {
    for (const ClassEntry& entry : ClassTable()) {
        const std::wstring key = Expand(kServerKey, ClassParameters(server, entry));
        Wexmoor::CUniqueRegKey opened;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_QUERY_VALUE | kOtherBitnessView, opened.Put()) ==
            ERROR_SUCCESS)
            return true;
    }
    return false;
}

HRESULT UnregisterServer() noexcept {
    return ComBoundary([]() -> HRESULT {
        const std::wstring modulePath = ModulePath();
        const Parameters server = ServerParameters(modulePath);
        for (const ClassEntry& entry : ClassTable())
            RemoveEntries(kClassEntries, ClassParameters(server, entry), Keys::PerBitness);
        // The type library's entries for this bitness alone: the library's
        // key goes with the last of them.
        UnregisterServerTypeLib(modulePath, server);
        if (OtherBitnessRegistered(server)) return S_OK;
        for (const ClassEntry& entry : ClassTable())
            RemoveEntries(kClassEntries, ClassParameters(server, entry), Keys::Shared);
        RemoveEntries(kAppIdEntries, server, Keys::Shared);
        return S_OK;
    });
}

} // namespace Varquel
