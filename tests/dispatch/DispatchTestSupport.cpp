#include "tests/dispatch/DispatchTestSupport.h"
#include <gtest/gtest.h>
#include <stdexcept>
#include <cstring>
#include "com/Bstr.h"
#include "Varquel_h.h"

namespace DispatchTest {

CArgs::CArgs() noexcept {
    for (VARIANT& arg : m_args) VariantInit(&arg);
}

CArgs::~CArgs() {
    for (VARIANT& arg : m_args) VariantClear(&arg);
}

VARIANT& CArgs::Slot() {
    if (m_count >= kCapacity) throw std::out_of_range("too many test arguments");
    return m_args[m_count++];
}

CArgs& CArgs::I4(LONG value) {
    VARIANT& arg = Slot();
    V_VT(&arg) = VT_I4;
    V_I4(&arg) = value;
    return *this;
}

CArgs& CArgs::Bstr(const wchar_t* text) {
    VARIANT& arg = Slot();
    V_VT(&arg) = VT_BSTR;
    V_BSTR(&arg) = Varquel::CBstr(text).Detach();
    return *this;
}

CArgs& CArgs::Bool(VARIANT_BOOL value) {
    VARIANT& arg = Slot();
    V_VT(&arg) = VT_BOOL;
    V_BOOL(&arg) = value;
    return *this;
}

CArgs& CArgs::Dispatch(IDispatch* object) {
    VARIANT& arg = Slot();
    ComPtr<IDispatch> held(object);
    V_VT(&arg) = VT_DISPATCH;
    V_DISPATCH(&arg) = held.Detach();
    return *this;
}

CArgs& CArgs::Unknown(IUnknown* object) {
    VARIANT& arg = Slot();
    ComPtr<IUnknown> held(object);
    V_VT(&arg) = VT_UNKNOWN;
    V_UNKNOWN(&arg) = held.Detach();
    return *this;
}

CArgs& CArgs::Empty() {
    Slot();
    return *this;
}

CArgs& CArgs::Null() {
    V_VT(&Slot()) = VT_NULL;
    return *this;
}

CArgs& CArgs::ByRefVariant(VARIANT* target) {
    VARIANT& arg = Slot();
    V_VT(&arg) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&arg) = target;
    return *this;
}

CArgs& CArgs::ByRefI4(LONG* target) {
    VARIANT& arg = Slot();
    V_VT(&arg) = VT_BYREF | VT_I4;
    V_I4REF(&arg) = target;
    return *this;
}

CArgs& CArgs::Named(DISPID id) {
    if (m_namedCount >= kCapacity) throw std::out_of_range("too many named test arguments");
    m_named[m_namedCount++] = id;
    return *this;
}

DISPPARAMS* CArgs::Params() {
    m_params.rgvarg = m_count ? m_args : nullptr;
    m_params.cArgs = m_count;
    m_params.rgdispidNamedArgs = m_namedCount ? m_named : nullptr;
    m_params.cNamedArgs = m_namedCount;
    return &m_params;
}

CInvokeResult Invoke(IDispatch* object, DISPID member, WORD flags, CArgs& args) {
    CInvokeResult result;
    result.hr = object->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, flags, args.Params(), result.value.Get(),
                               nullptr, &result.argErr);
    return result;
}

HRESULT IdsOfNames(IDispatch* object, const std::vector<std::wstring>& names, std::vector<DISPID>& ids) {
    std::vector<LPOLESTR> pointers;
    for (const std::wstring& name : names) pointers.push_back(const_cast<LPOLESTR>(name.c_str()));
    ids.assign(names.size(), 12345);
    return object->GetIDsOfNames(IID_NULL, pointers.data(), static_cast<UINT>(pointers.size()), LOCALE_USER_DEFAULT,
                                 ids.data());
}

DISPID IdOfName(IDispatch* object, const wchar_t* name) {
    std::vector<DISPID> ids;
    IdsOfNames(object, {name}, ids);
    return ids[0];
}

ULONG RefCount(IUnknown* object) {
    ComPtr<IUnknown> probe(object);
    return probe.Reset();
}

std::string Text(const VARIANT& value) {
    if (V_VT(&value) != VT_BSTR) return "<vt " + std::to_string(V_VT(&value)) + ">";
    return VarquelTest::Narrow(V_BSTR(&value));
}

namespace {
using Varquel::Dispatch::TableOf;
const InterfaceCase kInterfaces[] = {
    {"IAddressList", &CLSID_CAddressList, &IID_IAddressList, &TableOf<IAddressList>},
    {"INetAdapterProperty", &CLSID_CNetAdapterProperty, &IID_INetAdapterProperty, &TableOf<INetAdapterProperty>},
    {"INetAdaptersList", &CLSID_CNetAdaptersList, &IID_INetAdaptersList, &TableOf<INetAdaptersList>},
    {"IPrintersProperty", &CLSID_CPrintersProperty, &IID_IPrintersProperty, &TableOf<IPrintersProperty>},
    {"IProxyProperty", &CLSID_CProxyProperty, &IID_IProxyProperty, &TableOf<IProxyProperty>},
    {"INetShareList", &CLSID_CNetShareList, &IID_INetShareList, &TableOf<INetShareList>},
    {"INetProfile", &CLSID_CNetProfile, &IID_INetProfile, &TableOf<INetProfile>},
    {"INetProfilesList", &CLSID_CNetProfilesList, &IID_INetProfilesList, &TableOf<INetProfilesList>},
    {"IProfileSwitch2", &CLSID_CProfileSwitch, &IID_IProfileSwitch2, &TableOf<IProfileSwitch2>},
    {"IUserProxy", &CLSID_CUserProxy, &IID_IUserProxy, &TableOf<IUserProxy>},
};
// The interfaces of objects that only a switch makes.
const InterfaceCase kReportInterfaces[] = {
    {"IApplyReport", nullptr, &IID_IApplyReport, &TableOf<IApplyReport>},
    {"IApplyReport2", nullptr, &IID_IApplyReport2, &TableOf<IApplyReport2>},
    {"IApplyChange", nullptr, &IID_IApplyChange, &TableOf<IApplyChange>},
};
} // namespace

const InterfaceCase kBaseInterfaces[] = {
    {"IProfileSwitch", &CLSID_CProfileSwitch, &IID_IProfileSwitch, &TableOf<IProfileSwitch>},
};

std::span<const InterfaceCase> AllInterfaces() { return kInterfaces; }
std::span<const InterfaceCase> ReportInterfaces() { return kReportInterfaces; }
std::span<const InterfaceCase> BaseInterfaces() { return kBaseInterfaces; }

const InterfaceCase& InterfaceNamed(const char* name) {
    for (std::span<const InterfaceCase> cases :
         {std::span<const InterfaceCase>(kInterfaces), ReportInterfaces(), BaseInterfaces()})
        for (const InterfaceCase& c : cases)
            if (std::strcmp(c.name, name) == 0) return c;
    throw std::invalid_argument(name);
}

ComPtr<IDispatch> CreateDispatch(const InterfaceCase& c) {
    ComPtr<IUnknown> object;
    HRESULT hr = CoCreateInstance(*c.clsid, nullptr, CLSCTX_ALL, *c.iid, reinterpret_cast<void**>(object.GetAddressOf()));
    ComPtr<IDispatch> dispatch;
    if (SUCCEEDED(hr)) object.As(&dispatch);
    return dispatch;
}

} // namespace DispatchTest
