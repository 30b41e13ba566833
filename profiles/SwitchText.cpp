#include "profiles/SwitchText.h"
#include "com/TextCompare.h"

namespace Varquel::SwitchText {

namespace {

using Status = CApplyChange::Status;

std::wstring View(BSTR text) { return std::wstring(TextOf(text)); }

std::wstring Quoted(BSTR name) { return L"\"" + View(name) + L"\""; }

std::wstring Counted(size_t count, const wchar_t* what) {
    return std::to_wstring(count) + L" " + what + (count == 1 ? L"" : L"s");
}

bool IsPrinter(const CSwitchRow& row) { return std::wstring_view(row.setting) == L"DefaultPrinter"; }

} // namespace

std::wstring Mode(bool dhcp) { return dhcp ? L"DHCP" : L"Static"; }

std::wstring FromDhcp() { return L"(from DHCP)"; }

std::wstring Joined(const CStringArray& entries) {
    std::wstring text;
    for (LONG i = 0; i < entries.Count(); ++i) {
        if (i > 0) text += L", ";
        text += View(entries.At(i));
    }
    return text;
}

std::wstring Proxy(const UserProxySetting& proxy, const UserProxySetting& other) {
    auto orNone = [](const std::wstring& text) { return text.empty() ? std::wstring(L"(none)") : text; };
    std::wstring text;
    auto add = [&](const std::wstring& part) { text += (text.empty() ? L"" : L"; ") + part; };
    if (proxy.autoDetect) add(L"automatic detection");
    if (proxy.autoConfigEnabled) add(L"script " + orNone(proxy.autoConfigUrl));
    if (proxy.proxyEnabled) {
        std::wstring manual = L"proxy " + orNone(proxy.proxyServer);
        if (!proxy.proxyBypass.empty() || proxy.proxyBypass != other.proxyBypass)
            manual += L", bypass " + orNone(proxy.proxyBypass);
        add(manual);
    }
    if (text.empty()) add(L"direct");
    // The texts kept while their switch is off, where they differ.
    if (!proxy.autoConfigEnabled && proxy.autoConfigUrl != other.autoConfigUrl)
        add(L"script " + orNone(proxy.autoConfigUrl) + L" (off)");
    if (!proxy.proxyEnabled && proxy.proxyServer != other.proxyServer)
        add(L"proxy " + orNone(proxy.proxyServer) + L" (off)");
    if (!proxy.proxyEnabled && proxy.proxyBypass != other.proxyBypass)
        add(L"bypass " + orNone(proxy.proxyBypass) + L" (off)");
    return text;
}

CWmiMeaning ProxyWritten(HRESULT hr) {
    if (SUCCEEDED(hr)) return {WmiVerdict::Done, L"done"};
    if (hr == E_INVALIDARG)
        return {WmiVerdict::Failed, L"refused: the stored proxy is not one that UserProxy.Apply takes (" + Hex(hr) + L")"};
    return {WmiVerdict::Failed, L"WinINet refused the proxy (" + Hex(hr) + L")"};
}

std::wstring Value(AdapterSetting setting, const CAdapterSettings& settings) {
    const std::optional<AddressKind> list = ListOf(setting);
    return list ? Joined(settings.List(*list)) : Mode(settings.dhcp);
}

std::wstring Message(RowOutcome outcome, const CSwitchRow& row, const CRowWrite* write) {
    switch (outcome) {
    case RowOutcome::AsPlanned: return L"already as planned";
    case RowOutcome::WouldChange: return L"would change";
    case RowOutcome::Changed:
        // A success with something to tell: 81 from EnableStatic, or a restart.
        if (write && write->answer.returnValue > 0) return L"changed: " + write->meaning.text;
        return L"changed";
    case RowOutcome::CallFailed: return write->meaning.text;
    case RowOutcome::NotRun:
        if (write->stoppedBy) return L"not set: " + std::wstring(write->stoppedBy) + L" failed first";
        if (IsPrinter(row)) return L"not set: no printer of this DeviceID on the machine";
        if (!*write->method) return L"not set: the switch did not get to it";
        return L"not set: " + std::wstring(write->method) + L" did not run";
    case RowOutcome::NotReadBack: return L"the machine could not be read back";
    case RowOutcome::ShowsOther: return L"the machine shows " + (row.after.empty() ? L"nothing" : row.after);
    case RowOutcome::NotTaken: return L"not applied: IPv6 entries are not set by the IPv4 methods (" + row.notTaken + L")";
    case RowOutcome::NoAdapter: return L"not applied: no adapter of this name on the machine";
    case RowOutcome::NotConnected: return L"not connected: nothing applied";
    case RowOutcome::NotInProfile: return L"not in the profile: left as it is";
    case RowOutcome::Kept:
        return IsPrinter(row) ? L"the profile holds no default printer: the machine's stays"
                              : L"the profile holds no WINS servers: the machine's stay";
    }
    return {};
}

std::wstring PreviewHeader(BSTR profile, const CEvaluatedRows& rows) {
    return L"Preview of " + Quoted(profile) + L": " + Counted(rows.changing, L"setting") + L" would change, " +
           Counted(rows.notApplied, L"setting") + L" cannot be applied.\n";
}

std::wstring SwitchHeader(BSTR profile, const CEvaluatedRows& rows) {
    std::wstring text = L"Switch to " + Quoted(profile) + L": " +
                        (rows.failed == 0 ? std::wstring(L"succeeded") : Counted(rows.failed, L"setting") + L" failed") +
                        L".\n";
    if (rows.accessDenied) text += L"Administrator rights are needed to change the network configuration.\n";
    if (rows.restartNeeded) text += L"Windows needs a restart for some changes to take effect.\n";
    return text;
}

std::wstring RollbackHeader(const CEvaluatedRows& rows) {
    return L"Rollback: " + std::wstring(rows.failed == 0 ? L"the machine is as it was before the switch.\n"
                                                         : L"some settings could not be restored.\n");
}

std::wstring AfterRollback(const CEvaluatedRows& rollback) {
    if (rollback.failed == 0) return L"Rolled back: what the switch changed is as it was before.\n";
    std::wstring text = L"The rollback failed too; not restored:\n";
    for (const ComPtr<CApplyChange>& change : rollback.changes) {
        const CApplyChange::CData& data = change->Data();
        if (data.status != Status::kFailed) continue;
        text += L"  " + View(data.netConnectionId.Get()) + L" " + View(data.setting.Get()) + L": " +
                View(data.message.Get()) + L"\n";
    }
    return text;
}

std::wstring Summary(const std::vector<ComPtr<CApplyChange>>& changes) {
    std::wstring text;
    const CApplyChange::CData* group = nullptr;
    auto same = [](const CBstr& a, const CBstr& b) {
        return VarBstrCmp(a.Get(), b.Get(), LOCALE_USER_DEFAULT, 0) == VARCMP_EQ;
    };
    for (const ComPtr<CApplyChange>& change : changes) {
        const CApplyChange::CData& data = change->Data();
        if (data.adapter.IsEmpty() && data.netConnectionId.IsEmpty()) {
            // A setting of the machine as a whole, such as the default printer.
            text += View(data.setting.Get()) + L": ";
            group = nullptr;
        } else {
            if (!group || !same(group->adapter, data.adapter) || !same(group->netConnectionId, data.netConnectionId))
                text += View(data.netConnectionId.Get()) + L" (" + View(data.adapter.Get()) + L"):\n";
            group = &data;
            text += L"  " + View(data.setting.Get()) + L": ";
        }
        text += data.before.IsEmpty() ? L"(none)" : View(data.before.Get());
        if (!same(data.before, data.planned))
            text += L" -> " + (data.planned.IsEmpty() ? L"(none)" : View(data.planned.Get()));
        text += std::wstring(data.status == Status::kFailed ? L": failed: " : L": ") + View(data.message.Get()) + L"\n";
    }
    return text;
}

std::wstring NotRestorable(BSTR connection, AdapterSetting setting, const CStringArray& had) {
    return L"A snapshot does not hold the " + std::wstring(SettingName(setting)) + L" of an adapter on DHCP: " +
           View(connection) + L" had " + Joined(had) + L", and DHCP decides them after a rollback.\n";
}

} // namespace Varquel::SwitchText
