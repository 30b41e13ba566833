#include "tests/robustness/DispatchOracle.h"
#include <wrl/client.h>
#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <utility>
#include "com/Variant.h"
#include "DispatchSurface.h"
#include "tests/support/TestSupport.h"

namespace VarquelRobustness {

using Microsoft::WRL::ComPtr;
using Varquel::CVariant;
using VarquelTest::Narrow;

namespace {

using K = CDispatchOracle::Kind;
using R = CDispatchOracle::Rule;
using N = CDispatchOracle::Named;

namespace Surface = Varquel::DispatchSurface;

// What each member may return once reached, by interface and member name; a
// property's row covers its getter and its setter. The members themselves,
// their DISPIDs, types and limits come from the IDL.
struct MemberRules {
    const wchar_t* itf;
    std::vector<std::pair<std::wstring, R>> members;
};
const MemberRules kRules[] = {
    {L"IAddressList",
     {{L"Count", R::Ok}, {L"Add", R::AddText}, {L"GetAt", R::Ok}, {L"RemoveAll", R::Ok}, {L"RemoveAt", R::IndexOpen}}},
    {L"INetAdapterProperty",
     {{L"GetCurrent", R::OkOrFalse}, {L"Apply", R::OkOrFalse}, {L"IPAddresses", R::Ok}, {L"SubnetMasks", R::Ok},
      {L"GateWayAddresses", R::Ok}, {L"DNSAddresses", R::Ok}, {L"WINSServers", R::Ok}, {L"IsDHCP", R::Ok},
      {L"Name", R::Ok}, {L"NetConnectionID", R::Ok}}},
    {L"INetAdaptersList",
     {{L"Count", R::Ok}, {L"NetAdapterPropertyGetAt", R::Ok}, {L"Apply", R::Ok}, {L"GetCurrent", R::Ok},
      {L"DetectAdapters", R::Ok}}},
    {L"IPrintersProperty",
     {{L"PrintersCount", R::Ok}, {L"PrinterNumber", R::Ok}, {L"Name", R::IndexOpen}, {L"Default", R::Ok},
      {L"GetCurrent", R::Ok}, {L"Apply", R::Ok}, {L"DetectPrinters", R::Ok}, {L"SetDefault", R::Ok},
      {L"GetDefault", R::Ok}}},
    {L"IProxyProperty",
     {{L"GetCurrent", R::Ok}, {L"Apply", R::Ok}, {L"HTTPServer", R::Ok}, {L"HTTPPort", R::Ok},
      {L"SecureServer", R::Ok}, {L"SecurePort", R::Ok}, {L"FTPServer", R::Ok}, {L"FTPPort", R::Ok},
      {L"GopherServer", R::Ok}, {L"GopherPort", R::Ok}, {L"SocksServer", R::Ok}, {L"SocksPort", R::Ok},
      {L"IsUseOneProxy", R::Ok}}},
    {L"INetShareList",
     {{L"GetCurrent", R::Ok}, {L"Apply", R::Ok}, {L"RemoveAt", R::IndexOpen}, {L"RemoveAll", R::Ok},
      {L"Count", R::Ok}, {L"NameGetAt", R::IndexOpen}, {L"PathGetAt", R::IndexOpen}, {L"CloseAll", R::Ok},
      {L"Add", R::AddText}}},
    {L"INetProfile",
     {{L"NetAdaptersList", R::Ok}, {L"PrintersProperty", R::Ok}, {L"ProxyProperty", R::NullObject},
      {L"NetShareList", R::NullObject}, {L"GetCurrent", R::Ok}, {L"Apply", R::Ok}, {L"Name", R::Ok},
      {L"GetDuplicate", R::Ok}}},
    {L"INetProfilesList",
     {{L"Count", R::Ok}, {L"NetProfileGetAt", R::ProfilesGetAt}, {L"Add", R::ProfilesAdd}, {L"Load", R::Ok},
      {L"Save", R::Save}, {L"NetProfileRemoveAt", R::ProfilesRemoveAt}, {L"NetProfileSetAt", R::ProfilesSetAt}}},
    {L"IApplyChange",
     {{L"Adapter", R::Ok}, {L"NetConnectionID", R::Ok}, {L"Setting", R::Ok}, {L"Before", R::Ok}, {L"Planned", R::Ok},
      {L"After", R::Ok}, {L"Status", R::Ok}, {L"WmiMethod", R::Ok}, {L"WmiReturnValue", R::Ok}, {L"Message", R::Ok}}},
    {L"IApplyReport",
     {{L"Count", R::Ok}, {L"Item", R::Ok}, {L"_NewEnum", R::Ok}, {L"Succeeded", R::Ok}, {L"RolledBack", R::Ok},
      {L"Before", R::Ok}, {L"Text", R::Ok}}},
    {L"IApplyReport2",
     {{L"Count", R::Ok}, {L"Item", R::Ok}, {L"_NewEnum", R::Ok}, {L"Succeeded", R::Ok}, {L"RolledBack", R::Ok},
      {L"Before", R::Ok}, {L"Text", R::Ok}, {L"AccessDenied", R::Ok}, {L"RestartNeeded", R::Ok}}},
    {L"IProfileSwitch",
     {{L"Preview", R::SwitchProfile}, {L"Apply", R::SwitchProfile}, {L"Rollback", R::SwitchRollback},
      {L"RollbackOnFailure", R::Ok}, {L"VerifyTimeout", R::NonNegative}}},
    {L"IProfileSwitch2",
     {{L"Preview", R::SwitchProfile}, {L"Apply", R::SwitchProfile}, {L"Rollback", R::SwitchRollback},
      {L"RollbackOnFailure", R::Ok}, {L"VerifyTimeout", R::NonNegative}, {L"IncludeProxy", R::Ok},
      {L"SetProxy", R::StoredProxy}, {L"ForgetProxy", R::StoredProxy}, {L"GetProxy", R::StoredProxy}}},
    {L"IUserProxy",
     {{L"AutoDetect", R::Ok}, {L"AutoConfigEnabled", R::Ok}, {L"AutoConfigURL", R::Ok}, {L"ProxyEnabled", R::Ok},
      {L"ProxyServer", R::Ok}, {L"ProxyBypass", R::Ok}, {L"GetCurrent", R::Ok}, {L"Apply", R::CheckedWrite}}},
};

bool InIdl(const std::wstring& itf, const std::wstring& member) {
    for (const Surface::Interface& candidate : Surface::kInterfaces)
        for (const Surface::Member& m : candidate.members)
            if (itf == candidate.name && member == m.name) return true;
    return false;
}

R RuleOf(const std::wstring& itf, const std::wstring& member) {
    for (const MemberRules& rules : kRules) {
        if (itf != rules.itf) continue;
        for (const auto& [name, rule] : rules.members)
            if (name == member) return rule;
    }
    throw std::logic_error("the dispatch oracle has no expectation for " + Narrow(itf) + "." + Narrow(member));
}

K KindOf(Surface::Kind kind) {
    switch (kind) {
    case Surface::Kind::PropertyGet: return K::Get;
    case Surface::Kind::PropertyPut: return K::Put;
    case Surface::Kind::Method: break;
    }
    return K::Method;
}

N NamedOf(Surface::NamedArgs named) {
    switch (named) {
    case Surface::NamedArgs::ByPosition: return N::ByPosition;
    case Surface::NamedArgs::Refused: return N::Refused;
    case Surface::NamedArgs::Ignored: break;
    }
    return N::Ignored;
}

// Every member needs its rule, and every rule its member: a model that lags
// behind the IDL refuses to run rather than guess.
std::vector<CDispatchOracle::Interface> Build() {
    std::vector<CDispatchOracle::Interface> list;
    for (const Surface::Interface& itf : Surface::kInterfaces) {
        CDispatchOracle::Interface surface{itf.name, itf.iid, itf.clsid, itf.maxArgs, NamedOf(itf.namedArgs), {}};
        for (const Surface::Member& m : itf.members)
            surface.members.push_back({m.id, KindOf(m.kind), std::vector<VARTYPE>(m.inputs.begin(), m.inputs.end()),
                                       m.result,
                                       std::vector<const IID*>(m.inputInterfaces.begin(), m.inputInterfaces.end()),
                                       RuleOf(itf.name, m.name), m.name});
        list.push_back(std::move(surface));
    }
    for (const MemberRules& rules : kRules)
        for (const auto& [name, rule] : rules.members)
            if (!InIdl(rules.itf, name))
                throw std::logic_error("the dispatch oracle expects " + Narrow(rules.itf) + "." + Narrow(name) +
                                       ", which the IDL does not have");
    return list;
}

// Whether the dispatch layer accepts `arg` for a parameter of type `type`,
// and the value the member then receives.
bool Accepts(const VARIANT& arg, VARTYPE type, const IID* itf, CVariant& value, bool& changed) {
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
        ComPtr<IUnknown> queried;
        if (!itf || FAILED(object->QueryInterface(*itf, reinterpret_cast<void**>(queried.GetAddressOf())))) return false;
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
    case R::SwitchProfile: e.allowed = {foreign(0) ? E_INVALIDARG : S_OK}; break;
    case R::SwitchRollback: e.allowed = {S_OK, E_INVALIDARG}; break;
    case R::NonNegative:
        e.allowed = {member.kind == K::Put && index(0) < 0 ? E_INVALIDARG : S_OK};
        break;
    case R::CheckedWrite: e.allowed = {S_OK, E_INVALIDARG}; break;
    case R::StoredProxy:
        if (foreign(0) || (values.size() > 1 && member.inputs[1] == VT_DISPATCH && foreign(1)))
            e.allowed = {E_INVALIDARG};
        else
            e.allowed = {S_OK, E_INVALIDARG};
        break;
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
        if (!Accepts(params->rgvarg[a], member->inputs[p], member->interfaces[p], values[p], changed)) {
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
