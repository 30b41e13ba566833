// VarquelSim.dll: the simulated machine as the in-process server of
// SWbemLocator, for a demo Wine prefix. The machine is read from the JSON file
// named by VARQUEL_SIM_MACHINE and written back after every change; journal
// lines are appended to the file named by VARQUEL_SIM_JOURNAL, if set.
#include <windows.h>
#include <wbemcli.h>
#include <wbemdisp.h>
#include <wrl/client.h>
#include <cstdio>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include "registry/UniqueRegKey.h"
#include "simulator/LocatorFactory.h"
#include "simulator/Machine.h"

using VarquelSim::CLocatorFactory;
using VarquelSim::CMachine;

namespace {

HMODULE g_module = nullptr;
std::mutex g_mutex;
std::shared_ptr<CMachine> g_machine;

const wchar_t kServerKey[] = L"CLSID\\{76A64158-CB41-11D1-8B02-00600806D9B6}\\InprocServer32";
const wchar_t kPreviousServer[] = L"VarquelSim.PreviousServer";
const wchar_t kPreviousModel[] = L"VarquelSim.PreviousThreadingModel";

std::wstring Environment(const wchar_t* name) {
    DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) return {};
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), size));
    return value;
}

// A Unix path (as a shell sets it) becomes the Windows path Wine maps it to.
std::wstring WindowsPath(std::wstring path) {
    if (path.empty() || path[0] != L'/') return path;
    using ToDos = WCHAR* (*)(const char*);
    auto toDos = reinterpret_cast<ToDos>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    if (!toDos) return path;
    std::string unixPath(path.begin(), path.end());
    WCHAR* dos = toDos(unixPath.c_str());
    if (!dos) return path;
    std::wstring result(dos);
    HeapFree(GetProcessHeap(), 0, dos);
    return result;
}

HRESULT ReadText(const std::wstring& path, std::string& text) {
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    char buffer[4096];
    size_t read;
    while ((read = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, read);
    std::fclose(file);
    return S_OK;
}

// The process's machine, loaded on first use. Without VARQUEL_SIM_MACHINE it
// is an empty machine that is not saved.
HRESULT ProcessMachine(std::shared_ptr<CMachine>& machine) {
    std::lock_guard lock(g_mutex);
    if (!g_machine) {
        std::wstring path = WindowsPath(Environment(L"VARQUEL_SIM_MACHINE"));
        std::string text = "{}";
        if (!path.empty()) {
            text.clear();
            if (HRESULT hr = ReadText(path, text); FAILED(hr)) return hr;
        }
        try {
            g_machine = CMachine::FromJson(text);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return WBEM_E_INVALID_PARAMETER;
        }
        if (!path.empty()) g_machine->PersistTo(path);
        std::wstring journal = WindowsPath(Environment(L"VARQUEL_SIM_JOURNAL"));
        if (!journal.empty()) g_machine->JournalTo(journal);
    }
    machine = g_machine;
    return S_OK;
}

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    while (true) {
        DWORD length = GetModuleFileNameW(g_module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring ReadString(HKEY key, const wchar_t* name, bool& present) {
    DWORD type = 0, size = 0;
    present = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
              (type == REG_SZ || type == REG_EXPAND_SZ);
    if (!present) return {};
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) != ERROR_SUCCESS) {
        present = false;
        return {};
    }
    value.resize(wcsnlen(value.c_str(), value.size()));
    return value;
}

LONG WriteString(HKEY key, const wchar_t* name, const std::wstring& value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// The key of SWbemLocator's server, opened or created.
LONG OpenServerKey(bool create, Wexmoor::CUniqueRegKey& key) {
    return create ? RegCreateKeyExW(HKEY_CLASSES_ROOT, kServerKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                                    key.Put(), nullptr)
                  : RegOpenKeyExW(HKEY_CLASSES_ROOT, kServerKey, 0, KEY_READ | KEY_WRITE, key.Put());
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (clsid != CLSID_SWbemLocator) return CLASS_E_CLASSNOTAVAILABLE;
    Microsoft::WRL::ComPtr<CLocatorFactory> factory;
    try {
        factory = Microsoft::WRL::ComPtr<CLocatorFactory>(new CLocatorFactory(ProcessMachine));
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return factory->QueryInterface(riid, object);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    std::lock_guard lock(g_mutex);
    bool busy = CLocatorFactory::Locks() > 0 || (g_machine && g_machine->LiveObjects() > 0);
    return busy ? S_FALSE : S_OK;
}

// Takes over SWbemLocator's InprocServer32, keeping the previous server so
// that DllUnregisterServer can give it back.
extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    std::wstring path = ModulePath();
    if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
    Wexmoor::CUniqueRegKey key;
    LONG error = OpenServerKey(true, key);
    if (error != ERROR_SUCCESS) return HRESULT_FROM_WIN32(error);
    bool present = false;
    std::wstring previous = ReadString(key.Get(), nullptr, present);
    if (present && lstrcmpiW(previous.c_str(), path.c_str()) != 0) {
        bool modelPresent = false;
        std::wstring model = ReadString(key.Get(), L"ThreadingModel", modelPresent);
        WriteString(key.Get(), kPreviousServer, previous);
        if (modelPresent) WriteString(key.Get(), kPreviousModel, model);
    }
    error = WriteString(key.Get(), nullptr, path);
    if (error == ERROR_SUCCESS) error = WriteString(key.Get(), L"ThreadingModel", L"Both");
    return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(error);
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    std::wstring path = ModulePath();
    Wexmoor::CUniqueRegKey key;
    if (OpenServerKey(false, key) != ERROR_SUCCESS) return S_OK;
    bool present = false;
    std::wstring current = ReadString(key.Get(), nullptr, present);
    if (!present || lstrcmpiW(current.c_str(), path.c_str()) != 0) return S_OK;  // not ours
    bool hadPrevious = false, hadModel = false;
    std::wstring previous = ReadString(key.Get(), kPreviousServer, hadPrevious);
    std::wstring model = ReadString(key.Get(), kPreviousModel, hadModel);
    if (!hadPrevious) {
        key.Reset();
        LONG error = RegDeleteKeyW(HKEY_CLASSES_ROOT, kServerKey);
        return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(error);
    }
    WriteString(key.Get(), nullptr, previous);
    if (hadModel) WriteString(key.Get(), L"ThreadingModel", model);
    RegDeleteValueW(key.Get(), kPreviousServer);
    RegDeleteValueW(key.Get(), kPreviousModel);
    return S_OK;
}
