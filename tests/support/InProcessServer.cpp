#include "tests/support/InProcessServer.h"
#include <objbase.h>
#include "com/ClassFactory.h"
#include "com/ComObject.h"
#include "com/Module.h"
#include "server/ClassTable.h"

namespace VarquelTest {

CInProcessServer::CInProcessServer() {
    Varquel::Module::Initialize();
    m_comReady = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    if (!m_comReady) return;
    for (const Varquel::ClassEntry& entry : Varquel::ClassTable()) {
        Varquel::ComPtr<IClassFactory> factory =
            Varquel::Adopt<IClassFactory>(new Varquel::CClassFactory(entry.create, false));
        DWORD cookie = 0;
        if (SUCCEEDED(CoRegisterClassObject(*entry.clsid, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                            &cookie)))
            m_cookies.push_back(cookie);
    }
}

CInProcessServer::~CInProcessServer() {
    for (DWORD cookie : m_cookies) CoRevokeClassObject(cookie);
    if (m_comReady) CoUninitialize();
    Varquel::Module::Shutdown();
}

} // namespace VarquelTest
