#pragma once
#include <wbemdisp.h>
#include "simulator/SimObject.h"

namespace VarquelSim {

// SWbemLocator: connects to the machine's ROOT\CIMV2.
class CLocator : public CSimDispatch<ISWbemLocator> {
public:
    explicit CLocator(std::shared_ptr<CMachine> machine) : CSimDispatch(std::move(machine)) {}

    HRESULT STDMETHODCALLTYPE ConnectServer(BSTR server, BSTR nameSpace, BSTR user, BSTR password, BSTR locale,
                                            BSTR authority, LONG securityFlags, IDispatch* namedValues,
                                            ISWbemServices** services) override;
    HRESULT STDMETHODCALLTYPE get_Security_(ISWbemSecurity**) override { return NotImplemented(); }
};

} // namespace VarquelSim
