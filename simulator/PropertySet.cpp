#include "simulator/PropertySet.h"
#include <algorithm>
#include "simulator/MethodCatalog.h"
#include "simulator/Property.h"
#include "simulator/Values.h"
#include "simulator/WbemObject.h"

namespace VarquelSim {

CPropertySet::CPropertySet(std::shared_ptr<CMachine> machine, Microsoft::WRL::ComPtr<CWbemObject> owner)
    : CSimDispatch(std::move(machine)), m_owner(std::move(owner)) {}

HRESULT CPropertySet::Item(BSTR name, LONG flags, ISWbemProperty** property) {
    return Guarded([&]() -> HRESULT {
        CMachine::CCall call(*m_machine);
        if (call.Failed()) return WBEM_E_FAILED;
        if (!property) return E_POINTER;
        *property = nullptr;
        std::string text = Utf8(name);
        if (flags != 0)
            return m_machine->Reject("Item " + m_owner->Label() + "." + text + ": flags " + std::to_string(flags));
        long index = m_owner->FindSlot(text);
        if (index < 0) return WBEM_E_NOT_FOUND;
        *property = New<CProperty>(m_machine, m_owner, index, text, "Item").Detach();
        return S_OK;
    });
}

HRESULT CPropertySet::Add(BSTR name, WbemCimtypeEnum cimType, VARIANT_BOOL isArray, LONG flags,
                          ISWbemProperty** property) {
    return Guarded([&]() -> HRESULT {
        CMachine::CCall call(*m_machine);
        if (call.Failed()) return WBEM_E_FAILED;
        if (property) *property = nullptr;
        std::string text = Utf8(name);
        const std::string what = "Add " + m_owner->Label() + "." + text + ": ";
        const CMethodInfo* method = m_owner->ObjectKind() == CWbemObject::Kind::InParams ? m_owner->Method() : nullptr;
        const CParameterInfo* parameter = method ? method->Parameter(text) : nullptr;
        if (parameter && parameter->typed) {
            if (flags != 0) return m_machine->Reject(what + "flags " + std::to_string(flags));
            // Put cannot change a fixed type: the parameter stays NULL.
            if (cimType != parameter->cimType || !isArray != !parameter->isArray) return WBEM_E_TYPE_MISMATCH;
        } else {
            if (cimType != wbemCimtypeString)
                return m_machine->Reject(what + "CIM type " + std::to_string(static_cast<int>(cimType)));
            if (!isArray) return m_machine->Reject(what + "not an array");
            if (flags != 0) return m_machine->Reject(what + "flags " + std::to_string(flags));
            if (text.empty()) return m_machine->Reject(what + "no name");
            if (method && !parameter) return m_machine->Reject(what + "no in-parameter of " + method->name);
        }
        long index = m_owner->AddSlot(text);
        if (property) *property = New<CProperty>(m_machine, m_owner, index, text, "Add").Detach();
        return S_OK;
    });
}

} // namespace VarquelSim
