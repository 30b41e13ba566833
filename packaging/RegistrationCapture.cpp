// RegistrationCapture <Varquel.dll> <out.json> [user]
//
// Runs the server's own registration (DllRegisterServer, or DllInstall with
// "user") with its registry root redirected (RegOverridePredefKey) into a
// scratch key, and writes what it wrote there as JSON: every key below the
// classes root with its values, plus the type library's identity and dual
// interfaces. The packages' registry rows and the manifests are made from it,
// so registration has one source. Leaves the registry as it found it.
//
// {"module": path, "scope": "machine"|"user",
//  "keys": [{"key": "CLSID\\{...}", "values": [{"name": "", "data": "..."}]}, ...],
//  "typelib": {"libid": "{...}", "version": "1.0"},
//  "dualInterfaces": [{"iid": "{...}", "name": "IAddressList"}, ...]}
#include <windows.h>
#include <oleauto.h>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>
#include <wrl/client.h>
#include "com/Bstr.h"
#include "registry/UniqueRegKey.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr wchar_t kScratchParent[] = L"Software\\VarquelRegistrationCapture";
// Containers every classes root has; the registration writes into them.
constexpr const wchar_t* kContainers[] = {L"CLSID", L"AppID", L"TypeLib", L"Interface"};

[[noreturn]] void Fail(const wchar_t* what, long code) {
    fwprintf(stderr, L"RegistrationCapture: %ls failed (0x%08lx)\n", what, code);
    exit(1);
}

using CKey = Wexmoor::CUniqueRegKey;

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::string Json(const std::wstring& text) {
    std::string out = "\"";
    for (char c : Utf8(text)) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            snprintf(escaped, sizeof(escaped), "\\u%04x", c);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::wstring GuidText(REFGUID guid) {
    wchar_t text[39] = {};
    StringFromGUID2(guid, text, 39);
    return text;
}

// Every key below `key` (pre-order, subkeys in the registry's order) as JSON
// objects; the containers themselves are left out when they hold no value.
void DumpKeys(HKEY key, const std::wstring& path, std::vector<std::string>& out) {
    std::string values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD nameLength = 16384, type = 0, size = 0;
        LSTATUS status = RegEnumValueW(key, i, name, &nameLength, nullptr, &type, nullptr, &size);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) Fail(L"RegEnumValue", status);
        if (type != REG_SZ) Fail(L"a value that is not REG_SZ", static_cast<long>(type));
        std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
        nameLength = 16384;
        size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        status = RegEnumValueW(key, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
        if (status != ERROR_SUCCESS) Fail(L"RegEnumValue", status);
        data.resize(wcsnlen(data.c_str(), size / sizeof(wchar_t)));
        if (!values.empty()) values += ", ";
        values += "{\"name\": " + Json(std::wstring(name, nameLength)) + ", \"data\": " + Json(data) + "}";
    }
    bool container = false;
    for (const wchar_t* c : kContainers) container = container || _wcsicmp(path.c_str(), c) == 0;
    if (!path.empty() && !(container && values.empty()))
        out.push_back("{\"key\": " + Json(path) + ", \"values\": [" + values + "]}");
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        LSTATUS status = RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) Fail(L"RegEnumKeyEx", status);
        CKey sub;
        status = RegOpenKeyExW(key, name, 0, KEY_READ, sub.Put());
        if (status != ERROR_SUCCESS) Fail(L"RegOpenKeyEx", status);
        DumpKeys(sub.Get(), path.empty() ? name : path + L"\\" + name, out);
    }
}

struct Interface {
    std::wstring iid;
    std::wstring name;
    bool dual;
};

// The interfaces a type library's registration records (the dispinterfaces
// and the oleautomation ones), and the library's identity.
std::vector<Interface> LibraryInterfaces(ITypeLib* library) {
    std::vector<Interface> interfaces;
    for (UINT i = 0, count = library->GetTypeInfoCount(); i < count; ++i) {
        ComPtr<ITypeInfo> info;
        if (FAILED(library->GetTypeInfo(i, &info))) Fail(L"GetTypeInfo", static_cast<long>(i));
        TYPEATTR* attr = nullptr;
        if (FAILED(info->GetTypeAttr(&attr))) Fail(L"GetTypeAttr", static_cast<long>(i));
        const bool recorded = attr->typekind == TKIND_DISPATCH ||
                              (attr->typekind == TKIND_INTERFACE && (attr->wTypeFlags & TYPEFLAG_FOLEAUTOMATION));
        Interface found{GuidText(attr->guid), {}, (attr->wTypeFlags & TYPEFLAG_FDUAL) != 0};
        info->ReleaseTypeAttr(attr);
        if (!recorded) continue;
        Varquel::CBstr name;
        library->GetDocumentation(static_cast<INT>(i), name.ReleaseAndGetAddressOf(), nullptr, nullptr, nullptr);
        found.name.assign(name.Get() ? name.Get() : L"", name.Get() ? SysStringLen(name.Get()) : 0);
        interfaces.push_back(std::move(found));
    }
    return interfaces;
}

bool KeyExists(HKEY root, const std::wstring& path, REGSAM view) {
    CKey key;
    return RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.Put()) == ERROR_SUCCESS;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3 || (argc == 4 && _wcsicmp(argv[3], L"user") != 0) || argc > 4) {
        fwprintf(stderr, L"usage: RegistrationCapture <Varquel.dll> <out.json> [user]\n");
        return 2;
    }
    const bool user = argc == 4;
    wchar_t module[MAX_PATH];
    if (!GetFullPathNameW(argv[1], MAX_PATH, module, nullptr)) Fail(L"GetFullPathName", GetLastError());

    ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(module, REGKIND_NONE, &library);
    if (FAILED(hr)) Fail(L"LoadTypeLibEx", hr);
    TLIBATTR* libAttr = nullptr;
    hr = library->GetLibAttr(&libAttr);
    if (FAILED(hr)) Fail(L"GetLibAttr", hr);
    const std::wstring libid = GuidText(libAttr->guid);
    wchar_t version[16];
    swprintf(version, 16, L"%x.%x", libAttr->wMajorVerNum, libAttr->wMinorVerNum);
    library->ReleaseTLibAttr(libAttr);
    const std::vector<Interface> interfaces = LibraryInterfaces(library.Get());

    // Wine's RegisterTypeLib records the interfaces in the other registry view
    // too, past the redirected root: whatever it adds there is taken away again.
    const REGSAM otherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    std::vector<std::wstring> strays;
    for (const Interface& itf : interfaces) {
        const std::wstring key = L"Interface\\" + itf.iid;
        if (!KeyExists(HKEY_CLASSES_ROOT, key, otherView)) strays.push_back(key);
    }

    wchar_t scratchPath[128];
    swprintf(scratchPath, 128, L"%ls\\%lu", kScratchParent, GetCurrentProcessId());
    CKey scratch;
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, scratchPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                     scratch.Put(), nullptr);
    if (status != ERROR_SUCCESS) Fail(L"creating the scratch key", status);
    std::wstring classesPath = user ? L"Software\\Classes" : L"";
    if (!user) {
        for (const wchar_t* container : kContainers) {
            CKey made;
            RegCreateKeyExW(scratch.Get(), container, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, made.Put(), nullptr);
        }
    }

    HMODULE dll = LoadLibraryExW(module, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!dll) Fail(L"LoadLibrary", GetLastError());
    const HKEY redirected = user ? HKEY_CURRENT_USER : HKEY_CLASSES_ROOT;
    status = RegOverridePredefKey(redirected, scratch.Get());
    if (status != ERROR_SUCCESS) Fail(L"RegOverridePredefKey", status);
    if (user) {
        auto install = reinterpret_cast<HRESULT(__stdcall*)(BOOL, PCWSTR)>(
            reinterpret_cast<void*>(GetProcAddress(dll, "DllInstall")));
        hr = install ? install(TRUE, L"user") : E_NOINTERFACE;
    } else {
        auto registerServer = reinterpret_cast<HRESULT(__stdcall*)()>(
            reinterpret_cast<void*>(GetProcAddress(dll, "DllRegisterServer")));
        hr = registerServer ? registerServer() : E_NOINTERFACE;
    }
    RegOverridePredefKey(redirected, nullptr);

    for (const std::wstring& key : strays) {
        CKey stray;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_ALL_ACCESS | otherView, stray.Put()) != ERROR_SUCCESS)
            continue;
        RegDeleteTreeW(stray.Get(), nullptr);
        RegDeleteKeyExW(HKEY_CLASSES_ROOT, key.c_str(), otherView, 0);
    }

    std::vector<std::string> keys;
    if (SUCCEEDED(hr)) {
        CKey classes;
        status = RegOpenKeyExW(scratch.Get(), classesPath.c_str(), 0, KEY_READ, classes.Put());
        if (status != ERROR_SUCCESS) Fail(L"opening the redirected classes", status);
        DumpKeys(classes.Get(), L"", keys);
    }
    RegDeleteTreeW(scratch.Get(), nullptr);
    RegDeleteKeyW(HKEY_CURRENT_USER, scratchPath);
    RegDeleteKeyW(HKEY_CURRENT_USER, kScratchParent);
    if (FAILED(hr)) Fail(user ? L"DllInstall(TRUE, \"user\")" : L"DllRegisterServer", hr);

    FILE* out = _wfopen(argv[2], L"wb");
    if (!out) Fail(L"opening the output", errno);
    fprintf(out, "{\"module\": %s, \"scope\": \"%s\",\n \"keys\": [\n", Json(module).c_str(), user ? "user" : "machine");
    for (size_t i = 0; i < keys.size(); ++i) fprintf(out, "  %s%s\n", keys[i].c_str(), i + 1 < keys.size() ? "," : "");
    fprintf(out, " ],\n \"typelib\": {\"libid\": %s, \"version\": %s},\n \"dualInterfaces\": [",
            Json(libid).c_str(), Json(version).c_str());
    bool first = true;
    for (const Interface& itf : interfaces) {
        if (!itf.dual) continue;
        fprintf(out, "%s\n  {\"iid\": %s, \"name\": %s}", first ? "" : ",", Json(itf.iid).c_str(), Json(itf.name).c_str());
        first = false;
    }
    fprintf(out, "\n ]}\n");
    fclose(out);
    return 0;
}
