#include "simulator/WbemObject.h"
#include "simulator/MethodCatalog.h"
#include "simulator/MethodSet.h"
#include "simulator/ObjectSet.h"
#include "simulator/PropertySet.h"
#include "simulator/Values.h"

using Microsoft::WRL::ComPtr;

namespace VarquelSim {

namespace {

const char* const kConfiguration = "Win32_NetworkAdapterConfiguration";

bool IsNone(BSTR text) { return SysStringLen(text) == 0; }

std::string Quote(BSTR text) { return "\"" + Utf8(text) + "\""; }

} // namespace

CWbemObject::CWbemObject(std::shared_ptr<CMachine> machine, Kind kind, std::string className, long id,
                         std::string label, const CMethodInfo* method)
    : CSimDispatch(std::move(machine)),
      m_kind(kind),
      m_className(std::move(className)),
      m_id(id),
      m_label(std::move(label)),
      m_method(method) {}

ComPtr<CWbemObject> CWbemObject::FromElement(const std::shared_ptr<CMachine>& machine,
                                             const CMachine::CElement& element) {
    auto object = New<CWbemObject>(machine, Kind::Instance, element.className, element.id,
                                   element.className + "[" + std::to_string(element.id) + "]");
    for (const auto& [name, value] : element.properties.items()) {
        CSlot slot{name, {}};
        JsonToVariant(value, slot.value.Get());
        object->m_slots.push_back(std::move(slot));
    }
    return object;
}

long CWbemObject::FindSlot(const std::string& name) const noexcept {
    for (size_t i = 0; i < m_slots.size(); ++i)
        if (EqualsNoCase(m_slots[i].name, name)) return static_cast<long>(i);
    return -1;
}

long CWbemObject::AddSlot(const std::string& name) {
    long index = FindSlot(name);
    if (index >= 0) return index;
    CSlot slot{name, {}};
    V_VT(slot.value.Get()) = VT_NULL;
    m_slots.push_back(std::move(slot));
    return static_cast<long>(m_slots.size() - 1);
}

HRESULT CWbemObject::Associators_(BSTR assocClass, BSTR resultClass, BSTR resultRole, BSTR role,
                                  VARIANT_BOOL classesOnly, VARIANT_BOOL schemaOnly, BSTR requiredAssocQualifier,
                                  BSTR requiredQualifier, LONG flags, IDispatch* namedValues,
                                  ISWbemObjectSet** set) {
    return Guarded([&]() -> HRESULT {
        CMachine::CCall call(*m_machine);
        if (call.Failed()) return WBEM_E_FAILED;
        if (!set) return E_POINTER;
        *set = nullptr;
        const std::string what = "Associators_ " + m_label + ": ";
        if (!IsNone(assocClass)) return m_machine->Reject(what + "association class " + Quote(assocClass));
        if (!EqualsNoCase(Utf8(resultClass), kConfiguration))
            return m_machine->Reject(what + "result class " + Quote(resultClass));
        if (!IsNone(resultRole) || !IsNone(role)) return m_machine->Reject(what + "role given");
        if (classesOnly || schemaOnly) return m_machine->Reject(what + "classes-only or schema-only");
        if (!IsNone(requiredAssocQualifier) || !IsNone(requiredQualifier))
            return m_machine->Reject(what + "qualifier given");
        if (flags != wbemFlagForwardOnly) return m_machine->Reject(what + "flags " + std::to_string(flags));
        if (namedValues) return m_machine->Reject(what + "named-value set given");
        m_machine->Log("associators " + m_label + " " + Utf8(resultClass));

        std::vector<CMachine::CElement> elements;
        if (m_kind == Kind::Instance && EqualsNoCase(m_className, "Win32_NetworkAdapter"))
            if (auto configuration = m_machine->Configuration(m_id)) elements.push_back(std::move(*configuration));
        *set = CObjectSet::Create(m_machine, elements).Detach();
        return S_OK;
    });
}

HRESULT CWbemObject::ExecMethod_(BSTR method, IDispatch* inParameters, LONG flags, IDispatch* namedValues,
                                 ISWbemObject** outParameters) {
    return Guarded([&]() -> HRESULT {
        CMachine::CCall call(*m_machine);
        if (call.Failed()) return WBEM_E_FAILED;
        if (outParameters) *outParameters = nullptr;
        std::string name = Utf8(method);
        const std::string what = "ExecMethod_ " + m_label + "." + name + ": ";
        if (flags != 0) return m_machine->Reject(what + "flags " + std::to_string(flags));
        if (namedValues) return m_machine->Reject(what + "named-value set given");
        ComPtr<CWbemObject> in;
        if (inParameters &&
            FAILED(inParameters->QueryInterface(IID_SimWbemObject, reinterpret_cast<void**>(in.GetAddressOf()))))
            return m_machine->Reject(what + "in-parameters that are no object of this machine");
        if (in && in->m_kind != Kind::InParams)
            return m_machine->Reject(what + "in-parameters that are no spawned in-parameters instance");

        // The method sees only the parameters that were set.
        CMachine::Parameters parameters;
        std::string text;
        if (in) {
            for (const CSlot& slot : in->m_slots) {
                if (slot.setBy.empty()) continue;
                parameters.emplace_back(slot.name, slot.value.Get());
                if (!text.empty()) text += ", ";
                text += slot.setBy + " " + slot.name + "=" + FormatValue(*slot.value);
            }
        }
        m_machine->Log("exec " + m_label + "." + name + "(" + text + ")");

        if (m_kind != Kind::Instance && m_kind != Kind::Class) return WBEM_E_INVALID_OPERATION;
        const CMethodInfo* info = FindMethod(m_className, name);
        if (!info) return WBEM_E_INVALID_METHOD;
        long returnValue = 0;
        HRESULT hr = m_machine->Execute(m_className, m_kind == Kind::Class ? -1 : m_id, *info, parameters,
                                        returnValue);
        if (FAILED(hr)) return hr;
        if (outParameters) {
            auto out = New<CWbemObject>(m_machine, Kind::OutParams, m_className, m_id,
                                        m_label + "." + info->name + ".out", info);
            CSlot& slot = out->Slot(out->AddSlot("ReturnValue"));
            V_VT(slot.value.Get()) = VT_I4;
            V_I4(slot.value.Get()) = returnValue;
            *outParameters = out.Detach();
        }
        return S_OK;
    });
}

HRESULT CWbemObject::SpawnInstance_(LONG flags, ISWbemObject** instance) {
    return Guarded([&]() -> HRESULT {
        CMachine::CCall call(*m_machine);
        if (call.Failed()) return WBEM_E_FAILED;
        if (!instance) return E_POINTER;
        *instance = nullptr;
        if (flags != 0) return m_machine->Reject("SpawnInstance_ " + m_label + ": flags " + std::to_string(flags));
        if (m_kind != Kind::InParamsClass) return WBEM_E_INVALID_OPERATION;
        // The instance holds every declared parameter, each NULL.
        auto spawned = New<CWbemObject>(m_machine, Kind::InParams, m_className, m_id, m_label, m_method);
        if (m_method)
            for (const CParameterInfo& parameter : m_method->inParameters) spawned->AddSlot(parameter.name);
        *instance = spawned.Detach();
        return S_OK;
    });
}

HRESULT CWbemObject::get_Properties_(ISWbemPropertySet** properties) {
    return Guarded([&]() -> HRESULT {
        CMachine::CCall call(*m_machine);
        if (call.Failed()) return WBEM_E_FAILED;
        if (!properties) return E_POINTER;
        *properties = New<CPropertySet>(m_machine, ComPtr<CWbemObject>(this)).Detach();
        return S_OK;
    });
}

HRESULT CWbemObject::get_Methods_(ISWbemMethodSet** methods) {
    return Guarded([&]() -> HRESULT {
        CMachine::CCall call(*m_machine);
        if (call.Failed()) return WBEM_E_FAILED;
        if (!methods) return E_POINTER;
        *methods = New<CMethodSet>(m_machine, ComPtr<CWbemObject>(this)).Detach();
        return S_OK;
    });
}

} // namespace VarquelSim
