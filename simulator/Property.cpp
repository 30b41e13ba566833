#include "simulator/Property.h"
#include "simulator/Values.h"
#include "simulator/WbemObject.h"

namespace VarquelSim {

CProperty::CProperty(std::shared_ptr<CMachine> machine, Microsoft::WRL::ComPtr<CWbemObject> owner, long slot,
                     std::string name)
    : CSimDispatch(std::move(machine)), m_owner(std::move(owner)), m_slot(slot), m_name(std::move(name)) {}

HRESULT CProperty::get_Value(VARIANT* value) {
    return Guarded([&]() -> HRESULT {
        CMachine::CCall call(*m_machine);
        if (call.Failed()) return WBEM_E_FAILED;
        if (!value) return E_POINTER;
        m_machine->Log("read " + m_owner->Label() + "." + m_name);
        CopyValue(value, *m_owner->Slot(m_slot).value);
        return S_OK;
    });
}

HRESULT CProperty::put_Value(VARIANT* value) {
    return Guarded([&]() -> HRESULT {
        CMachine::CCall call(*m_machine);
        if (call.Failed()) return WBEM_E_FAILED;
        if (!value) return E_POINTER;
        Varquel::CVariant copy;
        CopyValue(copy.Get(), *value);
        m_owner->Slot(m_slot).value = std::move(copy);
        return S_OK;
    });
}

} // namespace VarquelSim
