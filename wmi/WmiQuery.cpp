#include "wmi/WmiQuery.h"
#include "com/Bstr.h"
#include "com/Variant.h"

using Microsoft::WRL::ComPtr;

namespace Varquel {

ComPtr<ISWbemServices> ConnectWmi() noexcept {
    ComPtr<ISWbemLocator> locator;
    if (FAILED(CoCreateInstance(CLSID_SWbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_ISWbemLocator,
                                reinterpret_cast<void**>(locator.GetAddressOf()))) ||
        !locator)
        return nullptr;
    CBstr nameSpace;
    if (!CBstr::TryCopy(L"ROOT\\CIMV2", nameSpace)) return nullptr;
    ComPtr<ISWbemServices> services;
    HRESULT hr = locator->ConnectServer(nullptr, nameSpace.Get(), nullptr, nullptr, nullptr, nullptr, 0,
                                        nullptr, services.GetAddressOf());
    locator.Reset();
    if (FAILED(hr)) return nullptr;
    return services;
}

ComPtr<ISWbemObject> GetWmiClassObject(const wchar_t* className) noexcept {
    ComPtr<ISWbemServices> services = ConnectWmi();
    if (!services) return nullptr;
    CBstr path;
    if (!CBstr::TryCopy(className, path)) return nullptr;
    ComPtr<ISWbemObject> object;
    if (FAILED(services->Get(path.Get(), 0, nullptr, object.GetAddressOf()))) return nullptr;
    return object;
}

CWmiQuery::CWmiQuery(const wchar_t* wql) noexcept {
    ComPtr<ISWbemServices> services = ConnectWmi();
    if (!services) return;

    CBstr query, language;
    if (!CBstr::TryCopy(wql, query) || !CBstr::TryCopy(L"WQL", language)) return;
    ComPtr<ISWbemObjectSet> set;
    m_failure = services->ExecQuery(query.Get(), language.Get(), 0, nullptr, set.GetAddressOf());
    services.Reset();
    if (FAILED(m_failure) || !set) return;

    ComPtr<IUnknown> newEnum;
    m_failure = set->get__NewEnum(newEnum.GetAddressOf());
    set.Reset();
    if (FAILED(m_failure) || !newEnum) return;

    newEnum.As(&m_enum);
}

ComPtr<ISWbemObject> CWmiQuery::Next() noexcept {
    if (!m_enum) return nullptr;
    CVariant element;
    ULONG fetched = 0;
    const HRESULT hr = m_enum->Next(1, element.Get(), &fetched);
    if (FAILED(hr)) m_failure = hr;
    if (hr != S_OK) return nullptr;
    if (element.Type() != VT_DISPATCH || !V_DISPATCH(element.Get())) return nullptr;
    ComPtr<ISWbemObject> object;
    if (FAILED(V_DISPATCH(element.Get())
                   ->QueryInterface(IID_ISWbemObject, reinterpret_cast<void**>(object.GetAddressOf()))))
        return nullptr;
    return object;
}

} // namespace Varquel
