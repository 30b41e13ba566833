#pragma once
#include <wbemdisp.h>
#include <string>
#include <vector>
#include "com/Variant.h"
#include "simulator/SimObject.h"

namespace VarquelSim {

struct CMethodInfo;

// One WMI object: an instance (a snapshot of the machine's record when it was
// handed out), a class object, or a method's in- or out-parameters.
class CWbemObject : public CSimDispatch<ISWbemObject> {
public:
    enum class Kind { Instance, Class, InParamsClass, InParams, OutParams };
    struct CSlot {
        std::string name;
        Varquel::CVariant value;
        // In-parameters: how the client set it ("Item" or "Add"); empty while
        // it is not set, and the method does not see it.
        std::string setBy;
    };

    // `label` names the object in the journal: "Win32_Share[3]", "Win32_Share",
    // "Win32_Share[3].Create.in" ...
    CWbemObject(std::shared_ptr<CMachine> machine, Kind kind, std::string className, long id, std::string label,
                const CMethodInfo* method = nullptr);
    static Microsoft::WRL::ComPtr<CWbemObject> FromElement(const std::shared_ptr<CMachine>& machine,
                                                           const CMachine::CElement& element);

    Kind ObjectKind() const noexcept { return m_kind; }
    const std::string& ClassName() const noexcept { return m_className; }
    const std::string& Label() const noexcept { return m_label; }
    const CMethodInfo* Method() const noexcept { return m_method; }
    CMachine& Machine() const noexcept { return *m_machine; }
    // Properties by name, ignoring case; -1 when there is none.
    long FindSlot(const std::string& name) const noexcept;
    long AddSlot(const std::string& name);  // an existing one is kept
    CSlot& Slot(long index) { return m_slots[static_cast<size_t>(index)]; }

    HRESULT STDMETHODCALLTYPE Associators_(BSTR assocClass, BSTR resultClass, BSTR resultRole, BSTR role,
                                           VARIANT_BOOL classesOnly, VARIANT_BOOL schemaOnly,
                                           BSTR requiredAssocQualifier, BSTR requiredQualifier, LONG flags,
                                           IDispatch* namedValues, ISWbemObjectSet** set) override;
    HRESULT STDMETHODCALLTYPE ExecMethod_(BSTR method, IDispatch* inParameters, LONG flags, IDispatch* namedValues,
                                          ISWbemObject** outParameters) override;
    HRESULT STDMETHODCALLTYPE SpawnInstance_(LONG flags, ISWbemObject** instance) override;
    HRESULT STDMETHODCALLTYPE get_Properties_(ISWbemPropertySet** properties) override;
    HRESULT STDMETHODCALLTYPE get_Methods_(ISWbemMethodSet** methods) override;

    HRESULT STDMETHODCALLTYPE Put_(LONG, IDispatch*, ISWbemObjectPath**) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE PutAsync_(IDispatch*, LONG, IDispatch*, IDispatch*) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE Delete_(LONG, IDispatch*) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE DeleteAsync_(IDispatch*, LONG, IDispatch*, IDispatch*) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE Instances_(LONG, IDispatch*, ISWbemObjectSet**) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE InstancesAsync_(IDispatch*, LONG, IDispatch*, IDispatch*) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE Subclasses_(LONG, IDispatch*, ISWbemObjectSet**) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE SubclassesAsync_(IDispatch*, LONG, IDispatch*, IDispatch*) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE AssociatorsAsync_(IDispatch*, BSTR, BSTR, BSTR, BSTR, VARIANT_BOOL, VARIANT_BOOL, BSTR,
                                                BSTR, LONG, IDispatch*, IDispatch*) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE References_(BSTR, BSTR, VARIANT_BOOL, VARIANT_BOOL, BSTR, LONG, IDispatch*,
                                          ISWbemObjectSet**) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE ReferencesAsync_(IDispatch*, BSTR, BSTR, VARIANT_BOOL, VARIANT_BOOL, BSTR, LONG,
                                               IDispatch*, IDispatch*) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE ExecMethodAsync_(IDispatch*, BSTR, IDispatch*, LONG, IDispatch*, IDispatch*) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE Clone_(ISWbemObject**) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE GetObjectText_(LONG, BSTR*) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE SpawnDerivedClass_(LONG, ISWbemObject**) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE CompareTo_(IDispatch*, LONG, VARIANT_BOOL*) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE get_Qualifiers_(ISWbemQualifierSet**) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE get_Derivation_(VARIANT*) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE get_Path_(ISWbemObjectPath**) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE get_Security_(ISWbemSecurity**) override { return NotImplemented(); }

protected:
    void* Implementation() noexcept override { return static_cast<CWbemObject*>(this); }

private:
    Kind m_kind;
    std::string m_className;
    long m_id;
    std::string m_label;
    const CMethodInfo* m_method;
    std::vector<CSlot> m_slots;
};

} // namespace VarquelSim
