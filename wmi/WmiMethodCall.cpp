#include "wmi/WmiMethodCall.h"
#include <wbemcli.h>
#include "com/Variant.h"
#include "wmi/WmiPropertySet.h"

using Microsoft::WRL::ComPtr;

namespace Varquel {

namespace {

// The result of one preparation step: its failure, or E_POINTER when it
// succeeded without handing out an object.
template <class T>
HRESULT StepResult(HRESULT hr, const ComPtr<T>& result) noexcept {
    if (FAILED(hr)) return hr;
    return result ? S_OK : E_POINTER;
}

} // namespace

CWmiMethodCall::CWmiMethodCall(ISWbemObject* target, const wchar_t* methodName) {
    if (!CBstr::TryCopy(methodName, m_name)) {
        m_prepared = E_OUTOFMEMORY;
        return;
    }
    m_target = target;
    if (!m_target) {
        m_prepared = E_POINTER;
        return;
    }
    m_prepared = StepResult(m_target->get_Methods_(m_methods.GetAddressOf()), m_methods);
    if (FAILED(m_prepared)) return;
    m_prepared = StepResult(m_methods->Item(m_name.Get(), 0, m_method.GetAddressOf()), m_method);
    if (FAILED(m_prepared)) return;
    m_prepared = StepResult(m_method->get_InParameters(m_inClass.GetAddressOf()), m_inClass);
    if (FAILED(m_prepared)) return;
    m_prepared = StepResult(m_inClass->SpawnInstance_(0, m_inParams.GetAddressOf()), m_inParams);
    if (FAILED(m_prepared)) return;
    m_prepared = StepResult(m_inParams->get_Properties_(m_inProperties.GetAddressOf()), m_inProperties);
}

CWmiMethodCall::~CWmiMethodCall() {
    // WMI's own order of release: the method's objects first, the target last.
    m_methods.Reset();
    m_method.Reset();
    m_inClass.Reset();
    m_inParams.Reset();
    m_outParams.Reset();
    m_inProperties.Reset();
    m_target.Reset();
    m_name.Reset();
}

int CWmiMethodCall::SetParameter(const wchar_t* name, const VARIANT& value) noexcept {
    const HRESULT hr = Put(name, value);
    if (SUCCEEDED(hr)) return 0;
    if (SUCCEEDED(m_unset)) m_unset = hr;
    return 1;
}

HRESULT CWmiMethodCall::Put(const wchar_t* name, const VARIANT& value) noexcept {
    if (!m_inProperties) return m_prepared;  // preparation failed
    CBstr propertyName;
    if (!CBstr::TryCopy(name, propertyName)) return E_OUTOFMEMORY;
    // The spawned instance holds its parameters with their types fixed, and
    // Put refuses another type: a parameter is set through Item. Only a
    // parameter the instance lacks is added, as a string array.
    ComPtr<ISWbemProperty> property;
    HRESULT hr = m_inProperties->Item(propertyName.Get(), 0, property.GetAddressOf());
    if (hr == static_cast<HRESULT>(WBEM_E_NOT_FOUND)) {
        property.Reset();
        hr = m_inProperties->Add(propertyName.Get(), wbemCimtypeString, VARIANT_TRUE, 0, property.GetAddressOf());
    }
    if (FAILED(hr)) return hr;
    if (!property) return E_POINTER;
    VARIANT sent = value;  // put_Value copies; this is only a view of the caller's value
    return property->put_Value(&sent);
}

int CWmiMethodCall::SetParameter(const wchar_t* name, BSTR value) noexcept {
    VARIANT sent;
    VariantInit(&sent);
    V_VT(&sent) = VT_BSTR;
    V_BSTR(&sent) = value;
    return SetParameter(name, sent);
}

int CWmiMethodCall::SetParameter(const wchar_t* name, long value) noexcept {
    VARIANT sent;
    VariantInit(&sent);
    V_VT(&sent) = VT_I4;
    V_I4(&sent) = value;
    return SetParameter(name, sent);
}

HRESULT CWmiMethodCall::Execute() noexcept {
    if (FAILED(m_prepared)) return m_prepared;
    m_outParams.Reset();
    return m_target->ExecMethod_(m_name.Get(), m_inParams.Get(), 0, nullptr, m_outParams.GetAddressOf());
}

HRESULT CWmiMethodCall::ExecuteComplete() noexcept { return FAILED(m_unset) ? m_unset : Execute(); }

long CWmiMethodCall::ReturnValue() const noexcept { return ReturnValueOf(m_outParams.Get()); }

HRESULT ExecMethodNoParams(ISWbemObject* object, const wchar_t* methodName, long* returnValue) noexcept {
    if (returnValue) *returnValue = -1;
    if (!object) return E_POINTER;
    CBstr name;
    if (!CBstr::TryCopy(methodName, name)) return E_OUTOFMEMORY;
    if (!returnValue) return object->ExecMethod_(name.Get(), nullptr, 0, nullptr, nullptr);
    ComPtr<ISWbemObject> out;
    const HRESULT hr = object->ExecMethod_(name.Get(), nullptr, 0, nullptr, out.GetAddressOf());
    if (SUCCEEDED(hr)) *returnValue = ReturnValueOf(out.Get());
    return hr;
}

long ReturnValueOf(ISWbemObject* outParameters) noexcept {
    if (!outParameters) return -1;
    CVariant value;
    if (FAILED(CWmiPropertySet(outParameters).ReadProperty(L"ReturnValue", value))) return -1;
    if (value.Type() != VT_I4 && FAILED(VariantChangeType(value.Get(), value.Get(), 0, VT_I4))) return -1;
    return V_I4(value.Get());
}

} // namespace Varquel
