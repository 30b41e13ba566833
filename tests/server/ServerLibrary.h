#pragma once
#include <windows.h>
#include <string>
#include "Varquel_h.h"

namespace VarquelTest {

// Varquel.dll (or a copy of it) loaded into the test program, with its exports.
class CServerLibrary {
public:
    explicit CServerLibrary(const wchar_t* path = VARQUEL_DLL_PATH) : m_module(LoadLibraryW(path)) {
        if (!m_module) m_loadError = GetLastError();
    }
    ~CServerLibrary() {
        if (m_module) FreeLibrary(m_module);
    }
    CServerLibrary(const CServerLibrary&) = delete;
    CServerLibrary& operator=(const CServerLibrary&) = delete;

    bool Loaded() const noexcept { return m_module != nullptr; }
    DWORD LoadError() const noexcept { return m_loadError; }

    // The path the platform reports for the loaded module.
    std::wstring Path() const {
        wchar_t buffer[1024] = {};
        DWORD length = GetModuleFileNameW(m_module, buffer, static_cast<DWORD>(std::size(buffer)));
        return std::wstring(buffer, length);
    }

    HRESULT RegisterServer() const { return Call<HRESULT(__stdcall*)()>("DllRegisterServer")(); }
    HRESULT UnregisterServer() const { return Call<HRESULT(__stdcall*)()>("DllUnregisterServer")(); }
    HRESULT Install(BOOL install, PCWSTR commandLine) const {
        return Call<HRESULT(__stdcall*)(BOOL, PCWSTR)>("DllInstall")(install, commandLine);
    }
    HRESULT CanUnloadNow() const { return Call<HRESULT(__stdcall*)()>("DllCanUnloadNow")(); }
    HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) const {
        return Call<HRESULT(__stdcall*)(REFCLSID, REFIID, void**)>("DllGetClassObject")(clsid, riid, ppv);
    }
    HMODULE Handle() const noexcept { return m_module; }

private:
    template <class Fn>
    Fn Call(const char* name) const {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m_module, name)));
    }
    HMODULE m_module;
    DWORD m_loadError = 0;
};

// Whether the prefix holds a registration of the server's classes (that of
// the address list stands for all).
inline bool ServerRegistered() {
    wchar_t clsid[39] = {};
    StringFromGUID2(CLSID_CAddressList, clsid, 39);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + clsid + L"\\InprocServer32").c_str(), 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

} // namespace VarquelTest
