// Late-bound calls: random Invoke calls on every interface of the server,
// each checked against the documented dispatch rules and member results.
#include <gtest/gtest.h>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include "com/Bstr.h"
#include "com/SafeArray.h"
#include "com/Variant.h"
#include "simulator/SimulatedMachine.h"
#include "tests/robustness/CampaignSettings.h"
#include "tests/robustness/DispatchOracle.h"
#include "tests/robustness/ForeignObject.h"
#include "tests/robustness/Random.h"
#include "tests/robustness/SimulatedMachines.h"
#include "tests/robustness/StoreRootGuard.h"
#include "tests/settings/FakeInternetOptions.h"
#include "tests/support/TestSupport.h"
// After <windows.h>, which it needs.
#include <psapi.h>

namespace VarquelRobustness {
namespace {

using Microsoft::WRL::ComPtr;
using Varquel::CBstr;
using Varquel::CVariant;
using Oracle = CDispatchOracle;

constexpr LONG kResultSentinel = 0x5A5A;
// Foreign objects that answer INetProfile with a tear-off are among the
// arguments (see the regression test
// DispatchHandsTheMemberAnInterfaceWhoseReferenceItGaveBack).
constexpr bool kPassTearOffs = true;
constexpr UINT kArgErrSentinel = 0xDEADBEEF;

struct CallCounts {
    long invokes = 0;
    long reachedMember = 0;
    long nameLookups = 0;
    long typeInfoCalls = 0;
    long failures = 0;
};

// The arguments of one call and everything they point to, released when the
// call is done.
class CCallArguments {
public:
    CCallArguments() = default;
    CCallArguments(const CCallArguments&) = delete;
    CCallArguments& operator=(const CCallArguments&) = delete;
    ~CCallArguments() {
        for (VARIANT& arg : args) VariantClear(&arg);
        for (VARIANT& target : referenced) VariantClear(&target);
    }

    std::vector<VARIANT> args;
    std::vector<DISPID> named;
    std::deque<VARIANT> referenced;  // targets of VT_BYREF | VT_VARIANT
    std::deque<LONG> longs;          // targets of VT_BYREF | VT_I4
    std::deque<CBstr> strings;       // targets of VT_BYREF | VT_BSTR
};

std::string VariantText(const VARIANT& v) {
    char text[96];
    switch (V_VT(&v)) {
    case VT_EMPTY: return "EMPTY";
    case VT_NULL: return "NULL";
    case VT_I4: std::snprintf(text, sizeof text, "I4 %ld", static_cast<long>(V_I4(&v))); return text;
    case VT_I2: std::snprintf(text, sizeof text, "I2 %d", V_I2(&v)); return text;
    case VT_BOOL: std::snprintf(text, sizeof text, "BOOL %d", V_BOOL(&v)); return text;
    case VT_R8: std::snprintf(text, sizeof text, "R8 %g", V_R8(&v)); return text;
    case VT_BSTR:
        if (!V_BSTR(&v)) return "BSTR null";
        return "BSTR(" + std::to_string(SysStringLen(V_BSTR(&v))) + ") \"" +
               VarquelTest::Narrow(std::wstring(V_BSTR(&v), std::min<UINT>(SysStringLen(V_BSTR(&v)), 40))) + "\"";
    case VT_DISPATCH: return V_DISPATCH(&v) ? "DISPATCH object" : "DISPATCH null";
    case VT_UNKNOWN: return V_UNKNOWN(&v) ? "UNKNOWN object" : "UNKNOWN null";
    case VT_BYREF | VT_VARIANT:
        return V_VARIANTREF(&v) ? "BYREF VARIANT -> " + VariantText(*V_VARIANTREF(&v)) : "BYREF VARIANT null";
    default: std::snprintf(text, sizeof text, "vt 0x%04X", V_VT(&v)); return text;
    }
}

class CLateBoundScenario {
public:
    CLateBoundScenario(std::uint64_t seed, long index, CallCounts& counts)
        : m_random(seed), m_index(index), m_counts(counts) {}

    void Run(long calls) {
        std::string machineText = m_random.Chance(0.25) ? CSimulatedMachines::Variant(m_random, 1 + m_random.Below(3))
                                                        : CSimulatedMachines::Office();
        std::shared_ptr<VarquelSim::CMachine> machine = VarquelSim::CMachine::FromJson(machineText);
        {
            VarquelSim::CInstall install(machine);
            // The current user's proxy is simulated too: never the prefix's.
            SettingsTests::CFakeInternetOptions userProxy;
            m_foreign = {CForeignObject::Create(CForeignObject::Offers::Unknown),
                         CForeignObject::Create(CForeignObject::Offers::Dispatch),
                         CForeignObject::Create(CForeignObject::Offers::Profile),
                         CForeignObject::Create(CForeignObject::Offers::TearOffProfile)};
            m_callsOnReleased = CForeignObject::CallsOnReleasedTearOffs();
            for (std::size_t i = 0; i < Oracle::Interfaces().size(); ++i) {
                // A switch's report and its changes come only from a switch.
                if (!Oracle::Interfaces()[i].clsid) continue;
                ComPtr<IDispatch> object;
                HRESULT hr = CoCreateInstance(*Oracle::Interfaces()[i].clsid, nullptr, CLSCTX_ALL, IID_IDispatch,
                                              reinterpret_cast<void**>(object.GetAddressOf()));
                if (FAILED(hr) || !object) {
                    Fail("creating " + VarquelTest::Narrow(Oracle::Interfaces()[i].name) + " failed: " +
                         Oracle::Name(hr));
                    continue;
                }
                KeepVerificationShort(object.Get());
                m_pool.push_back({object, static_cast<int>(i)});
            }
            for (long call = 0; call < calls && !m_pool.empty() && m_failures < 5; ++call) {
                m_call = call;
                unsigned roll = m_random.Below(100);
                if (roll < 4) LookUpNames();
                else if (roll < 6) AskTypeInformation();
                else Invoke();
                if (m_pool.size() > 8 && m_random.Chance(0.02)) m_pool.erase(m_pool.begin() + m_random.Below(static_cast<std::uint32_t>(m_pool.size())));
            }
            m_pool.clear();
            for (const auto& foreign : m_foreign)
                if (foreign->References() != 1)
                    Fail("the server still holds a foreign object (" + std::to_string(foreign->References() - 1) +
                         " references) after every object was released");
            m_foreign.clear();
        }
        EXPECT_EQ(VarquelTest::ModuleLockCount(), 0) << Where() << ": objects or locks left after the scenario";
        EXPECT_EQ(machine->LiveObjects(), 0) << Where() << ": WMI objects left after the scenario";
    }

private:
    // A switch waits up to VerifyTimeout for the machine to show a change
    // that it does not show; the campaign keeps that wait short.
    static void KeepVerificationShort(IDispatch* object) {
        ComPtr<IProfileSwitch> profileSwitch;
        long timeout = 0;
        if (SUCCEEDED(object->QueryInterface(IID_IProfileSwitch, reinterpret_cast<void**>(profileSwitch.GetAddressOf()))) &&
            SUCCEEDED(profileSwitch->get_VerifyTimeout(&timeout)) && timeout > 20)
            profileSwitch->put_VerifyTimeout(20);
    }

    struct PoolEntry {
        ComPtr<IDispatch> object;
        int itf;
    };

    std::string Where() const {
        return "VARQUEL_SEED=" + std::to_string(CCampaignSettings::Seed()) + " scenario " + std::to_string(m_index) +
               " call " + std::to_string(m_call);
    }

    void Fail(const std::string& text) {
        ++m_failures;
        ++m_counts.failures;
        ADD_FAILURE() << Where() << ": " << text;
    }

    // ---- Argument values ----

    VARIANT Dispatch(bool allowForeign) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_DISPATCH;
        V_DISPATCH(&v) = nullptr;
        unsigned roll = m_random.Below(10);
        if (allowForeign && roll < 2) {
            ComPtr<CForeignObject> foreign = m_foreign[1 + m_random.Below(kPassTearOffs ? 3 : 2)];
            V_DISPATCH(&v) = static_cast<INetProfile*>(foreign.Detach());
        } else if (roll < 9 && !m_pool.empty()) {
            // Prefer profiles: they are what interface parameters take.
            const PoolEntry* chosen = &m_pool[m_random.Below(static_cast<std::uint32_t>(m_pool.size()))];
            for (int tries = 0; tries < 4 && chosen->itf != 6; ++tries)
                chosen = &m_pool[m_random.Below(static_cast<std::uint32_t>(m_pool.size()))];
            ComPtr<IDispatch> copy = chosen->object;
            V_DISPATCH(&v) = copy.Detach();
        }
        return v;
    }

    BSTR NewText() {
        if (m_random.Chance(0.1)) return nullptr;
        std::wstring text = m_random.Chance(0.01) ? std::wstring(70000, L'x') : m_random.Text();
        return CBstr(text.data(), static_cast<UINT>(text.size())).Detach();
    }

    VARIANT Good(VARTYPE type, CCallArguments& call) {
        VARIANT v;
        VariantInit(&v);
        if (m_random.Chance(0.08)) {  // the same value, by reference to a variant
            call.referenced.push_back(Good(type, call));
            V_VT(&v) = VT_BYREF | VT_VARIANT;
            V_VARIANTREF(&v) = &call.referenced.back();
            return v;
        }
        switch (type) {
        case VT_I4:
            if (m_random.Chance(0.75)) {
                V_VT(&v) = VT_I4;
                V_I4(&v) = m_random.Index(3);
            } else if (m_random.Chance(0.5)) {
                V_VT(&v) = VT_BSTR;
                V_BSTR(&v) = CBstr(std::to_wstring(m_random.Between(-1, 3)).c_str()).Detach();
            } else {
                V_VT(&v) = VT_I2;
                V_I2(&v) = static_cast<SHORT>(m_random.Between(-2, 3));
            }
            break;
        case VT_BSTR:
            if (m_random.Chance(0.85)) {
                V_VT(&v) = VT_BSTR;
                V_BSTR(&v) = NewText();
            } else {
                V_VT(&v) = VT_I4;
                V_I4(&v) = m_random.Between(-5, 100);
            }
            break;
        case VT_BOOL:
            if (m_random.Chance(0.7)) {
                static const VARIANT_BOOL kBooleans[] = {VARIANT_TRUE, VARIANT_FALSE, 1, 2, 0x7FFF};
                V_VT(&v) = VT_BOOL;
                V_BOOL(&v) = m_random.Pick(kBooleans);
            } else {
                V_VT(&v) = VT_I4;
                V_I4(&v) = m_random.Between(-1, 2);
            }
            break;
        case VT_DISPATCH:
            if (m_random.Chance(0.85)) {
                v = Dispatch(true);
            } else {
                ComPtr<IUnknown> unknown;
                if (!m_pool.empty()) m_pool[m_random.Below(static_cast<std::uint32_t>(m_pool.size()))].object.As(&unknown);
                V_VT(&v) = VT_UNKNOWN;
                V_UNKNOWN(&v) = unknown.Detach();
            }
            break;
        default:
            break;
        }
        return v;
    }

    VARIANT Junk(CCallArguments& call) {
        VARIANT v;
        VariantInit(&v);
        switch (m_random.Below(17)) {
        case 0: break;
        case 1: V_VT(&v) = VT_NULL; break;
        case 2: V_VT(&v) = VT_I4; V_I4(&v) = m_random.Index(5); break;
        case 3: V_VT(&v) = VT_BSTR; V_BSTR(&v) = NewText(); break;
        case 4: V_VT(&v) = VT_R8; V_R8(&v) = m_random.Pick(std::vector<double>{1.5, -1e300, 1e300, NAN, 2.0}); break;
        case 5: v = Dispatch(true); break;
        case 6: {
            V_VT(&v) = VT_UNKNOWN;
            ComPtr<CForeignObject> foreign = m_foreign[0];
            V_UNKNOWN(&v) = m_random.Chance(0.5) ? static_cast<IUnknown*>(foreign.Detach()) : nullptr;
            break;
        }
        case 7: {
            VARIANT inner = m_random.Chance(0.5) ? Junk(call) : Good(VT_I4, call);
            if (V_VT(&inner) == (VT_BYREF | VT_VARIANT)) {  // one level of reference only
                VariantClear(&inner);
                V_VT(&inner) = VT_I4;
                V_I4(&inner) = 1;
            }
            call.referenced.push_back(inner);
            V_VT(&v) = VT_BYREF | VT_VARIANT;
            V_VARIANTREF(&v) = &call.referenced.back();
            break;
        }
        case 8:
            call.longs.push_back(m_random.Index(3));
            V_VT(&v) = VT_BYREF | VT_I4;
            V_I4REF(&v) = &call.longs.back();
            break;
        case 9: {
            call.strings.emplace_back();
            BSTR* slot = call.strings.back().ReleaseAndGetAddressOf();
            *slot = CBstr(L"2").Detach();
            V_VT(&v) = VT_BYREF | VT_BSTR;
            V_BSTRREF(&v) = slot;
            break;
        }
        case 10: {
            Varquel::CSafeArray array = Varquel::CSafeArray::Variants(m_random.Below(3));
            LONG count = static_cast<LONG>(array.Get()->rgsabound[0].cElements);
            for (LONG i = 0; i < count; ++i) {
                CVariant element;
                V_VT(element.Get()) = VT_BSTR;
                V_BSTR(element.Get()) = CBstr(L"10.0.0.7").Detach();
                SafeArrayPutElement(array.Get(), &i, element.Get());
            }
            V_VT(&v) = VT_ARRAY | VT_VARIANT;
            V_ARRAY(&v) = array.Detach();
            break;
        }
        case 11: V_VT(&v) = VT_ERROR; V_ERROR(&v) = DISP_E_PARAMNOTFOUND; break;
        case 12: V_VT(&v) = VT_BOOL; V_BOOL(&v) = static_cast<VARIANT_BOOL>(m_random.Between(-2, 2)); break;
        case 13: V_VT(&v) = VT_I8; V_I8(&v) = m_random.Chance(0.5) ? LLONG_MAX : 2; break;
        case 14: V_VT(&v) = VT_CY; V_CY(&v).int64 = 25000; break;
        case 15: V_VT(&v) = VT_DATE; V_DATE(&v) = 45000.5; break;
        default: V_VT(&v) = VT_UI1; V_UI1(&v) = 200; break;
        }
        return v;
    }

    // ---- Calls ----

    void Invoke() {
        PoolEntry entry = m_pool[m_random.Below(static_cast<std::uint32_t>(m_pool.size()))];
        const Oracle::Interface& surface = Oracle::Interfaces()[static_cast<std::size_t>(entry.itf)];
        const Oracle::Member* member = nullptr;
        DISPID id;
        if (m_random.Chance(0.85)) {
            member = &m_random.Pick(surface.members);
            id = member->id;
        } else {
            static const DISPID kOther[] = {0, -1, -3, -4, -5, 2, 5, 8, 9, 14, 100, LONG_MAX, LONG_MIN, 1000, 13};
            id = m_random.Pick(kOther);
        }
        WORD flags;
        if (member && m_random.Chance(0.85)) {
            switch (member->kind) {
            case Oracle::Kind::Method: flags = m_random.Chance(0.7) ? DISPATCH_METHOD : DISPATCH_METHOD | DISPATCH_PROPERTYGET; break;
            case Oracle::Kind::Get: flags = m_random.Chance(0.6) ? DISPATCH_PROPERTYGET : DISPATCH_METHOD | DISPATCH_PROPERTYGET; break;
            default: flags = DISPATCH_PROPERTYPUT; break;
            }
        } else {
            static const WORD kFlags[] = {0, 1, 2, 3, 4, 8, 12, 6, 0xFFFF, 0x10};
            flags = m_random.Pick(kFlags);
        }
        UINT cArgs = member && m_random.Chance(0.85) ? static_cast<UINT>(member->inputs.size()) : m_random.Below(5);

        CCallArguments call;
        if (m_random.Chance(0.25) && cArgs > 0) {
            if (member && member->kind == Oracle::Kind::Put && m_random.Chance(0.6)) {
                call.named = {DISPID_PROPERTYPUT};
            } else {
                static const DISPID kNamed[] = {DISPID_PROPERTYPUT, 0, 1, 2, -1, 5};
                UINT count = 1 + m_random.Below(std::min<UINT>(cArgs, 2));
                if (m_random.Chance(0.05)) count = cArgs + 1;  // more names than arguments
                for (UINT i = 0; i < count; ++i) call.named.push_back(m_random.Pick(kNamed));
            }
        }
        const UINT slots = std::max<UINT>(cArgs, static_cast<UINT>(call.named.size()));
        for (UINT i = 0; i < slots; ++i) {
            VARTYPE type = VT_EMPTY;
            if (member && i < cArgs) {
                UINT p = cArgs - 1 - i;  // positional arguments come last parameter first
                if (p < member->inputs.size()) type = member->inputs[p];
            }
            call.args.push_back(type != VT_EMPTY && m_random.Chance(0.75) ? Good(type, call) : Junk(call));
        }

        DISPPARAMS params{call.args.empty() ? nullptr : call.args.data(),
                          call.named.empty() ? nullptr : call.named.data(), cArgs,
                          static_cast<UINT>(call.named.size())};
        const bool nullParams = m_random.Chance(0.02);
        const bool wantResult = m_random.Chance(0.9);
        const bool wantArgErr = m_random.Chance(0.9);

        Oracle::Context context;
        context.isForeign = [this](IUnknown* object) {
            ComPtr<IUnknown> identity;
            if (!object || FAILED(object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(identity.GetAddressOf()))))
                return false;
            for (const auto& foreign : m_foreign)
                if (identity.Get() == static_cast<IUnknown*>(static_cast<INetProfile*>(foreign.Get()))) return true;
            return false;
        };
        if (entry.itf == 7) {
            ComPtr<INetProfilesList> list;
            entry.object.As(&list);
            if (list) list->get_Count(&context.profilesCount);
        }
        Oracle::Expectation expected = Oracle::Predict(entry.itf, id, flags, nullParams ? nullptr : &params, context);

        std::string description = VarquelTest::Narrow(surface.name) + " DISPID " + std::to_string(id) + " (" +
                                  (expected.member ? VarquelTest::Narrow(expected.member->name) : std::string("-")) +
                                  ") flags " + std::to_string(flags) + (nullParams ? " no DISPPARAMS" : "") +
                                  " cArgs " + std::to_string(cArgs) + " named [";
        for (DISPID n : call.named) description += std::to_string(n) + " ";
        description += "] args [";
        for (const VARIANT& arg : call.args) description += VariantText(arg) + "; ";
        description += "]";
        if (std::getenv("VARQUEL_TRACE")) std::printf("%s: %s\n", Where().c_str(), description.c_str());

        CVariant result;
        V_VT(result.Get()) = VT_I4;
        V_I4(result.Get()) = kResultSentinel;
        UINT argErr = kArgErrSentinel;
        EXCEPINFO exception{};
        ++m_counts.invokes;
        HRESULT hr = entry.object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, nullParams ? nullptr : &params,
                                          wantResult ? result.Get() : nullptr, &exception,
                                          wantArgErr ? &argErr : nullptr);
        if (expected.stage == Oracle::Stage::Member) ++m_counts.reachedMember;
        if (std::getenv("VARQUEL_TRACE")) std::printf("  -> %s\n", Oracle::Name(hr).c_str());
        Check(hr, expected, call, result, argErr, wantResult, wantArgErr, exception, description);
        KeepVerificationShort(entry.object.Get());

        if (SUCCEEDED(hr) && wantResult && result.Type() == VT_DISPATCH && V_DISPATCH(result.Get())) {
            int itf = Oracle::Identify(V_DISPATCH(result.Get()));
            if (itf >= 0) {
                PoolEntry harvested{ComPtr<IDispatch>(V_DISPATCH(result.Get())), itf};
                if (m_pool.size() < 40) m_pool.push_back(harvested);
                else m_pool[m_random.Below(static_cast<std::uint32_t>(m_pool.size()))] = harvested;
            }
        }
    }

    void Check(HRESULT hr, const Oracle::Expectation& expected, CCallArguments& call, CVariant& result, UINT argErr,
               bool wantResult, bool wantArgErr, const EXCEPINFO& exception, const std::string& description) {
        std::string got = " returned " + Oracle::Name(hr) + " for " + description;
        if (!Oracle::Documented(hr)) {
            Fail("undocumented result:" + got);
            return;
        }
        if (expected.stage != Oracle::Stage::Open &&
            std::find(expected.allowed.begin(), expected.allowed.end(), hr) == expected.allowed.end()) {
            std::string want;
            for (HRESULT allowed : expected.allowed) want += Oracle::Name(allowed) + " ";
            Fail("expected " + want + "but" + got);
            return;
        }
        if ((hr == DISP_E_PARAMNOTFOUND || hr == DISP_E_TYPEMISMATCH) && wantArgErr && !expected.argErr.empty() &&
            std::find(expected.argErr.begin(), expected.argErr.end(), argErr) == expected.argErr.end())
            Fail("puArgErr " + std::to_string(argErr) + ", expected " + std::to_string(expected.argErr.front()) + ":" + got);
        if (wantResult) {
            bool early = expected.stage == Oracle::Stage::Params || expected.stage == Oracle::Stage::ArgCount;
            bool sentinel = result.Type() == VT_I4 && V_I4(result.Get()) == kResultSentinel;
            if (early) {
                if (!sentinel && result.Type() != VT_EMPTY) Fail("pVarResult changed to " + VariantText(*result.Get()) + ":" + got);
            } else if (FAILED(hr)) {
                if (result.Type() != VT_EMPTY) Fail("pVarResult holds " + VariantText(*result.Get()) + " after a failure:" + got);
            } else if (expected.stage == Oracle::Stage::Member && expected.member) {
                VARTYPE want = expected.member->result;
                if (result.Type() != want) {
                    Fail("pVarResult holds " + VariantText(*result.Get()) + ", expected vt " + std::to_string(want) + ":" + got);
                } else if (want == VT_DISPATCH) {
                    if (expected.nullResultObject && V_DISPATCH(result.Get())) Fail("expected a null object:" + got);
                    if (expected.objectResultPresent && !V_DISPATCH(result.Get())) Fail("expected an object:" + got);
                }
            }
        }
        if (expected.stage == Oracle::Stage::Member || expected.stage == Oracle::Stage::Conversion) {
            for (const auto& [index, type] : expected.converted) {
                const VARIANT& arg = call.args[index];
                const VARIANT& value = V_VT(&arg) == (VT_BYREF | VT_VARIANT) ? *V_VARIANTREF(&arg) : arg;
                if (V_VT(&value) != type)
                    Fail("argument " + std::to_string(index) + " holds " + VariantText(value) +
                         " after conversion, expected vt " + std::to_string(type) + ":" + got);
            }
        }
        const EXCEPINFO none{};
        if (std::memcmp(&exception, &none, sizeof none) != 0) Fail("EXCEPINFO was filled:" + got);
        // Nothing the call received may stay referenced by the server.
        for (VARIANT& arg : call.args) VariantClear(&arg);
        for (VARIANT& target : call.referenced) VariantClear(&target);
        for (const auto& foreign : m_foreign)
            if (foreign->References() != 1)
                Fail("a foreign object kept " + std::to_string(foreign->References() - 1) + " reference(s):" + got);
        if (CForeignObject::CallsOnReleasedTearOffs() != m_callsOnReleased) {
            m_callsOnReleased = CForeignObject::CallsOnReleasedTearOffs();
            Fail("an interface of a foreign object was used after its reference was given back:" + got);
        }
    }

    void LookUpNames() {
        ++m_counts.nameLookups;
        const PoolEntry& entry = m_pool[m_random.Below(static_cast<std::uint32_t>(m_pool.size()))];
        const Oracle::Interface& surface = Oracle::Interfaces()[static_cast<std::size_t>(entry.itf)];
        UINT count = 1 + m_random.Below(3);
        std::vector<std::wstring> names;
        std::vector<DISPID> expected;
        for (UINT i = 0; i < count; ++i) {
            if (m_random.Chance(0.75)) {
                const Oracle::Member& member = m_random.Pick(surface.members);
                std::wstring name = member.name;
                if (member.kind == Oracle::Kind::Get && m_random.Chance(0.3)) name = L"get_" + name;
                if (member.kind == Oracle::Kind::Put && m_random.Chance(0.5)) name = L"put_" + name;
                for (wchar_t& c : name)
                    if (m_random.Chance(0.3)) c = static_cast<wchar_t>(iswupper(c) ? towlower(c) : towupper(c));
                names.push_back(name);
                expected.push_back(member.id);
            } else {
                names.push_back(L"zq" + std::to_wstring(m_random.Below(100000)));
                expected.push_back(DISPID_UNKNOWN);
            }
        }
        std::vector<LPOLESTR> pointers;
        for (std::wstring& name : names) pointers.push_back(name.data());
        std::vector<DISPID> ids(count, 12345);
        HRESULT hr = entry.object->GetIDsOfNames(IID_NULL, pointers.data(), count, LOCALE_USER_DEFAULT, ids.data());
        bool allKnown = std::find(expected.begin(), expected.end(), DISPID_UNKNOWN) == expected.end();
        std::string call = "GetIDsOfNames on " + VarquelTest::Narrow(surface.name) + " of";
        for (const std::wstring& name : names) call += " \"" + VarquelTest::Narrow(name) + "\"";
        if (hr != (allKnown ? S_OK : DISP_E_UNKNOWNNAME)) Fail(call + " returned " + Oracle::Name(hr));
        for (UINT i = 0; i < count; ++i)
            if (ids[i] != expected[i])
                Fail(call + ": name " + std::to_string(i) + " gave " + std::to_string(ids[i]) + ", expected " +
                     std::to_string(expected[i]));
    }

    void AskTypeInformation() {
        ++m_counts.typeInfoCalls;
        const PoolEntry& entry = m_pool[m_random.Below(static_cast<std::uint32_t>(m_pool.size()))];
        UINT count = 7;
        HRESULT hr = entry.object->GetTypeInfoCount(&count);
        if (hr != S_OK || count > 1) Fail("GetTypeInfoCount returned " + Oracle::Name(hr) + " and " + std::to_string(count));
        if (entry.object->GetTypeInfoCount(nullptr) != E_POINTER) Fail("GetTypeInfoCount(null) is not E_POINTER");
        UINT index = m_random.Chance(0.6) ? 0 : m_random.Pick(std::vector<UINT>{1, 2, 0xFFFFFFFF});
        ComPtr<ITypeInfo> info;
        hr = entry.object->GetTypeInfo(index, LOCALE_USER_DEFAULT, info.GetAddressOf());
        if (index != 0 && hr != DISP_E_BADINDEX) Fail("GetTypeInfo(" + std::to_string(index) + ") returned " + Oracle::Name(hr));
        if (index == 0 && count == 1 && (hr != S_OK || !info)) Fail("GetTypeInfo(0) returned " + Oracle::Name(hr));
    }

    CRandom m_random;
    long m_index;
    long m_call = 0;
    int m_failures = 0;
    CallCounts& m_counts;
    std::vector<PoolEntry> m_pool;
    std::vector<ComPtr<CForeignObject>> m_foreign;
    long m_callsOnReleased = 0;
};

TEST(LateBoundCalls, RandomInvokeOnEveryInterfaceGivesDocumentedResultsAndLeaksNothing) {
    CStoreRootGuard store;
    CallCounts counts;
    const long scenarios = 40L * CCampaignSettings::Size();
    const long callsPerScenario = 300;
    const long only = CCampaignSettings::OnlyScenario();
    DWORD start = GetTickCount();
    for (long s = 0; s < scenarios; ++s) {
        if (only >= 0 && s != only) continue;
        CStoreRootGuard::Clear();
        CLateBoundScenario scenario(CRandom::ScenarioSeed(CCampaignSettings::Seed(), "late-bound", static_cast<std::uint64_t>(s)), s, counts);
        scenario.Run(callsPerScenario);
    }
    CCampaignSettings::Report("late-bound: " + std::to_string(counts.invokes) + " Invoke calls (" +
                              std::to_string(counts.reachedMember) + " reached a member), " +
                              std::to_string(counts.nameLookups) + " GetIDsOfNames, " +
                              std::to_string(counts.typeInfoCalls) + " type-information calls, " +
                              std::to_string(counts.failures) + " failures, " +
                              std::to_string(GetTickCount() - start) + " ms");
}

} // namespace
} // namespace VarquelRobustness

namespace VarquelRobustness {
namespace {

using Microsoft::WRL::ComPtr;
using Varquel::CBstr;
using Varquel::CVariant;

SIZE_T PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
    return counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
}

// One Invoke of a member with at most one argument.
HRESULT Call(IDispatch* target, DISPID id, WORD flags, VARIANT* argument, VARIANT* result) {
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{argument, flags == DISPATCH_PROPERTYPUT ? &put : nullptr, argument ? 1u : 0u,
                      flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
    return target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, nullptr);
}

// Strings are not counted objects: a string the dispatch layer or a member
// forgets to free shows only as memory. Each probe moves a 512 KB string 100
// times; a leak would grow the process by about 50 MB.
TEST(LateBoundCalls, DiscardedResultsAndReplacedArgumentsLeakNoMemory) {
    const std::wstring big(1 << 18, L'7');
    {
        // The measure must see a leak of that size, or it proves nothing.
        std::vector<CBstr> kept;
        SIZE_T before = PrivateBytes();
        for (int i = 0; i < 100; ++i) kept.emplace_back(big.c_str(), static_cast<UINT>(big.size()));
        if (PrivateBytes() - before < 40u << 20) GTEST_SKIP() << "this Wine does not report the process's memory use";
    }
    ComPtr<IDispatch> proxy, profile, printers, list;
    ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_CProxyProperty, nullptr, CLSCTX_ALL, IID_IDispatch,
                                              reinterpret_cast<void**>(proxy.GetAddressOf())));
    ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_CNetProfile, nullptr, CLSCTX_ALL, IID_IDispatch,
                                              reinterpret_cast<void**>(profile.GetAddressOf())));
    ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_CPrintersProperty, nullptr, CLSCTX_ALL, IID_IDispatch,
                                              reinterpret_cast<void**>(printers.GetAddressOf())));
    ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_CAddressList, nullptr, CLSCTX_ALL, IID_IDispatch,
                                              reinterpret_cast<void**>(list.GetAddressOf())));
    auto text = [&] {
        CVariant value;
        V_VT(value.Get()) = VT_BSTR;
        V_BSTR(value.Get()) = CBstr(big.c_str(), static_cast<UINT>(big.size())).Detach();
        return value;
    };
    struct Probe {
        const char* what;
        std::function<void()> once;
    };
    const std::vector<Probe> probes = {
        {"a string property put again and again (proxy HTTPServer)",
         [&] { CVariant v = text(); Call(proxy.Get(), 3, DISPATCH_PROPERTYPUT, v.Get(), nullptr); }},
        {"a string result nobody takes (proxy HTTPServer get, no pVarResult)",
         [&] { Call(proxy.Get(), 3, DISPATCH_PROPERTYGET, nullptr, nullptr); }},
        {"a string result taken and cleared (proxy HTTPServer get)",
         [&] { CVariant r; Call(proxy.Get(), 3, DISPATCH_PROPERTYGET, nullptr, r.Get()); }},
        {"a profile Name put and read back without pVarResult",
         [&] {
             CVariant v = text();
             Call(profile.Get(), 7, DISPATCH_PROPERTYPUT, v.Get(), nullptr);
             Call(profile.Get(), 7, DISPATCH_PROPERTYGET, nullptr, nullptr);
         }},
        {"SetDefault then GetDefault without pVarResult",
         [&] {
             CVariant v = text();
             Call(printers.Get(), 8, DISPATCH_METHOD, v.Get(), nullptr);
             Call(printers.Get(), 9, DISPATCH_METHOD, nullptr, nullptr);
         }},
        {"a by-reference string converted to a number in place (RemoveAt)",
         [&] {
             CVariant target = text();  // "777...7" does not fit a long: the conversion fails, nothing replaced
             CVariant byRef;
             V_VT(byRef.Get()) = VT_BYREF | VT_VARIANT;
             V_VARIANTREF(byRef.Get()) = target.Get();
             Call(list.Get(), 7, DISPATCH_METHOD, byRef.Get(), nullptr);
             VariantInit(byRef.Get());
             CVariant small;
             V_VT(small.Get()) = VT_BSTR;
             V_BSTR(small.Get()) = CBstr((std::wstring(1 << 18, L' ') + L"5").c_str()).Detach();
             V_VT(byRef.Get()) = VT_BYREF | VT_VARIANT;
             V_VARIANTREF(byRef.Get()) = small.Get();
             Call(list.Get(), 7, DISPATCH_METHOD, byRef.Get(), nullptr);  // replaced by VT_I4 5: the string is freed
             VariantInit(byRef.Get());
         }},
        {"an address list entry added and read back without pVarResult",
         [&] {
             CVariant v = text();
             Call(list.Get(), 3, DISPATCH_METHOD, v.Get(), nullptr);
             CVariant index;
             V_VT(index.Get()) = VT_I4;
             V_I4(index.Get()) = 0;
             Call(list.Get(), 4, DISPATCH_METHOD, index.Get(), nullptr);
             Call(list.Get(), 7, DISPATCH_METHOD, index.Get(), nullptr);
         }},
    };
    {
        // The in-place probe means something only if the long text converts.
        CVariant padded;
        V_VT(padded.Get()) = VT_BSTR;
        V_BSTR(padded.Get()) = CBstr((std::wstring(1 << 18, L' ') + L"5").c_str()).Detach();
        CVariant number;
        ASSERT_HRESULT_SUCCEEDED(VariantChangeType(number.Get(), padded.Get(), 0, VT_I4));
    }
    for (const Probe& probe : probes) {
        for (int i = 0; i < 5; ++i) probe.once();  // warm-up: caches and first allocations
        SIZE_T before = PrivateBytes();
        for (int i = 0; i < 100; ++i) probe.once();
        SIZE_T after = PrivateBytes();
        EXPECT_LT(after > before ? after - before : 0, SIZE_T{20} << 20) << probe.what << " leaks memory";
    }
    proxy.Reset();
    profile.Reset();
    printers.Reset();
    list.Reset();
    EXPECT_EQ(VarquelTest::ModuleLockCount(), 0);
}

// Early-bound callers can pass null for any out parameter: the member
// answers E_POINTER or, where its contract says so, S_OK, and never writes
// through it.
TEST(LateBoundCalls, EveryOutParameterMayBeNull) {
    auto accepted = [](HRESULT hr) { return hr == E_POINTER || hr == S_OK; };
    ComPtr<IAddressList> list = VarquelTest::Create<IAddressList>(CLSID_CAddressList);
    ComPtr<INetAdapterProperty> adapter = VarquelTest::Create<INetAdapterProperty>(CLSID_CNetAdapterProperty);
    ComPtr<INetAdaptersList> adapters = VarquelTest::Create<INetAdaptersList>(CLSID_CNetAdaptersList);
    ComPtr<IPrintersProperty> printers = VarquelTest::Create<IPrintersProperty>(CLSID_CPrintersProperty);
    ComPtr<IProxyProperty> proxy = VarquelTest::Create<IProxyProperty>(CLSID_CProxyProperty);
    ComPtr<INetShareList> shares = VarquelTest::Create<INetShareList>(CLSID_CNetShareList);
    ComPtr<INetProfile> profile = VarquelTest::Create<INetProfile>(CLSID_CNetProfile);
    ComPtr<INetProfilesList> profiles = VarquelTest::Create<INetProfilesList>(CLSID_CNetProfilesList);
    ComPtr<IUserProxy> userProxy = VarquelTest::Create<IUserProxy>(CLSID_CUserProxy);
    ASSERT_TRUE(list && adapter && adapters && printers && proxy && shares && profile && profiles && userProxy);
    CBstr entry(L"10.0.0.1");
    list->Add(entry.Get());
    shares->Add(entry.Get(), entry.Get());
    profiles->Add(profile.Get());

    EXPECT_PRED1(accepted, list->get_Count(nullptr));
    EXPECT_PRED1(accepted, list->GetAt(0, nullptr));
    EXPECT_PRED1(accepted, list->GetAt(5, nullptr));
    EXPECT_PRED1(accepted, adapter->get_IPAddresses(nullptr));
    EXPECT_PRED1(accepted, adapter->get_SubnetMasks(nullptr));
    EXPECT_PRED1(accepted, adapter->get_GateWayAddresses(nullptr));
    EXPECT_PRED1(accepted, adapter->get_DNSAddresses(nullptr));
    EXPECT_PRED1(accepted, adapter->get_WINSServers(nullptr));
    EXPECT_PRED1(accepted, adapter->get_IsDHCP(nullptr));
    EXPECT_PRED1(accepted, adapter->get_Name(nullptr));
    EXPECT_PRED1(accepted, adapter->get_NetConnectionID(nullptr));
    EXPECT_PRED1(accepted, adapters->get_Count(nullptr));
    EXPECT_PRED1(accepted, adapters->NetAdapterPropertyGetAt(0, nullptr));
    EXPECT_PRED1(accepted, printers->get_PrintersCount(nullptr));
    EXPECT_PRED1(accepted, printers->get_PrinterNumber(nullptr));
    EXPECT_PRED1(accepted, printers->get_Name(nullptr));
    EXPECT_PRED1(accepted, printers->get_Default(nullptr));
    EXPECT_PRED1(accepted, printers->GetDefault(nullptr));
    EXPECT_PRED1(accepted, proxy->get_HTTPServer(nullptr));
    EXPECT_PRED1(accepted, proxy->get_SocksPort(nullptr));
    EXPECT_PRED1(accepted, proxy->get_IsUseOneProxy(nullptr));
    EXPECT_PRED1(accepted, shares->get_Count(nullptr));
    EXPECT_PRED1(accepted, shares->NameGetAt(0, nullptr));
    EXPECT_PRED1(accepted, shares->PathGetAt(0, nullptr));
    EXPECT_PRED1(accepted, profile->get_NetAdaptersList(nullptr));
    EXPECT_PRED1(accepted, profile->get_PrintersProperty(nullptr));
    EXPECT_PRED1(accepted, profile->get_ProxyProperty(nullptr));
    EXPECT_PRED1(accepted, profile->get_NetShareList(nullptr));
    EXPECT_PRED1(accepted, profile->get_Name(nullptr));
    EXPECT_PRED1(accepted, profile->GetDuplicate(nullptr));
    EXPECT_PRED1(accepted, profiles->get_Count(nullptr));
    EXPECT_PRED1(accepted, profiles->NetProfileGetAt(0, nullptr));
    EXPECT_PRED1(accepted, userProxy->get_AutoDetect(nullptr));
    EXPECT_PRED1(accepted, userProxy->get_AutoConfigEnabled(nullptr));
    EXPECT_PRED1(accepted, userProxy->get_AutoConfigURL(nullptr));
    EXPECT_PRED1(accepted, userProxy->get_ProxyEnabled(nullptr));
    EXPECT_PRED1(accepted, userProxy->get_ProxyServer(nullptr));
    EXPECT_PRED1(accepted, userProxy->get_ProxyBypass(nullptr));
    // Null in-pointers where an object is expected.
    EXPECT_EQ(profiles->Add(nullptr), E_INVALIDARG);
    EXPECT_EQ(profiles->NetProfileSetAt(0, nullptr), E_INVALIDARG);
    long count = -1;
    EXPECT_EQ(profiles->get_Count(&count), S_OK);
    EXPECT_EQ(count, 1) << "a refused Add or NetProfileSetAt changed the list";

    list.Reset(); adapter.Reset(); adapters.Reset(); printers.Reset();
    proxy.Reset(); shares.Reset(); profile.Reset(); profiles.Reset(); userProxy.Reset();
    EXPECT_EQ(VarquelTest::ModuleLockCount(), 0);
}

} // namespace
} // namespace VarquelRobustness
