#include "profiles/SwitchVerification.h"
#include <algorithm>
#include "com/Boundary.h"
#include "profiles/SwitchWait.h"

namespace Varquel {

namespace {

// Between two reads of the machine.
constexpr DWORD kPollInterval = 250;

// One thing to read back: an adapter the switch wrote to, the printer or the
// user's proxy.
struct CItem {
    CAdapterTarget* adapter = nullptr;  // null: the printer, or the proxy
    CProxyTarget* proxy = nullptr;
    std::optional<long> index;          // the adapter's configuration, to query it afresh
    bool settled = false;
};

// One fresh read; true once the item shows what its successful writes set
// (or nothing more can be learnt by reading it again).
bool ReadBack(CItem& item, CPrinterTarget& printer) {
    if (item.proxy) return item.proxy->ReadBack();
    if (!item.adapter) {
        const ComPtr<CPrintersProperty> printers =
            CreateServerObject<CPrintersProperty, IPrintersProperty>(CLSID_CPrintersProperty);
        if (FAILED(Tolerate([&] { printers->CaptureMachine(); }))) return false;
        printer.after = CBstr::CopyWhole(printers->DefaultDeviceId());
        return !Succeeded(VerdictOf(WmiMethod::SetDefaultPrinter, printer.answer)) ||
               VarBstrCmp(printer.after->Get(), printer.planned.Get(), LOCALE_USER_DEFAULT, 0) == VARCMP_EQ;
    }
    CAdapterTarget& target = *item.adapter;
    if (!item.index) return true;  // no key to find it again by
    CAdapterSettings now;
    if (!ReadFreshAdapterSettings(*item.index, now)) return false;
    target.after = std::move(now);
    const std::vector<AdapterSetting> written = target.Written();
    return std::all_of(written.begin(), written.end(), [&](AdapterSetting setting) {
        return CWritePlan::Shows(setting, target.planned, *target.after);
    });
}

} // namespace

void CSwitchVerification::Run(CSwitchPlan& plan, const CMachineState& state, DWORD timeout) {
    std::vector<CItem> items;
    for (CAdapterTarget& target : plan.Targets()) {
        if (!target.Ran()) continue;
        CItem& item = items.emplace_back();
        item.adapter = &target;
        KeepGoing([&] { item.index = state.Adapters()[target.adapter].adapter->ConfigurationIndex(); });
    }
    if (plan.Printer().ran) items.emplace_back();
    if (CProxyTarget* proxy = plan.Proxy(); proxy && proxy->ran) items.emplace_back().proxy = proxy;
    const ULONGLONG deadline = GetTickCount64() + timeout;
    while (!items.empty()) {
        bool settled = true;
        for (CItem& item : items) {
            if (item.settled) continue;
            KeepGoing([&] { item.settled = ReadBack(item, plan.Printer()); });
            settled = settled && item.settled;
        }
        const ULONGLONG now = GetTickCount64();
        if (settled || now >= deadline) break;
        // A WM_QUIT ends the wait: the application is closing.
        if (!CSwitchWait::For(static_cast<DWORD>(std::min<ULONGLONG>(kPollInterval, deadline - now)))) break;
    }
}

} // namespace Varquel
