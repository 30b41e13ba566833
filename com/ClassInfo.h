#pragma once
#include <windows.h>
#include <ocidl.h>
#include <wrl/client.h>
#include "com/Module.h"

namespace Varquel {

// The coclass description of one class, from the registered type library, or
// from the one embedded in the module where none is registered: loaded on
// first use under the module lock and kept until the module shuts down. A
// failed lookup is not kept.
class CClassTypeInfoCache {
public:
    explicit CClassTypeInfoCache(void (*release)()) noexcept : m_hook(release) {}
    CClassTypeInfoCache(const CClassTypeInfoCache&) = delete;
    CClassTypeInfoCache& operator=(const CClassTypeInfoCache&) = delete;

    HRESULT Get(REFCLSID clsid, ITypeInfo** ppTI) noexcept;
    void Release() noexcept { m_info.Reset(); }

private:
    Microsoft::WRL::ComPtr<ITypeInfo> m_info;
    Module::CShutdownHook m_hook;
};

// IProvideClassInfo (and IProvideClassInfo2 for event sources). Derived names
// its kClsid and, when it is an event source, its kSourceIid. Every class
// that derives from it has a cache of its own, creatable or not.
template <class Derived>
class CProvideClassInfoImpl : public IProvideClassInfo2 {
public:
    STDMETHODIMP GetClassInfo(ITypeInfo** ppTI) override {
        if (!ppTI) return E_POINTER;
        return s_classInfo.Get(Derived::kClsid, ppTI);
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

private:
    static void ReleaseClassInfo() noexcept { s_classInfo.Release(); }
    static inline CClassTypeInfoCache s_classInfo{&ReleaseClassInfo};
};

} // namespace Varquel
