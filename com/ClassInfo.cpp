#include "com/ClassInfo.h"
#include "Varquel_h.h"

namespace Varquel {
namespace {

// The locale the type library declares, under which its registration is
// recorded. A lookup for locale 0 does not fall back to it on every platform.
constexpr LCID kLibraryLocale = 0x409;

} // namespace

HRESULT CClassTypeInfoCache::Get(REFCLSID clsid, ITypeInfo** ppTI) noexcept {
    if (!ppTI) return E_POINTER;
    *ppTI = nullptr;
    Module::CLockGuard guard;
    if (m_info) return m_info.CopyTo(ppTI);
    Microsoft::WRL::ComPtr<ITypeLib> library;
    HRESULT hr = LoadRegTypeLib(LIBID_Varquel, 1, 0, 0, &library);
    if (hr == TYPE_E_LIBNOTREGISTERED) hr = LoadRegTypeLib(LIBID_Varquel, 1, 0, kLibraryLocale, &library);
    // Registered for the user alone, or not at all (a client that carries the
    // server with a manifest): the library embedded in the module serves.
    if (hr == TYPE_E_LIBNOTREGISTERED) hr = Module::LoadOwnTypeLib(&library);
    if (FAILED(hr)) return hr;
    Microsoft::WRL::ComPtr<ITypeInfo> info;
    hr = library->GetTypeInfoOfGuid(clsid, &info);
    if (FAILED(hr)) return hr;
    m_info = info;
    Module::AtShutdown(m_hook);
    *ppTI = info.Detach();
    return S_OK;
}

} // namespace Varquel
