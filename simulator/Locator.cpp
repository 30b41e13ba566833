#include "simulator/Locator.h"
#include "simulator/Services.h"
#include "simulator/Values.h"

namespace VarquelSim {

HRESULT CLocator::ConnectServer(BSTR server, BSTR nameSpace, BSTR user, BSTR password, BSTR locale,
                                BSTR authority, LONG securityFlags, IDispatch* namedValues,
                                ISWbemServices** services) {
    return Guarded([&]() -> HRESULT {
        CMachine::CCall call(*m_machine);
        if (call.Failed()) return WBEM_E_FAILED;
        if (!services) return E_POINTER;
        *services = nullptr;
        if (SysStringLen(server) != 0) return m_machine->Reject("ConnectServer: server \"" + Utf8(server) + "\"");
        if (!EqualsNoCase(Utf8(nameSpace), "ROOT\\CIMV2"))
            return m_machine->Reject("ConnectServer: namespace \"" + Utf8(nameSpace) + "\"");
        if (SysStringLen(user) || SysStringLen(password) || SysStringLen(locale) || SysStringLen(authority))
            return m_machine->Reject("ConnectServer: user, password, locale or authority given");
        if (securityFlags != 0)
            return m_machine->Reject("ConnectServer: security flags " + std::to_string(securityFlags));
        if (namedValues) return m_machine->Reject("ConnectServer: named-value set given");
        m_machine->Log("connect " + Utf8(nameSpace));
        if (HRESULT fault = m_machine->ConnectFault(); FAILED(fault)) return fault;
        *services = New<CServices>(m_machine).Detach();
        return S_OK;
    });
}

} // namespace VarquelSim
