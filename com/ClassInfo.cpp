#include "com/ClassInfo.h"
#include <wrl/client.h>
#include "com/Module.h"
#include "Varquel_h.h"

namespace Varquel {
namespace {

struct CachedClassInfo {
    CLSID clsid;
    ITypeInfo* info;  // owned; released at unload
};
constexpr int kMaxClasses = 8;
CachedClassInfo g_cache[kMaxClasses] = {};
int g_cached = 0;

void ReleaseClassInfoCache() {
    for (int i = 0; i < g_cached; ++i) {
        Microsoft::WRL::ComPtr<ITypeInfo> owned;
        owned.Attach(g_cache[i].info);
        g_cache[i].info = nullptr;
    }
    g_cached = 0;
}

} // namespace

HRESULT GetClassTypeInfo(REFCLSID clsid, ITypeInfo** ppTI) noexcept {
    if (!ppTI) return E_POINTER;
    *ppTI = nullptr;
    Module::CLockGuard guard;
    for (int i = 0; i < g_cached; ++i) {
        if (IsEqualCLSID(g_cache[i].clsid, clsid)) {
            *ppTI = g_cache[i].info;
            (*ppTI)->AddRef();
            return S_OK;
        }
    }
    Microsoft::WRL::ComPtr<ITypeLib> library;
    HRESULT hr = LoadRegTypeLib(LIBID_Varquel, 1, 0, 0, &library);
    if (FAILED(hr)) return hr;
    Microsoft::WRL::ComPtr<ITypeInfo> info;
    hr = library->GetTypeInfoOfGuid(clsid, &info);
    if (FAILED(hr)) return hr;
    if (g_cached < kMaxClasses) {
        if (g_cached == 0) Module::AtShutdown(&ReleaseClassInfoCache);
        g_cache[g_cached].clsid = clsid;
        g_cache[g_cached].info = info.Get();
        info->AddRef();
        ++g_cached;
    }
    *ppTI = info.Detach();
    return S_OK;
}

} // namespace Varquel
