#include "simulator/Services.h"
#include "simulator/ObjectSet.h"
#include "simulator/Values.h"
#include "simulator/WbemObject.h"
#include "simulator/WqlQuery.h"

namespace VarquelSim {

HRESULT CServices::Get(BSTR path, LONG flags, IDispatch* namedValues, ISWbemObject** object) {
    return Guarded([&]() -> HRESULT {
        CMachine::CCall call(*m_machine);
        if (call.Failed()) return WBEM_E_FAILED;
        if (!object) return E_POINTER;
        *object = nullptr;
        std::string name = Utf8(path);
        if (flags != 0) return m_machine->Reject("Get " + name + ": flags " + std::to_string(flags));
        if (namedValues) return m_machine->Reject("Get " + name + ": named-value set given");
        m_machine->Log("get " + name);
        auto className = m_machine->FindClass(name);
        if (!className) return WBEM_E_NOT_FOUND;
        *object = New<CWbemObject>(m_machine, CWbemObject::Kind::Class, *className, -1L, *className).Detach();
        return S_OK;
    });
}

HRESULT CServices::ExecQuery(BSTR query, BSTR language, LONG flags, IDispatch* namedValues,
                             ISWbemObjectSet** set) {
    return Guarded([&]() -> HRESULT {
        CMachine::CCall call(*m_machine);
        if (call.Failed()) return WBEM_E_FAILED;
        if (!set) return E_POINTER;
        *set = nullptr;
        std::string text = Utf8(query);
        if (!EqualsNoCase(Utf8(language), "WQL"))
            return m_machine->Reject("ExecQuery " + text + ": language \"" + Utf8(language) + "\"");
        if (flags != 0) return m_machine->Reject("ExecQuery " + text + ": flags " + std::to_string(flags));
        if (namedValues) return m_machine->Reject("ExecQuery " + text + ": named-value set given");
        m_machine->Log("query " + text);
        auto parsed = CWqlQuery::Parse(text);
        if (!parsed) return WBEM_E_INVALID_QUERY;
        auto className = m_machine->FindClass(parsed->ClassName());
        if (!className) return WBEM_E_INVALID_CLASS;
        std::optional<CMachine::CCondition> where;
        if (parsed->HasCondition()) where = CMachine::CCondition{parsed->Property(), parsed->Literal(), parsed->IsNumber()};
        *set = CObjectSet::Create(m_machine, m_machine->Select(*className, where)).Detach();
        return S_OK;
    });
}

} // namespace VarquelSim
