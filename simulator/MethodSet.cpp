#include "simulator/MethodSet.h"
#include "simulator/Method.h"
#include "simulator/MethodCatalog.h"
#include "simulator/Values.h"
#include "simulator/WbemObject.h"

namespace VarquelSim {

CMethodSet::CMethodSet(std::shared_ptr<CMachine> machine, Microsoft::WRL::ComPtr<CWbemObject> owner)
    : CSimDispatch(std::move(machine)), m_owner(std::move(owner)) {}

HRESULT CMethodSet::Item(BSTR name, LONG flags, ISWbemMethod** method) {
    return Guarded([&]() -> HRESULT {
        CMachine::CCall call(*m_machine);
        if (call.Failed()) return WBEM_E_FAILED;
        if (!method) return E_POINTER;
        *method = nullptr;
        std::string text = Utf8(name);
        if (flags != 0)
            return m_machine->Reject("Methods_.Item " + m_owner->Label() + "." + text + ": flags " +
                                     std::to_string(flags));
        auto kind = m_owner->ObjectKind();
        if (kind != CWbemObject::Kind::Instance && kind != CWbemObject::Kind::Class) return WBEM_E_NOT_FOUND;
        const CMethodInfo* info = FindMethod(m_owner->ClassName(), text);
        if (!info) return WBEM_E_NOT_FOUND;
        *method = New<CMethod>(m_machine, m_owner, info).Detach();
        return S_OK;
    });
}

} // namespace VarquelSim
