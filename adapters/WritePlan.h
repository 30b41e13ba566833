#pragma once
#include <windows.h>
#include <wbemdisp.h>
#include <functional>
#include <optional>
#include <utility>
#include <vector>
#include "adapters/AdapterSettings.h"
#include "com/Variant.h"
#include "wmi/WmiReturnValue.h"

namespace Varquel {

// One WMI call of an adapter's write plan.
struct CPlannedCall {
    using Parameters = std::vector<std::pair<const wchar_t*, CVariant>>;

    WmiMethod method;
    Parameters parameters;  // each set through Item, in this order; one not listed stays unset
    // Sent instead of `parameters` when the earlier call `dependsOn` is not
    // known to have succeeded.
    std::optional<size_t> dependsOn;
    Parameters otherwise;
    std::vector<AdapterSetting> writes;  // the settings it sets
    bool stopsAdapter = false;           // its failure ends the plan
};

// What one call of a plan did.
struct CCallResult {
    bool ran = false;
    int tries = 0;
    CWmiAnswer answer;
};

// The call ran and the machine's answer means done.
bool CallSucceeded(const CPlannedCall& call, const CCallResult& result) noexcept;

// How a plan runs.
struct CPlanRun {
    bool readAnswers = false;  // every ReturnValue; otherwise only those a later call depends on
    // Asked when the answer says another program holds the network
    // configuration's lock, with the tries made so far: true to try again
    // (once it has waited).
    std::function<bool(int tries)> retryLocked;
};

// The ordered WMI calls that write an adapter's settings. Only this class
// knows the sequence: the order of the calls, which entries the IPv4 methods
// take and how masks pair with addresses, the WINS rule, the clearing of an
// old gateway before DHCP, the documented clearing of a static adapter's
// gateway, and DNS handed back to DHCP.
class CWritePlan {
public:
    enum class Extent {
        Full,         // every call: the profile's own Apply
        Differences,  // only the calls the settings that differ from the machine's need: a switch
    };

    // `machine` is what the machine shows of the adapter. The full plan uses
    // it only to clear an old static gateway, and may go without it.
    static CWritePlan Make(const CAdapterSettings& planned, const CAdapterSettings* machine, Extent extent);

    const std::vector<CPlannedCall>& Calls() const noexcept { return m_calls; }
    bool Empty() const noexcept { return m_calls.empty(); }

    // Runs the calls in order on the adapter's configuration; a result for
    // every call, `ran` false for those after a stopping failure.
    std::vector<CCallResult> Run(ISWbemObject* configuration, const CPlanRun& how) const;
    // The call whose failure stopped the adapter; null when none did.
    const CPlannedCall* Stopped(const std::vector<CCallResult>& results) const noexcept;

    // Whether the machine shows a setting as the plan writes it; a setting
    // the plan leaves to the machine (no WINS servers, DNS from DHCP) always
    // does. The plan calls what differs by this very test.
    static bool Shows(AdapterSetting setting, const CAdapterSettings& planned, const CAdapterSettings& machine);
    // What the plan does with a setting's planned value: writes it, leaves it
    // to DHCP (the DNS servers of a DHCP adapter that has none of its own,
    // its WINS servers), or keeps the machine's (no WINS servers on a static
    // adapter: the WINS rule).
    enum class Intent { Write, FromDhcp, Keep };
    static Intent IntentOf(AdapterSetting setting, const CAdapterSettings& planned);
    // The planned entries of a setting that its method is not sent: IPv6
    // entries and prefix lengths, which the IPv4 methods refuse.
    static CStringArray NotSent(AdapterSetting setting, const CAdapterSettings& planned);

private:
    std::vector<CPlannedCall> m_calls;
};

} // namespace Varquel
