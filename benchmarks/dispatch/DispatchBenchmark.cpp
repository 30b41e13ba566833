// Late-bound calls on the same objects through our table-driven Invoke and
// through the platform's type-library-driven dispatch (CreateStdDispatch,
// and DispGetIDsOfNames for names), and our Invoke against the early-bound
// call. Prints each pair of timings and their ratio.
#include "tests/support/InProcessServer.h"
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>
#include "com/Bstr.h"
#include "com/Module.h"
#include "com/Variant.h"
#include "Varquel_h.h"

using Microsoft::WRL::ComPtr;
using Varquel::CBstr;
using Varquel::CVariant;

namespace {

constexpr int kIterations = 100000;
constexpr int kRepetitions = 9;

// Nanoseconds per call of one run.
double RunNs(const std::function<void()>& call) {
    LARGE_INTEGER frequency, start, stop;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (int i = 0; i < kIterations; ++i) call();
    QueryPerformanceCounter(&stop);
    return double(stop.QuadPart - start.QuadPart) * 1e9 / double(frequency.QuadPart) / kIterations;
}

// Best of several runs of each, in nanoseconds per call. The runs of the two
// alternate, so that other work on the machine weighs on both alike.
std::pair<double, double> NsPerCall(const std::function<void()>& a, const std::function<void()>& b) {
    for (int i = 0; i < 2000; ++i) a(), b();
    std::pair<double, double> best{1e300, 1e300};
    for (int r = 0; r < kRepetitions; ++r) {
        best.first = std::min(best.first, RunNs(a));
        best.second = std::min(best.second, RunNs(b));
    }
    return best;
}

struct Row {
    std::string label;
    double ours;
    double baseline;
    double goal;  // required ratio, 0 for none
};
std::vector<Row> g_rows;

void Compare(const std::string& label, double goal, const std::function<void()>& ours,
             const std::function<void()>& baseline) {
    const auto [oursNs, baselineNs] = NsPerCall(ours, baseline);
    Row row{label, oursNs, baselineNs, goal};
    g_rows.push_back(row);
    std::printf("%-44s ours %8.1f ns   type library %8.1f ns   ratio %6.2f%s\n", label.c_str(), row.ours,
                row.baseline, row.baseline / row.ours,
                goal > 0 ? (row.baseline / row.ours >= goal ? "   (goal met)" : "   (GOAL MISSED)") : "");
}

// The interface (vtable) description of a dual interface, from this
// program's own type library.
ComPtr<ITypeInfo> InterfaceTypeInfo(REFIID iid) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    ComPtr<ITypeLib> library;
    ComPtr<ITypeInfo> info;
    if (FAILED(LoadTypeLibEx(path, REGKIND_NONE, &library)) || FAILED(library->GetTypeInfoOfGuid(iid, &info)))
        return nullptr;
    TYPEATTR* attr = nullptr;
    info->GetTypeAttr(&attr);
    const bool dispatchKind = attr->typekind == TKIND_DISPATCH;
    info->ReleaseTypeAttr(attr);
    if (!dispatchKind) return info;
    HREFTYPE ref = 0;
    ComPtr<ITypeInfo> vtable;
    if (FAILED(info->GetRefTypeOfImplType(-1, &ref)) || FAILED(info->GetRefTypeInfo(ref, &vtable))) return nullptr;
    return vtable;
}

HRESULT Call(IDispatch* target, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result) {
    return target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, params, result, nullptr, nullptr);
}

std::string Show(const VARIANT& v) {
    char buffer[128];
    if (V_VT(&v) == VT_I4) {
        std::snprintf(buffer, sizeof buffer, "VT_I4 %ld", static_cast<long>(V_I4(&v)));
    } else if (V_VT(&v) == VT_BSTR) {
        std::snprintf(buffer, sizeof buffer, "VT_BSTR \"%ls\"", V_BSTR(&v) ? V_BSTR(&v) : L"(null)");
    } else if (V_VT(&v) == VT_BOOL) {
        std::snprintf(buffer, sizeof buffer, "VT_BOOL %d", V_BOOL(&v));
    } else {
        std::snprintf(buffer, sizeof buffer, "vt %d", V_VT(&v));
    }
    return buffer;
}

// Both routes must give the same answer before they are timed.
bool SameAnswer(const char* what, IDispatch* ours, IDispatch* baseline, DISPID id, WORD flags, DISPPARAMS* params) {
    CVariant a, b;
    HRESULT hrA = Call(ours, id, flags, params, a.Get());
    HRESULT hrB = Call(baseline, id, flags, params, b.Get());
    bool same = hrA == hrB && V_VT(a.Get()) == V_VT(b.Get()) && VarCmp(a.Get(), b.Get(), 0, 0) == VARCMP_EQ;
    std::printf("check %-28s ours 0x%08lx %-22s type library 0x%08lx %-22s %s\n", what, static_cast<unsigned long>(hrA),
                Show(*a).c_str(), static_cast<unsigned long>(hrB), Show(*b).c_str(), same ? "same" : "DIFFERENT");
    return same;
}

int Run() {
    ComPtr<IAddressList> list;
    if (FAILED(CoCreateInstance(CLSID_CAddressList, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&list)))) {
        std::printf("cannot create CAddressList\n");
        return 1;
    }
    for (const wchar_t* address : {L"10.0.0.1", L"10.0.0.2", L"192.168.1.20", L"172.16.4.4"})
        list->Add(CBstr(address).Get());
    ComPtr<IDispatch> ours;
    list.As(&ours);

    ComPtr<ITypeInfo> listInfo = InterfaceTypeInfo(IID_IAddressList);
    if (!listInfo) {
        std::printf("no type information for IAddressList\n");
        return 1;
    }
    ComPtr<IUnknown> stdUnknown;
    HRESULT hr = CreateStdDispatch(nullptr, list.Get(), listInfo.Get(), &stdUnknown);
    ComPtr<IDispatch> baseline;
    if (SUCCEEDED(hr)) hr = stdUnknown.As(&baseline);
    if (FAILED(hr)) {
        std::printf("CreateStdDispatch failed: 0x%08lx\n", static_cast<unsigned long>(hr));
        return 1;
    }

    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT index;
    V_VT(&index) = VT_I4;
    V_I4(&index) = 2;
    DISPPARAMS oneIndex{&index, nullptr, 1, 0};
    bool ok = SameAnswer("IAddressList.Count", ours.Get(), baseline.Get(), 1, DISPATCH_PROPERTYGET, &none);
    ok = SameAnswer("IAddressList.GetAt(2)", ours.Get(), baseline.Get(), 4, DISPATCH_METHOD, &oneIndex) && ok;

    ComPtr<INetAdapterProperty> adapter;
    ComPtr<IDispatch> adapterOurs, adapterBaseline;
    ComPtr<ITypeInfo> adapterInfo = InterfaceTypeInfo(IID_INetAdapterProperty);
    if (SUCCEEDED(CoCreateInstance(CLSID_CNetAdapterProperty, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&adapter))) &&
        adapterInfo) {
        adapter.As(&adapterOurs);
        ComPtr<IUnknown> unknown;
        if (SUCCEEDED(CreateStdDispatch(nullptr, adapter.Get(), adapterInfo.Get(), &unknown)))
            unknown.As(&adapterBaseline);
    }
    VARIANT truth;
    V_VT(&truth) = VT_BOOL;
    V_BOOL(&truth) = VARIANT_TRUE;
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS put{&truth, &putId, 1, 1};
    if (adapterBaseline) {
        ok = SameAnswer("INetAdapterProperty.IsDHCP put", adapterOurs.Get(), adapterBaseline.Get(), 10,
                        DISPATCH_PROPERTYPUT, &put) && ok;
        ok = SameAnswer("INetAdapterProperty.IsDHCP get", adapterOurs.Get(), adapterBaseline.Get(), 10,
                        DISPATCH_PROPERTYGET, &none) && ok;
    }
    if (!ok) {
        std::printf("the two routes disagree; no timings\n");
        return 1;
    }
    std::printf("\n%d calls per run, best of %d runs\n", kIterations, kRepetitions);

    VARIANT result;
    VariantInit(&result);
    Compare("Invoke IAddressList.Count", 5.0,
            [&] { Call(ours.Get(), 1, DISPATCH_PROPERTYGET, &none, &result); },
            [&] { Call(baseline.Get(), 1, DISPATCH_PROPERTYGET, &none, &result); });
    Compare("Invoke IAddressList.GetAt(2)", 2.0,
            [&] {
                Call(ours.Get(), 4, DISPATCH_METHOD, &oneIndex, &result);
                VariantClear(&result);
            },
            [&] {
                Call(baseline.Get(), 4, DISPATCH_METHOD, &oneIndex, &result);
                VariantClear(&result);
            });
    if (adapterBaseline) {
        Compare("Invoke INetAdapterProperty.IsDHCP put", 0,
                [&] { Call(adapterOurs.Get(), 10, DISPATCH_PROPERTYPUT, &put, nullptr); },
                [&] { Call(adapterBaseline.Get(), 10, DISPATCH_PROPERTYPUT, &put, nullptr); });
    }

    auto namesPair = [&](const char* label, double goal, std::vector<const wchar_t*> names) {
        std::vector<DISPID> ids(names.size());
        auto* raw = const_cast<LPOLESTR*>(names.data());
        const UINT count = static_cast<UINT>(names.size());
        std::vector<DISPID> check(names.size());
        HRESULT hrOurs = ours->GetIDsOfNames(IID_NULL, raw, count, LOCALE_USER_DEFAULT, ids.data());
        HRESULT hrBase = DispGetIDsOfNames(listInfo.Get(), raw, count, check.data());
        if (hrOurs != hrBase || ids != check)
            std::printf("note: %s answers differ (ours 0x%08lx %ld, type library 0x%08lx %ld)\n", label,
                        static_cast<unsigned long>(hrOurs), static_cast<long>(ids[0]), static_cast<unsigned long>(hrBase),
                        static_cast<long>(check[0]));
        Compare(label, goal,
                [&] { ours->GetIDsOfNames(IID_NULL, raw, count, LOCALE_USER_DEFAULT, ids.data()); },
                [&] { DispGetIDsOfNames(listInfo.Get(), raw, count, ids.data()); });
    };
    namesPair("GetIDsOfNames \"GetAt\"", 3.0, {L"GetAt"});
    namesPair("GetIDsOfNames \"Count\"", 3.0, {L"Count"});
    namesPair("GetIDsOfNames \"removeat\" (last, other case)", 3.0, {L"removeat"});
    namesPair("GetIDsOfNames \"GetAt\", \"nIndex\"", 3.0, {L"GetAt", L"nIndex"});

    // Late-bound against early-bound, each freeing the string it gets.
    constexpr double kMostOverEarly = 1.2;
    const auto [late, early] = NsPerCall(
        [&] {
            Call(ours.Get(), 4, DISPATCH_METHOD, &oneIndex, &result);
            VariantClear(&result);
        },
        [&] {
            BSTR value = nullptr;
            list->GetAt(2, &value);
            CBstr().Reset(value);
        });
    const bool earlyMet = late <= kMostOverEarly * early;
    std::printf("%-44s %8.1f ns\n", "early-bound IAddressList::GetAt(2)", early);
    std::printf("%-44s ours %8.1f ns   early-bound  %8.1f ns   ours/early %4.2f   (goal %.1f %s)\n",
                "Invoke GetAt(2) against the early-bound call", late, early, late / early, kMostOverEarly,
                earlyMet ? "met" : "MISSED");

    bool allMet = earlyMet;
    for (const Row& row : g_rows)
        if (row.goal > 0 && row.baseline / row.ours < row.goal) allMet = false;
    std::printf("\n%s\n", allMet ? "all goals met" : "SOME GOALS MISSED");
    return 0;
}

} // namespace

int main() {
    VarquelTest::CInProcessServer server;
    return server.Ready() ? Run() : 2;
}
