#include "simulator/Method.h"
#include "simulator/MethodCatalog.h"
#include "simulator/WbemObject.h"

namespace VarquelSim {

CMethod::CMethod(std::shared_ptr<CMachine> machine, Microsoft::WRL::ComPtr<CWbemObject> owner,
                 const CMethodInfo* info)
    : CSimDispatch(std::move(machine)), m_owner(std::move(owner)), m_info(info) {}

HRESULT CMethod::get_InParameters(ISWbemObject** inParameters) {
    return Guarded([&]() -> HRESULT {
        CMachine::CCall call(*m_machine);
        if (call.Failed()) return WBEM_E_FAILED;
        if (!inParameters) return E_POINTER;
        *inParameters = nullptr;
        // Like WMI, a method without in-parameters has no in-parameters class.
        if (m_info->inParameters.empty()) return S_OK;
        *inParameters = New<CWbemObject>(m_machine, CWbemObject::Kind::InParamsClass, m_owner->ClassName(), -1L,
                                         m_owner->Label() + "." + m_info->name + ".in", m_info)
                            .Detach();
        return S_OK;
    });
}

} // namespace VarquelSim
