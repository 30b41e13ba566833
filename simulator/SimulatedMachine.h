#pragma once
// The simulated machine's C++ API: describe a machine in JSON (CMachine::FromJson),
// install it as the process's SWbemLocator (CInstall), then inspect its journal
// and state, and inject faults.
#include "simulator/Install.h"
#include "simulator/Machine.h"
