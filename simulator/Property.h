#pragma once
#include <wbemdisp.h>
#include <string>
#include "simulator/SimObject.h"

namespace VarquelSim {

class CWbemObject;

// One property of an object; reads go to the journal.
class CProperty : public CSimDispatch<ISWbemProperty> {
public:
    // `name` is the name as the client asked for it; `reachedBy` the member
    // that handed the property out ("Item" or "Add").
    CProperty(std::shared_ptr<CMachine> machine, Microsoft::WRL::ComPtr<CWbemObject> owner, long slot,
              std::string name, const char* reachedBy);

    HRESULT STDMETHODCALLTYPE get_Value(VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE put_Value(VARIANT* value) override;

    HRESULT STDMETHODCALLTYPE get_Name(BSTR*) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE get_IsLocal(VARIANT_BOOL*) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE get_Origin(BSTR*) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE get_CIMType(WbemCimtypeEnum*) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE get_Qualifiers_(ISWbemQualifierSet**) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE get_IsArray(VARIANT_BOOL*) override { return NotImplemented(); }

private:
    Microsoft::WRL::ComPtr<CWbemObject> m_owner;
    long m_slot;
    std::string m_name;
    const char* m_reachedBy;
};

} // namespace VarquelSim
