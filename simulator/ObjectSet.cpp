#include "simulator/ObjectSet.h"
#include "simulator/Enumerator.h"
#include "simulator/PlainObject.h"
#include "simulator/WbemObject.h"

namespace VarquelSim {

Microsoft::WRL::ComPtr<CObjectSet> CObjectSet::Create(const std::shared_ptr<CMachine>& machine,
                                                      const std::vector<CMachine::CElement>& elements) {
    auto set = New<CObjectSet>(machine);
    for (const CMachine::CElement& element : elements) {
        Varquel::CVariant value;
        switch (element.form) {
        case CMachine::CElement::Form::NotAnObject:
            V_VT(value.Get()) = VT_I4;
            V_I4(value.Get()) = element.id;
            break;
        case CMachine::CElement::Form::NoSWbemObject:
            V_DISPATCH(value.Get()) = New<CPlainObject>(machine).Detach();
            V_VT(value.Get()) = VT_DISPATCH;
            break;
        case CMachine::CElement::Form::Object:
            V_DISPATCH(value.Get()) = CWbemObject::FromElement(machine, element).Detach();
            V_VT(value.Get()) = VT_DISPATCH;
            break;
        }
        set->m_elements.push_back(std::move(value));
    }
    return set;
}

HRESULT CObjectSet::get__NewEnum(IUnknown** enumerator) {
    return Guarded([&]() -> HRESULT {
        CMachine::CCall call(*m_machine);
        if (call.Failed()) return WBEM_E_FAILED;
        if (!enumerator) return E_POINTER;
        *enumerator = New<CEnumerator>(m_machine, Microsoft::WRL::ComPtr<CObjectSet>(this)).Detach();
        return S_OK;
    });
}

} // namespace VarquelSim
