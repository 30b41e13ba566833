#include "tests/robustness/DispatchOracle.h"
#include <wrl/client.h>
#include <algorithm>
#include <cstdio>
#include "com/Variant.h"
#include "Varquel_h.h"

namespace VarquelRobustness {

using Microsoft::WRL::ComPtr;
using Varquel::CVariant;

namespace {

using K = CDispatchOracle::Kind;
using R = CDispatchOracle::Rule;
using N = CDispatchOracle::Named;

constexpr VARTYPE I4 = VT_I4, STR = VT_BSTR, BOOL_ = VT_BOOL, DISP = VT_DISPATCH, NONE = VT_EMPTY;

std::vector<CDispatchOracle::Interface> Build() {
    std::vector<CDispatchOracle::Interface> list;
    list.push_back({L"IAddressList", &IID_IAddressList, &CLSID_CAddressList, 2, N::ByPosition,
                    {{1, K::Get, {}, I4, R::Ok, L"Count"},
                     {3, K::Method, {STR}, NONE, R::AddText, L"Add"},
                     {4, K::Method, {I4}, STR, R::Ok, L"GetAt"},
                     {6, K::Method, {}, NONE, R::Ok, L"RemoveAll"},
                     {7, K::Method, {I4}, NONE, R::IndexOpen, L"RemoveAt"}}});
    list.push_back({L"INetAdapterProperty", &IID_INetAdapterProperty, &CLSID_CNetAdapterProperty, 1, N::Ignored,
                    {{1, K::Method, {}, NONE, R::OkOrFalse, L"GetCurrent"},
                     {2, K::Method, {}, NONE, R::OkOrFalse, L"Apply"},
                     {3, K::Get, {}, DISP, R::Ok, L"IPAddresses"},
                     {4, K::Get, {}, DISP, R::Ok, L"SubnetMasks"},
                     {5, K::Get, {}, DISP, R::Ok, L"GateWayAddresses"},
                     {6, K::Get, {}, DISP, R::Ok, L"DNSAddresses"},
                     {7, K::Get, {}, DISP, R::Ok, L"WINSServers"},
                     {10, K::Get, {}, BOOL_, R::Ok, L"IsDHCP"},
                     {10, K::Put, {BOOL_}, NONE, R::Ok, L"IsDHCP"},
                     {11, K::Get, {}, STR, R::Ok, L"Name"},
                     {12, K::Get, {}, STR, R::Ok, L"NetConnectionID"}}});
    list.push_back({L"INetAdaptersList", &IID_INetAdaptersList, &CLSID_CNetAdaptersList, 2, N::ByPosition,
                    {{1, K::Get, {}, I4, R::Ok, L"Count"},
                     {2, K::Method, {I4}, DISP, R::Ok, L"NetAdapterPropertyGetAt"},
                     {3, K::Method, {}, NONE, R::Ok, L"Apply"},
                     {4, K::Method, {}, NONE, R::Ok, L"GetCurrent"},
                     {5, K::Method, {}, NONE, R::Ok, L"DetectAdapters"}}});
    list.push_back({L"IPrintersProperty", &IID_IPrintersProperty, &CLSID_CPrintersProperty, 1, N::Ignored,
                    {{1, K::Get, {}, I4, R::Ok, L"PrintersCount"},
                     {2, K::Get, {}, I4, R::Ok, L"PrinterNumber"},
                     {2, K::Put, {I4}, NONE, R::Ok, L"PrinterNumber"},
                     {3, K::Get, {}, STR, R::IndexOpen, L"Name"},
                     {4, K::Get, {}, I4, R::Ok, L"Default"},
                     {4, K::Put, {I4}, NONE, R::Ok, L"Default"},
                     {5, K::Method, {}, NONE, R::Ok, L"GetCurrent"},
                     {6, K::Method, {}, NONE, R::Ok, L"Apply"},
                     {7, K::Method, {}, NONE, R::Ok, L"DetectPrinters"},
                     {8, K::Method, {STR}, NONE, R::Ok, L"SetDefault"},
                     {9, K::Method, {}, STR, R::Ok, L"GetDefault"}}});
    std::vector<CDispatchOracle::Member> proxy = {{1, K::Method, {}, NONE, R::Ok, L"GetCurrent"},
                                                  {2, K::Method, {}, NONE, R::Ok, L"Apply"}};
    static const wchar_t* const kProxyTexts[] = {L"HTTPServer",   L"HTTPPort",   L"SecureServer", L"SecurePort",
                                                 L"FTPServer",    L"FTPPort",    L"GopherServer", L"GopherPort",
                                                 L"SocksServer",  L"SocksPort"};
    for (DISPID id = 3; id <= 12; ++id) {
        proxy.push_back({id, K::Get, {}, STR, R::Ok, kProxyTexts[id - 3]});
        proxy.push_back({id, K::Put, {STR}, NONE, R::Ok, kProxyTexts[id - 3]});
    }
    proxy.push_back({13, K::Get, {}, BOOL_, R::Ok, L"IsUseOneProxy"});
    proxy.push_back({13, K::Put, {BOOL_}, NONE, R::Ok, L"IsUseOneProxy"});
    list.push_back({L"IProxyProperty", &IID_IProxyProperty, &CLSID_CProxyProperty, 1, N::Ignored, proxy});
    list.push_back({L"INetShareList", &IID_INetShareList, &CLSID_CNetShareList, 2, N::Refused,
                    {{1, K::Method, {}, NONE, R::Ok, L"GetCurrent"},
                     {2, K::Method, {}, NONE, R::Ok, L"Apply"},
                     {3, K::Method, {I4}, NONE, R::IndexOpen, L"RemoveAt"},
                     {4, K::Method, {}, NONE, R::Ok, L"RemoveAll"},
                     {5, K::Get, {}, I4, R::Ok, L"Count"},
                     {6, K::Method, {I4}, STR, R::IndexOpen, L"NameGetAt"},
                     {7, K::Method, {I4}, STR, R::IndexOpen, L"PathGetAt"},
                     {8, K::Method, {}, NONE, R::Ok, L"CloseAll"},
                     {9, K::Method, {STR, STR}, NONE, R::AddText, L"Add"}}});
    list.push_back({L"INetProfile", &IID_INetProfile, &CLSID_CNetProfile, 1, N::Ignored,
                    {{1, K::Get, {}, DISP, R::Ok, L"NetAdaptersList"},
                     {2, K::Get, {}, DISP, R::Ok, L"PrintersProperty"},
                     {3, K::Get, {}, DISP, R::NullObject, L"ProxyProperty"},
                     {4, K::Get, {}, DISP, R::NullObject, L"NetShareList"},
                     {5, K::Method, {}, NONE, R::Ok, L"GetCurrent"},
                     {6, K::Method, {}, NONE, R::Ok, L"Apply"},
                     {7, K::Get, {}, STR, R::Ok, L"Name"},
                     {7, K::Put, {STR}, NONE, R::Ok, L"Name"},
                     {8, K::Method, {}, DISP, R::Ok, L"GetDuplicate"}}});
    list.push_back({L"INetProfilesList", &IID_INetProfilesList, &CLSID_CNetProfilesList, 2, N::Refused,
                    {{1, K::Get, {}, I4, R::Ok, L"Count"},
                     {2, K::Method, {I4}, DISP, R::ProfilesGetAt, L"NetProfileGetAt"},
                     {3, K::Method, {DISP}, NONE, R::ProfilesAdd, L"Add"},
                     {4, K::Method, {}, NONE, R::Ok, L"Load"},
                     {5, K::Method, {}, NONE, R::Save, L"Save"},
                     {6, K::Method, {I4}, NONE, R::ProfilesRemoveAt, L"NetProfileRemoveAt"},
                     {7, K::Method, {I4, DISP}, NONE, R::ProfilesSetAt, L"NetProfileSetAt"}}});
    return list;
}

// Whether the dispatch layer accepts `arg` for a parameter of type `type`,
// and the value the member then receives.
bool Accepts(const VARIANT& arg, VARTYPE type, CVariant& value, bool& changed) {
    const VARIANT* source = &arg;
    if (V_VT(&arg) == (VT_BYREF | VT_VARIANT)) {
        source = V_VARIANTREF(&arg);
        if (!source) return false;
    }
    changed = false;
    if (V_VT(source) == type) {
        if (FAILED(VariantCopy(value.Get(), const_cast<VARIANT*>(source)))) return false;
    } else {
        if (V_VT(source) & VT_BYREF) return false;
        if (FAILED(VariantChangeType(value.Get(), const_cast<VARIANT*>(source), 0, type))) return false;
        changed = true;
    }
    if (type == VT_DISPATCH) {
        IDispatch* object = V_DISPATCH(value.Get());
        if (!object) return false;
        ComPtr<INetProfile> profile;
        if (FAILED(object->QueryInterface(IID_INetProfile, reinterpret_cast<void**>(profile.GetAddressOf()))))
            return false;
    }
    return true;
}

void ApplyRule(const CDispatchOracle::Member& member, const std::vector<CVariant>& values,
               const CDispatchOracle::Context& context, CDispatchOracle::Expectation& e) {
    auto index = [&](std::size_t p) { return V_I4(values[p].Get()); };
    auto foreign = [&](std::size_t p) {
        IDispatch* object = V_DISPATCH(values[p].Get());
        return context.isForeign && context.isForeign(object);
    };
    auto inRange = [&](long i) { return i >= 0 && i < context.profilesCount; };
    switch (member.rule) {
    case R::Ok: e.allowed = {S_OK}; break;
    case R::OkOrFalse: e.allowed = {S_OK, S_FALSE}; break;
    case R::IndexOpen: e.allowed = {S_OK, E_INVALIDARG}; break;
    case R::AddText: e.allowed = {S_OK, E_OUTOFMEMORY}; break;
    case R::NullObject:
        e.allowed = {S_OK};
        e.nullResultObject = true;
        break;
    case R::ProfilesGetAt:
        e.allowed = {S_OK};
        if (inRange(index(0))) e.objectResultPresent = true;
        else e.nullResultObject = true;
        break;
    case R::ProfilesAdd: e.allowed = {foreign(0) ? E_INVALIDARG : S_OK}; break;
    case R::ProfilesRemoveAt: e.allowed = {inRange(index(0)) ? S_OK : E_INVALIDARG}; break;
    case R::ProfilesSetAt: e.allowed = {inRange(index(0)) && !foreign(1) ? S_OK : E_INVALIDARG}; break;
    case R::Save: e.allowed = {S_OK, E_INVALIDARG}; break;
    }
}

} // namespace

const std::vector<CDispatchOracle::Interface>& CDispatchOracle::Interfaces() {
    static const std::vector<Interface> interfaces = Build();
    return interfaces;
}

int CDispatchOracle::Identify(IUnknown* object) {
    if (!object) return -1;
    const auto& interfaces = Interfaces();
    for (std::size_t i = 0; i < interfaces.size(); ++i) {
        ComPtr<IUnknown> itf;
        if (SUCCEEDED(object->QueryInterface(*interfaces[i].iid, reinterpret_cast<void**>(itf.GetAddressOf()))))
            return static_cast<int>(i);
    }
    return -1;
}

CDispatchOracle::Expectation CDispatchOracle::Predict(int itf, DISPID id, WORD flags, const DISPPARAMS* params,
                                                      const Context& context) {
    Expectation e;
    const Interface& surface = Interfaces()[static_cast<std::size_t>(itf)];
    if (!params) {
        e.stage = Stage::Params;
        e.allowed = {DISP_E_BADVARTYPE};
        return e;
    }
    const UINT cArgs = params->cArgs, cNamed = params->cNamedArgs;
    if (cArgs > surface.maxArgs) {
        e.stage = Stage::ArgCount;
        e.allowed = {DISP_E_BADPARAMCOUNT};
        return e;
    }
    if (cNamed > cArgs) {  // not a well-formed call: any documented refusal, but no crash
        e.stage = Stage::Open;
        return e;
    }
    const DISPID* named = params->rgdispidNamedArgs;
    const bool singlePut = cNamed == 1 && named[0] == DISPID_PROPERTYPUT;
    if (surface.named == Named::ByPosition) {
        for (UINT i = 0; i < cNamed; ++i) {
            if (i == 0 && named[0] == DISPID_PROPERTYPUT) continue;
            if (named[i] < 0 || named[i] >= static_cast<DISPID>(cArgs)) {
                e.stage = Stage::NamedArgs;
                e.allowed = {DISP_E_PARAMNOTFOUND};
                e.argErr = {i};
                return e;
            }
        }
    } else if (surface.named == Named::Refused && cNamed > 0 && !singlePut) {
        e.stage = Stage::NamedArgs;
        e.allowed = {DISP_E_NONAMEDARGS};
        return e;
    }

    const Member* getter = nullptr;
    const Member* setter = nullptr;
    const Member* other = nullptr;
    for (const Member& member : surface.members) {
        if (member.id != id) continue;
        if (member.kind == Kind::Get) getter = &member;
        else if (member.kind == Kind::Put) setter = &member;
        else other = &member;
    }
    const Member* member = other;
    if (getter && setter) {
        if (flags & DISPATCH_PROPERTYGET) member = getter;
        else if (flags & DISPATCH_PROPERTYPUT) member = setter;
        else {  // neither flag: the outcome is the implementation's choice
            e.stage = Stage::Open;
            return e;
        }
    } else if (!member) {
        member = getter ? getter : setter;
    }
    if (!member) {
        e.stage = Stage::Lookup;
        e.allowed = {DISP_E_MEMBERNOTFOUND};
        return e;
    }
    e.member = member;
    const std::size_t inputs = member->inputs.size();
    if (cArgs != inputs) {
        e.stage = Stage::MemberCount;
        e.allowed = {DISP_E_BADPARAMCOUNT};
        return e;
    }

    // Which argument supplies which parameter. Positional arguments come last
    // parameter first; with named arguments on an interface that honours
    // them the mapping is exact only when the named ones are the trailing
    // parameters, each once.
    std::vector<int> argOf(inputs, -1);
    bool exact = true;
    if (surface.named == Named::ByPosition && cNamed > 0 && !singlePut) {
        std::vector<int> paramOfNamed(cNamed);
        for (UINT i = 0; i < cNamed; ++i)
            paramOfNamed[i] = (i == 0 && named[0] == DISPID_PROPERTYPUT) ? static_cast<int>(inputs) - 1 : named[i];
        for (UINT i = 0; i < cNamed && exact; ++i) {
            int p = paramOfNamed[i];
            if (p < static_cast<int>(inputs - cNamed) || argOf[static_cast<std::size_t>(p)] != -1) exact = false;
            else argOf[static_cast<std::size_t>(p)] = static_cast<int>(i);
        }
        for (std::size_t p = 0; exact && p < inputs - cNamed; ++p) argOf[p] = static_cast<int>(cArgs - 1 - p);
    } else {
        for (std::size_t p = 0; p < inputs; ++p) argOf[p] = static_cast<int>(cArgs - 1 - p);
    }

    std::vector<CVariant> values(inputs);
    if (!exact) {
        // Named arguments in an order the model does not pin down: the call
        // reaches the member or refuses one of its arguments.
        e.stage = Stage::Member;
        e.allowed = {S_OK, S_FALSE, E_INVALIDARG, E_OUTOFMEMORY, DISP_E_TYPEMISMATCH};
        for (UINT a = 0; a < cArgs; ++a) e.argErr.push_back(a);
        return e;
    }
    for (std::size_t p = 0; p < inputs; ++p) {
        UINT a = static_cast<UINT>(argOf[p]);
        bool changed = false;
        if (!Accepts(params->rgvarg[a], member->inputs[p], values[p], changed)) {
            e.stage = Stage::Conversion;
            e.allowed = {DISP_E_TYPEMISMATCH};
            e.argErr = {a};
            return e;
        }
        if (changed) e.converted.push_back({a, member->inputs[p]});
    }
    e.stage = Stage::Member;
    ApplyRule(*member, values, context, e);
    return e;
}

bool CDispatchOracle::Documented(HRESULT hr) {
    static const HRESULT kDocumented[] = {S_OK, S_FALSE, E_INVALIDARG, E_POINTER, E_OUTOFMEMORY,
                                          DISP_E_BADVARTYPE, DISP_E_BADPARAMCOUNT, DISP_E_NONAMEDARGS,
                                          DISP_E_PARAMNOTFOUND, DISP_E_MEMBERNOTFOUND, DISP_E_TYPEMISMATCH,
                                          DISP_E_UNKNOWNNAME, DISP_E_BADINDEX};
    return std::find(std::begin(kDocumented), std::end(kDocumented), hr) != std::end(kDocumented);
}

std::string CDispatchOracle::Name(HRESULT hr) {
    switch (hr) {
    case S_OK: return "S_OK";
    case S_FALSE: return "S_FALSE";
    case E_INVALIDARG: return "E_INVALIDARG";
    case E_POINTER: return "E_POINTER";
    case E_OUTOFMEMORY: return "E_OUTOFMEMORY";
    case E_NOTIMPL: return "E_NOTIMPL";
    case E_FAIL: return "E_FAIL";
    case E_UNEXPECTED: return "E_UNEXPECTED";
    case DISP_E_BADVARTYPE: return "DISP_E_BADVARTYPE";
    case DISP_E_BADPARAMCOUNT: return "DISP_E_BADPARAMCOUNT";
    case DISP_E_NONAMEDARGS: return "DISP_E_NONAMEDARGS";
    case DISP_E_PARAMNOTFOUND: return "DISP_E_PARAMNOTFOUND";
    case DISP_E_MEMBERNOTFOUND: return "DISP_E_MEMBERNOTFOUND";
    case DISP_E_TYPEMISMATCH: return "DISP_E_TYPEMISMATCH";
    case DISP_E_UNKNOWNNAME: return "DISP_E_UNKNOWNNAME";
    case DISP_E_BADINDEX: return "DISP_E_BADINDEX";
    default: {
        char text[16];
        std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
        return text;
    }
    }
}

} // namespace VarquelRobustness
