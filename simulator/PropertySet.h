#pragma once
#include <wbemdisp.h>
#include "simulator/SimObject.h"

namespace VarquelSim {

class CWbemObject;

// Properties_ of one object.
class CPropertySet : public CSimDispatch<ISWbemPropertySet> {
public:
    CPropertySet(std::shared_ptr<CMachine> machine, Microsoft::WRL::ComPtr<CWbemObject> owner);

    HRESULT STDMETHODCALLTYPE Item(BSTR name, LONG flags, ISWbemProperty** property) override;
    HRESULT STDMETHODCALLTYPE Add(BSTR name, WbemCimtypeEnum cimType, VARIANT_BOOL isArray, LONG flags,
                                  ISWbemProperty** property) override;

    HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown**) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE get_Count(LONG*) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE Remove(BSTR, LONG) override { return NotImplemented(); }

private:
    Microsoft::WRL::ComPtr<CWbemObject> m_owner;
};

} // namespace VarquelSim
