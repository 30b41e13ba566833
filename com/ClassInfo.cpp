#include "com/ClassInfo.h"
#include <wrl/client.h>
#include "com/Module.h"
#include "Varquel_h.h"

namespace Varquel {
namespace {

struct CachedClassInfo {
    CLSID clsid;
    Microsoft::WRL::ComPtr<ITypeInfo> info;  // released at unload
};
constexpr int kMaxClasses = 8;
// The locale the type library declares, under which its registration is
// recorded. A lookup for locale 0 does not fall back to it on every platform.
constexpr LCID kLibraryLocale = 0x409;
CachedClassInfo g_cache[kMaxClasses];
int g_cached = 0;

void ReleaseClassInfoCache() {
    for (int i = 0; i < g_cached; ++i) g_cache[i].info.Reset();
    g_cached = 0;
}

} // namespace

HRESULT GetClassTypeInfo(REFCLSID clsid, ITypeInfo** ppTI) noexcept {
    if (!ppTI) return E_POINTER;
    *ppTI = nullptr;
    Module::CLockGuard guard;
    for (int i = 0; i < g_cached; ++i) {
        if (IsEqualCLSID(g_cache[i].clsid, clsid)) return g_cache[i].info.CopyTo(ppTI);
    }
    Microsoft::WRL::ComPtr<ITypeLib> library;
    HRESULT hr = LoadRegTypeLib(LIBID_Varquel, 1, 0, 0, &library);
    if (hr == TYPE_E_LIBNOTREGISTERED && SUCCEEDED(LoadRegTypeLib(LIBID_Varquel, 1, 0, kLibraryLocale, &library)))
        hr = S_OK;
    if (FAILED(hr)) return hr;
    Microsoft::WRL::ComPtr<ITypeInfo> info;
    hr = library->GetTypeInfoOfGuid(clsid, &info);
    if (FAILED(hr)) return hr;
    if (g_cached < kMaxClasses) {
        if (g_cached == 0) Module::AtShutdown(&ReleaseClassInfoCache);
        g_cache[g_cached].clsid = clsid;
        g_cache[g_cached].info = info;
        ++g_cached;
    }
    *ppTI = info.Detach();
    return S_OK;
}

} // namespace Varquel
