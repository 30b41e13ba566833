#include "profiles/SwitchRun.h"
#include "com/Boundary.h"
#include "com/TextCompare.h"
#include "profiles/MachineState.h"
#include "profiles/SwitchPlan.h"
#include "profiles/SwitchText.h"
#include "profiles/SwitchVerification.h"
#include "profiles/SwitchWait.h"

namespace Varquel {

namespace {

// Another program that holds the network configuration's lock lets go of it
// within moments: three tries in all, half a second apart.
constexpr int kLockTries = 3;
constexpr DWORD kLockPause = 500;

CBstr Text(const std::wstring& text) { return CBstr(text.c_str(), static_cast<UINT>(text.size())); }

// Writes what the plan holds, keeping every answer: each adapter's calls,
// then the default printer; then reads back what changed.
void Carry(CSwitchPlan& plan, const CMachineState& state, DWORD verifyTimeout) {
    const CPlanRun how{true, [](int tries) { return tries < kLockTries && CSwitchWait::For(kLockPause); }};
    // One adapter that cannot be written does not stop the others.
    for (CAdapterTarget& target : plan.Targets()) {
        if (target.plan.Empty()) continue;
        KeepGoing([&] { target.results = state.Adapters()[target.adapter].adapter->RunPlan(target.plan, how); });
    }
    CPrinterTarget& printer = plan.Printer();
    if (printer.Differs() && printer.source) {
        const MethodObserver observer = [&](WmiMethod, const CWmiAnswer& answer) {
            printer.ran = true;
            printer.answer = answer;
        };
        Tolerate([&] {
            const ComPtr<CPrintersProperty> part =
                CreateServerObject<CPrintersProperty, IPrintersProperty>(CLSID_CPrintersProperty);
            part->CopyStateFrom(*printer.source);
            part->ApplyToMachine(&observer);
        });
    }
    if (CProxyTarget* proxy = plan.Proxy()) KeepGoing([&] { proxy->Write(); });
    CSwitchVerification::Run(plan, state, verifyTimeout);
}

// The stored proxy, planned against the user's as it is now.
void PlanProxy(CSwitchPlan& plan, const CSwitchRun::COptions& options) {
    if (options.includeProxy && options.proxy)
        plan.CarryProxy(CProxyTarget{*options.proxy, CProxyTarget::ReadCurrent()});
}

// Back to the user's proxy as `snapshot` read it, written as read: no check.
void PlanProxyBack(CSwitchPlan& back, const UserProxySetting& snapshot, std::optional<UserProxySetting> now) {
    back.CarryProxy(CProxyTarget{snapshot, std::move(now), false});
}

// What a snapshot of the touched adapters cannot put back.
std::wstring NotRestorable(const CMachineState& snapshot, const std::vector<bool>& touched) {
    std::wstring text;
    for (size_t i = 0; i < snapshot.Adapters().size() && i < touched.size(); ++i) {
        const CAdapterState& adapter = snapshot.Adapters()[i];
        if (!touched[i] || !adapter.read || !adapter.settings.dhcp) continue;
        for (AdapterSetting setting : {AdapterSetting::DNSAddresses, AdapterSetting::WINSServers}) {
            const CStringArray& had = adapter.settings.List(*ListOf(setting));
            if (had.Count() > 0) text += SwitchText::NotRestorable(adapter.connection.Get(), setting, had);
        }
    }
    return text;
}

// A report of what a plan did on the machine as `before` showed it; its
// snapshot is that reading.
CApplyReport::CData Outcome(const CEvaluatedRows& rows, const CSwitchPlan& plan, const CMachineState& before) {
    CApplyReport::CData data;
    data.before = before.Profile();
    data.succeeded = rows.failed == 0;
    data.accessDenied = rows.accessDenied;
    data.restartNeeded = rows.restartNeeded;
    data.touchedAdapters = plan.TouchedAdapters(before);
    data.touchedPrinter = plan.TouchedPrinter();
    if (const CProxyTarget* proxy = plan.Proxy()) {
        data.proxyBefore = proxy->machine;
        data.touchedProxy = proxy->Touched();
    }
    return data;
}

std::wstring View(const CBstr& text) { return std::wstring(TextOf(text.Get())); }

} // namespace

ComPtr<CApplyReport> CSwitchRun::Preview(const CNetProfile& profile, const COptions& options) {
    const CMachineState now = CMachineState::Read();
    CSwitchPlan plan = CSwitchPlan::ToProfile(profile, now);
    PlanProxy(plan, options);
    CEvaluatedRows rows = EvaluateAll(plan.Rows(now), true);
    CApplyReport::CData data;
    data.preview = true;
    data.text = Text(SwitchText::PreviewHeader(profile.Name(), rows) + SwitchText::Summary(rows.changes));
    data.changes = std::move(rows.changes);
    return CApplyReport::Make(std::move(data));
}

ComPtr<CApplyReport> CSwitchRun::Apply(const CNetProfile& profile, const COptions& options) {
    const CMachineState before = CMachineState::Read();
    CSwitchPlan plan = CSwitchPlan::ToProfile(profile, before);
    PlanProxy(plan, options);
    Carry(plan, before, options.verifyTimeout);
    CEvaluatedRows rows = EvaluateAll(plan.Rows(before), false);

    CApplyReport::CData data = Outcome(rows, plan, before);
    data.notRestorable = Text(NotRestorable(before, data.touchedAdapters));
    std::wstring text = SwitchText::SwitchHeader(profile.Name(), rows) + SwitchText::Summary(rows.changes);
    if (!data.succeeded && options.rollBackOnFailure) {
        // From what the switch left back to the snapshot, the same way.
        CSwitchPlan back =
            CSwitchPlan::Back(*before.Profile().Get(), data.touchedAdapters, data.touchedPrinter, before, &plan);
        if (data.touchedProxy && data.proxyBefore) PlanProxyBack(back, *data.proxyBefore, plan.Proxy()->Now());
        Carry(back, before, options.verifyTimeout);
        const CEvaluatedRows rollback = EvaluateAll(back.Rows(before), false);
        data.rolledBack = rollback.failed == 0;
        text += SwitchText::AfterRollback(rollback) + View(data.notRestorable);
    }
    data.text = Text(text);
    data.changes = std::move(rows.changes);
    return CApplyReport::Make(std::move(data));
}

ComPtr<CApplyReport> CSwitchRun::Rollback(const CApplyReport& report, const COptions& options) {
    const CApplyReport::CData& previous = report.Data();
    const CMachineState now = CMachineState::Read();
    CSwitchPlan back =
        CSwitchPlan::Back(*previous.before.Get(), previous.touchedAdapters, previous.touchedPrinter, now, nullptr);
    // A report with a Proxy row takes the proxy back too, whatever the switch changed.
    if (options.includeProxy && previous.proxyBefore)
        PlanProxyBack(back, *previous.proxyBefore, CProxyTarget::ReadCurrent());
    Carry(back, now, options.verifyTimeout);
    CEvaluatedRows rows = EvaluateAll(back.Rows(now), false);

    CApplyReport::CData data = Outcome(rows, back, now);
    data.notRestorable = previous.notRestorable;
    data.text = Text(SwitchText::RollbackHeader(rows) + SwitchText::Summary(rows.changes) + View(previous.notRestorable));
    data.changes = std::move(rows.changes);
    return CApplyReport::Make(std::move(data));
}

} // namespace Varquel
