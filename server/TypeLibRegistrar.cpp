#include "server/TypeLibRegistrar.h"
#include <oleauto.h>
#include <cwchar>
#include <iterator>
#include <vector>
#include "com/Bstr.h"
#include "com/ComError.h"
#include "com/TextCompare.h"

namespace Varquel {
namespace {

using Microsoft::WRL::ComPtr;

// The library at the neutral locale too, beside the entry under its own
// locale: the marshaler that builds proxies for clients in other apartments
// looks the library up at locale 0 only.
constexpr RegistryEntry kNeutralLocaleEntries[] = {
    {L"TypeLib\\%LIBID%\\%VERSION%\\0\\%SYSKIND%", nullptr, L"%PATH%", false},
};

// What the platform's RegisterTypeLib writes, for the user's registration.
constexpr RegistryEntry kLibraryEntries[] = {
    {L"TypeLib\\%LIBID%\\%VERSION%", nullptr, L"%DOC%", false},
    {L"TypeLib\\%LIBID%\\%VERSION%\\%LCID%\\%SYSKIND%", nullptr, L"%PATH%", false},
    {L"TypeLib\\%LIBID%\\%VERSION%\\FLAGS", nullptr, L"%FLAGS%", false},
    {L"TypeLib\\%LIBID%\\%VERSION%\\HELPDIR", nullptr, L"%HELPDIR%", false},
};
constexpr RegistryEntry kInterfaceEntries[] = {
    {L"Interface\\%IID%", nullptr, L"%NAME%", true},
    {L"Interface\\%IID%\\ProxyStubClsid", nullptr, L"%PROXYSTUB%", false},
    {L"Interface\\%IID%\\ProxyStubClsid32", nullptr, L"%PROXYSTUB%", false},
    {L"Interface\\%IID%\\TypeLib", nullptr, L"%LIBID%", false},
    {L"Interface\\%IID%\\TypeLib", L"Version", L"%VERSION%", false},
};

// The marshalers of an automation interface: the type library's for a dual
// or oleautomation interface, IDispatch's for a pure dispinterface.
constexpr wchar_t kTypeLibMarshaler[] = L"{00020424-0000-0000-C000-000000000046}";
constexpr wchar_t kDispatchMarshaler[] = L"{00020420-0000-0000-C000-000000000046}";

TLIBATTR LibraryAttributes(ITypeLib* library) {
    TLIBATTR* attributes = nullptr;
    ThrowIfFailed(library->GetLibAttr(&attributes));
    const TLIBATTR copy = *attributes;
    library->ReleaseTLibAttr(attributes);
    return copy;
}

std::wstring Hex(unsigned value) {
    wchar_t text[16];
    swprintf(text, std::size(text), L"%x", value);
    return text;
}

std::wstring DirectoryOf(const std::wstring& path) {
    size_t slash = path.rfind(L'\\');
    return slash == path.npos ? std::wstring() : path.substr(0, slash);
}

Parameters LibraryParameters(const ServerTypeLib& loaded) {
    const TLIBATTR attr = LibraryAttributes(loaded.library.Get());
    CBstr doc;
    ThrowIfFailed(loaded.library->GetDocumentation(-1, nullptr, doc.ReleaseAndGetAddressOf(), nullptr, nullptr));
    return {{L"LIBID", GuidText(attr.guid)},
            {L"VERSION", Hex(attr.wMajorVerNum) + L"." + Hex(attr.wMinorVerNum)},
            {L"LCID", Hex(attr.lcid)},
            {L"SYSKIND", attr.syskind == SYS_WIN64 ? L"win64" : L"win32"},
            {L"PATH", loaded.path},
            {L"DOC", std::wstring(TextOf(doc.Get()))},
            {L"FLAGS", std::to_wstring(attr.wLibFlags)},
            {L"HELPDIR", DirectoryOf(loaded.path)}};
}

// The parameters of every interface that the platform's registration
// records: the dispinterfaces and the oleautomation interfaces.
std::vector<Parameters> InterfaceParameters(ITypeLib* library, const Parameters& libraryParameters) {
    std::vector<Parameters> interfaces;
    for (UINT i = 0, count = library->GetTypeInfoCount(); i < count; ++i) {
        ComPtr<ITypeInfo> info;
        ThrowIfFailed(library->GetTypeInfo(i, &info));
        TYPEATTR* attr = nullptr;
        ThrowIfFailed(info->GetTypeAttr(&attr));
        const TYPEKIND kind = attr->typekind;
        const WORD flags = attr->wTypeFlags;
        const GUID iid = attr->guid;
        info->ReleaseTypeAttr(attr);
        if (kind != TKIND_DISPATCH && !(kind == TKIND_INTERFACE && (flags & TYPEFLAG_FOLEAUTOMATION))) continue;
        CBstr name;
        ThrowIfFailed(library->GetDocumentation(static_cast<INT>(i), name.ReleaseAndGetAddressOf(), nullptr, nullptr,
                                                nullptr));
        Parameters parameters = libraryParameters;
        parameters.push_back({L"IID", GuidText(iid)});
        parameters.push_back({L"NAME", std::wstring(TextOf(name.Get()))});
        const bool pureDispatch = kind == TKIND_DISPATCH && !(flags & TYPEFLAG_FDUAL);
        parameters.push_back({L"PROXYSTUB", pureDispatch ? kDispatchMarshaler : kTypeLibMarshaler});
        interfaces.push_back(std::move(parameters));
    }
    return interfaces;
}

} // namespace

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

void RegisterServerTypeLib(const CRegistryWriter& writer, const ServerTypeLib& loaded) {
    const Parameters parameters = LibraryParameters(loaded);
    if (writer.IsUser()) {
        writer.Write(kLibraryEntries, parameters);
        for (const Parameters& itf : InterfaceParameters(loaded.library.Get(), parameters))
            writer.Write(kInterfaceEntries, itf);
    } else {
        std::wstring path = loaded.path;
        std::wstring helpDirectory = DirectoryOf(path);
        ThrowIfFailed(RegisterTypeLib(loaded.library.Get(), path.data(),
                                      helpDirectory.empty() ? nullptr : helpDirectory.data()));
    }
    writer.Write(kNeutralLocaleEntries, parameters);
}

// The neutral-locale entries go first, so that the library's key, finding
// nothing else under the version, is removed whole.
void UnregisterServerTypeLib(const CRegistryWriter& writer, const ServerTypeLib& loaded) {
    const Parameters parameters = LibraryParameters(loaded);
    std::vector<std::wstring> platformKeys{Expand(kNeutralLocaleEntries[0].key, parameters)};
    if (writer.IsUser()) platformKeys.push_back(Expand(kLibraryEntries[1].key, parameters));
    for (const std::wstring& key : platformKeys) {
        writer.DeleteTree(key);
        // The locale key goes when no other platform's entry is left in it.
        writer.DeleteIfEmpty(key.substr(0, key.rfind(L'\\')));
    }
    if (!writer.IsUser()) {
        const TLIBATTR attr = LibraryAttributes(loaded.library.Get());
        ThrowIfFailed(UnRegisterTypeLib(attr.guid, attr.wMajorVerNum, attr.wMinorVerNum, attr.lcid, attr.syskind));
        return;
    }
    for (const Parameters& itf : InterfaceParameters(loaded.library.Get(), parameters))
        writer.DeleteTree(Expand(kInterfaceEntries[0].key, itf));
    // The version's key goes when no locale is left under it: its own values
    // (FLAGS, HELPDIR) are the library's, not another platform's.
    const std::wstring version = Expand(kLibraryEntries[0].key, parameters);
    bool localeLeft = false;
    {
        Wexmoor::CUniqueRegKey opened;
        if (RegOpenKeyExW(writer.Root(), version.c_str(), 0, KEY_ENUMERATE_SUB_KEYS, opened.Put()) == ERROR_SUCCESS) {
            wchar_t name[256];
            for (DWORD i = 0; !localeLeft; ++i) {
                DWORD length = static_cast<DWORD>(std::size(name));
                if (RegEnumKeyExW(opened.Get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                    break;
                const std::wstring_view sub(name, length);
                localeLeft = !EqualsNoCase(sub, L"FLAGS") && !EqualsNoCase(sub, L"HELPDIR");
            }
        }
    }
    if (!localeLeft) writer.DeleteTree(version);
    writer.DeleteIfEmpty(version.substr(0, version.rfind(L'\\')));
}

} // namespace Varquel
