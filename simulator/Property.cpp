#include "simulator/Property.h"
#include "simulator/MethodCatalog.h"
#include "simulator/Values.h"
#include "simulator/WbemObject.h"

namespace VarquelSim {

CProperty::CProperty(std::shared_ptr<CMachine> machine, Microsoft::WRL::ComPtr<CWbemObject> owner, long slot,
                     std::string name, const char* reachedBy)
    : CSimDispatch(std::move(machine)),
      m_owner(std::move(owner)),
      m_slot(slot),
      m_name(std::move(name)),
      m_reachedBy(reachedBy) {}

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
        CWbemObject::CSlot& slot = m_owner->Slot(m_slot);
        // An in-parameter's type is fixed: Put refuses a value of another.
        const CParameterInfo* parameter = m_owner->ObjectKind() == CWbemObject::Kind::InParams && m_owner->Method()
                                              ? m_owner->Method()->Parameter(slot.name)
                                              : nullptr;
        if (parameter && !Fits(*parameter, *value)) return WBEM_E_TYPE_MISMATCH;
        Varquel::CVariant copy;
        CopyValue(copy.Get(), *value);
        slot.value = std::move(copy);
        slot.setBy = m_reachedBy;
        return S_OK;
    });
}

} // namespace VarquelSim
