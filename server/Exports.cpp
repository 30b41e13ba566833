// The entry points of Varquel.dll.
#include <windows.h>
#include <utility>
#include <wrl/client.h>
#include "com/ClassFactory.h"
#include "com/ComObject.h"
#include "com/Module.h"
#include "server/ClassTable.h"
#include "server/Registrar.h"

using Microsoft::WRL::ComPtr;

namespace {

void ReleaseClassObjects() {
    for (IClassFactory*& factory : Varquel::ClassObjectSlots()) Varquel::Adopt(std::exchange(factory, nullptr));
}

Varquel::Module::CShutdownHook g_releaseClassObjects{&ReleaseClassObjects};

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        if (!Varquel::Module::Initialize()) return FALSE;
        Varquel::Module::AtShutdown(g_releaseClassObjects);
    } else if (reason == DLL_PROCESS_DETACH) {
        Varquel::Module::Shutdown();
    }
    return TRUE;
}

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    auto table = Varquel::ClassTable();
    auto slots = Varquel::ClassObjectSlots();
    for (size_t i = 0; i < table.size(); ++i) {
        if (!IsEqualCLSID(clsid, *table[i].clsid)) continue;
        IClassFactory* factory = nullptr;
        {
            Varquel::Module::CLockGuard guard;
            if (!slots[i]) {
                slots[i] = new (std::nothrow) Varquel::CClassFactory(table[i].create, true);
                if (!slots[i]) return E_OUTOFMEMORY;
            }
            factory = slots[i];
        }
        return factory->QueryInterface(riid, ppv);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT __stdcall DllCanUnloadNow() {
    return Varquel::Module::LockCount() == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT __stdcall DllRegisterServer() { return Varquel::RegisterServer(); }
extern "C" HRESULT __stdcall DllUnregisterServer() { return Varquel::UnregisterServer(); }
extern "C" HRESULT __stdcall DllInstall(BOOL install, PCWSTR commandLine) {
    return Varquel::InstallServer(install, commandLine);
}
