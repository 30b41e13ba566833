#include "com/ClassFactory.h"
#include "com/Module.h"

namespace Varquel {

STDMETHODIMP CClassFactory::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CClassFactory::AddRef() {
    LONG refs = InterlockedIncrement(&m_refs);
    if (m_counts && refs == 2) Module::AddLock();
    return static_cast<ULONG>(refs);
}

STDMETHODIMP_(ULONG) CClassFactory::Release() {
    LONG refs = InterlockedDecrement(&m_refs);
    if (m_counts && refs == 1) Module::ReleaseLock();
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
}

STDMETHODIMP CClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
    return m_create(outer, riid, ppv);
}

STDMETHODIMP CClassFactory::LockServer(BOOL lock) {
    if (lock) Module::AddLock();
    else Module::ReleaseLock();
    return S_OK;
}

} // namespace Varquel
