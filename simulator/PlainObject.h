#pragma once
#include "simulator/SimObject.h"

namespace VarquelSim {

// An element of a set that is an automation object but no WMI object: it
// refuses ISWbemObject.
class CPlainObject : public CSimDispatch<IDispatch> {
public:
    explicit CPlainObject(std::shared_ptr<CMachine> machine) : CSimDispatch(std::move(machine)) {}
};

} // namespace VarquelSim
