#pragma once
#include <windows.h>
#include "profiles/ApplyReport.h"
#include "profiles/NetProfile.h"

namespace Varquel {

// The flow of a profile switch: read the machine once, plan only what
// differs, write it keeping every answer, read back what changed, and put
// back what a failed switch changed.
class CSwitchRun {
public:
    struct COptions {
        bool rollBackOnFailure = true;
        DWORD verifyTimeout = 0;  // how long verification may wait for the machine to show a change, in ms
        // Whether the user's proxy is carried: the stored one (`proxy`, null
        // when the profile has none) by Preview and Apply, and the snapshot
        // of a report that has a Proxy row by Rollback.
        bool includeProxy = false;
        const UserProxySetting* proxy = nullptr;
    };

    // Reads the machine once and calls nothing that changes it.
    static ComPtr<CApplyReport> Preview(const CNetProfile& profile, const COptions& options);
    // Snapshot, apply, verify, and roll back on failure when asked to.
    static ComPtr<CApplyReport> Apply(const CNetProfile& profile, const COptions& options);
    // Puts back the snapshot of an earlier Apply's report (what that switch
    // touched), verified like Apply. The report must hold a snapshot.
    static ComPtr<CApplyReport> Rollback(const CApplyReport& report, const COptions& options);
};

} // namespace Varquel
