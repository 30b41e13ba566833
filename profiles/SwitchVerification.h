#pragma once
#include <windows.h>
#include "profiles/MachineState.h"
#include "profiles/SwitchPlan.h"

namespace Varquel {

// Verification of a switch: reads back only what it changed, each adapter it
// wrote to with one query of its own and the default printer when it was
// set, and reads again, after a wait that keeps the caller's messages
// flowing, while a setting whose writes succeeded does not show yet, until
// every one does or `timeout` has passed. Windows takes seconds to show a
// change.
class CSwitchVerification {
public:
    // Fills the targets' and the printer's `after`.
    static void Run(CSwitchPlan& plan, const CMachineState& state, DWORD timeout);
};

} // namespace Varquel
