#include "profiles/SwitchProxy.h"
#include "profiles/SwitchText.h"
#include "settings/InternetOptions.h"

namespace Varquel {

std::optional<UserProxySetting> CProxyTarget::ReadCurrent() {
    UserProxySetting current;
    if (FAILED(ReadUserProxy(InternetOptions(), current))) return std::nullopt;
    return current;
}

bool CProxyTarget::Differs() const { return !machine || planned != *machine; }

void CProxyTarget::Write() {
    if (!Differs()) return;
    ran = true;
    written = checked ? CheckUserProxy(planned, nullptr) : S_OK;
    if (SUCCEEDED(written)) written = WriteUserProxy(InternetOptions(), planned);
}

bool CProxyTarget::ReadBack() {
    if (!ran || FAILED(written)) return true;
    after = ReadCurrent();
    return !after || *after == planned;
}

bool CProxyTarget::Touched() const {
    return ran && SUCCEEDED(written) && (!machine || !after || *after != *machine);
}

UserProxySetting CProxyTarget::Now() const {
    if (after) return *after;
    if (ran && SUCCEEDED(written)) return planned;
    return machine ? *machine : UserProxySetting{};
}

CSwitchRow CProxyTarget::Row() const {
    CSwitchRow row;
    row.setting = SwitchText::kProxy;
    const UserProxySetting shown = machine ? *machine : UserProxySetting{};
    if (machine) row.before = SwitchText::Proxy(*machine, planned);
    row.planned = SwitchText::Proxy(planned, shown);
    row.alreadyPlanned = !Differs();
    if (Differs()) {
        // Not a WMI call: no method, no ReturnValue.
        CRowWrite& write = row.writes.emplace_back();
        write.method = L"";
        write.ran = ran;
        write.answer = CWmiAnswer{written, -1};
        if (ran) write.meaning = SwitchText::ProxyWritten(written);
    }
    if (after) {
        row.afterRead = true;
        row.after = SwitchText::Proxy(*after, planned);
        row.shows = *after == planned;
    }
    return row;
}

} // namespace Varquel
