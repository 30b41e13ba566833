#pragma once
#include <wbemdisp.h>
#include <vector>
#include "com/Variant.h"
#include "simulator/SimObject.h"

namespace VarquelSim {

// The result of a query or an associators request. Its elements are made
// when the set is: objects are snapshots of the instances at that moment.
class CObjectSet : public CSimDispatch<ISWbemObjectSet> {
public:
    static Microsoft::WRL::ComPtr<CObjectSet> Create(const std::shared_ptr<CMachine>& machine,
                                                     const std::vector<CMachine::CElement>& elements);
    explicit CObjectSet(std::shared_ptr<CMachine> machine) : CSimDispatch(std::move(machine)) {}

    const std::vector<Varquel::CVariant>& Elements() const noexcept { return m_elements; }

    HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** enumerator) override;
    HRESULT STDMETHODCALLTYPE Item(BSTR, LONG, ISWbemObject**) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE get_Count(LONG*) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE get_Security_(ISWbemSecurity**) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE ItemIndex(LONG, ISWbemObject**) override { return NotImplemented(); }

private:
    std::vector<Varquel::CVariant> m_elements;
};

} // namespace VarquelSim
