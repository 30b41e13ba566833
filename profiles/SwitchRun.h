#pragma once
#include <windows.h>
#include "profiles/ApplyReport.h"
#include "profiles/NetProfile.h"

namespace Varquel {

// The work of a profile switch: what a profile would set, setting by setting,
// on the machine as it is; applying it with the profile's own calls while
// keeping every WMI answer; reading the machine back; and putting a snapshot
// back. Every reading of the machine is one detection with its
// configuration reads and the printers.
class CSwitchRun {
public:
    struct COptions {
        bool rollBackOnFailure = true;
        DWORD verifyTimeout = 0;  // how long verification may wait for the machine to show a change, in ms
    };

    // Reads the machine once and calls nothing that changes it.
    static ComPtr<CApplyReport> Preview(const CNetProfile& profile);
    // Snapshot, apply, verify, and roll back on failure when asked to.
    static ComPtr<CApplyReport> Apply(const CNetProfile& profile, const COptions& options);
    // Puts back the snapshot of an earlier Apply's report (what that switch
    // touched), verified like Apply. The report must hold a snapshot.
    static ComPtr<CApplyReport> Rollback(const CApplyReport& report, const COptions& options);
};

} // namespace Varquel
