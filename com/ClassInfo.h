#pragma once
#include <windows.h>
#include <ocidl.h>

namespace Varquel {

// The coclass description of a class, from the registered type library;
// loaded once per class under the module lock and kept until unload.
HRESULT GetClassTypeInfo(REFCLSID clsid, ITypeInfo** ppTI) noexcept;

// IProvideClassInfo (and IProvideClassInfo2 for event sources). Derived names
// its kClsid and, when it is an event source, its kSourceIid.
template <class Derived>
class CProvideClassInfoImpl : public IProvideClassInfo2 {
public:
    STDMETHODIMP GetClassInfo(ITypeInfo** ppTI) override {
        if (!ppTI) return E_POINTER;
        return GetClassTypeInfo(Derived::kClsid, ppTI);
    }
    STDMETHODIMP GetGUID(DWORD kind, GUID* pGUID) override {
        if (!pGUID) return E_POINTER;
        if (kind == GUIDKIND_DEFAULT_SOURCE_DISP_IID && Derived::kSourceIid) {
            *pGUID = *Derived::kSourceIid;
            return S_OK;
        }
        *pGUID = GUID_NULL;
        return E_FAIL;
    }
};

} // namespace Varquel
