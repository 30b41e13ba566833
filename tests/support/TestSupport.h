#pragma once
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>
#include <string>
#include "com/Bstr.h"
#include "com/Variant.h"

namespace VarquelTest {

using Microsoft::WRL::ComPtr;

// Creates an object of the server through COM (the test program registers
// the eight class factories at start-up).
template <class Itf>
ComPtr<Itf> Create(REFCLSID clsid) {
    ComPtr<Itf> object;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, __uuidof(Itf),
                                  reinterpret_cast<void**>(object.GetAddressOf()));
    if (FAILED(hr)) object.Reset();
    return object;
}

// A scratch key under HKEY_CURRENT_USER\Software\VarquelTests, removed with
// everything below it when the object goes.
class CScratchKey {
public:
    explicit CScratchKey(const wchar_t* name);
    ~CScratchKey();
    CScratchKey(const CScratchKey&) = delete;
    CScratchKey& operator=(const CScratchKey&) = delete;
    HKEY Get() const noexcept { return m_key; }
    const std::wstring& Path() const noexcept { return m_path; }  // relative to HKCU
    std::string PathA() const;
private:
    std::wstring m_path;
    HKEY m_key = nullptr;
};

// Deletes a key under HKEY_CURRENT_USER with everything below it (no error if missing).
void DeleteTreeHkcu(const wchar_t* path);
// Copies a key under HKEY_CURRENT_USER with everything below it into `to`
// (created if missing); false when `from` is missing or the copy fails.
bool CopyTreeHkcu(const wchar_t* from, const wchar_t* to);

// Leaves what a test program changes in HKEY_CURRENT_USER as the program
// found it: the profile store ("Software\Ostrel2", which Load and Save create
// with "Quoran" below it) is copied aside at the start and put back at the
// end, or removed when there was none; the scratch keys' parent goes when it
// is new and empty. Every test program's main holds one.
class CUserKeysKeeper {
public:
    CUserKeysKeeper();
    ~CUserKeysKeeper();
    CUserKeysKeeper(const CUserKeysKeeper&) = delete;
    CUserKeysKeeper& operator=(const CUserKeysKeeper&) = delete;
private:
    bool m_scratchParentExisted = false;
    bool m_storeKept = false;
};

// UTF-8 text of a wide string, for readable assertion messages.
std::string Narrow(const wchar_t* text, size_t length);
inline std::string Narrow(const std::wstring& text) { return Narrow(text.data(), text.size()); }
inline std::string Narrow(BSTR text) { return text ? Narrow(text, SysStringLen(text)) : std::string("<null>"); }

// The server's live objects, locks and client-held class objects.
LONG ModuleLockCount();

} // namespace VarquelTest
