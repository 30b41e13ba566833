#pragma once
#include <wbemdisp.h>
#include "simulator/SimObject.h"

namespace VarquelSim {

// A connection to ROOT\CIMV2: WQL queries and class objects.
class CServices : public CSimDispatch<ISWbemServices> {
public:
    explicit CServices(std::shared_ptr<CMachine> machine) : CSimDispatch(std::move(machine)) {}

    HRESULT STDMETHODCALLTYPE Get(BSTR path, LONG flags, IDispatch* namedValues, ISWbemObject** object) override;
    HRESULT STDMETHODCALLTYPE ExecQuery(BSTR query, BSTR language, LONG flags, IDispatch* namedValues,
                                        ISWbemObjectSet** set) override;

    HRESULT STDMETHODCALLTYPE GetAsync(IDispatch*, BSTR, LONG, IDispatch*, IDispatch*) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE Delete(BSTR, LONG, IDispatch*) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE DeleteAsync(IDispatch*, BSTR, LONG, IDispatch*, IDispatch*) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE InstancesOf(BSTR, LONG, IDispatch*, ISWbemObjectSet**) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE InstancesOfAsync(IDispatch*, BSTR, LONG, IDispatch*, IDispatch*) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE SubclassesOf(BSTR, LONG, IDispatch*, ISWbemObjectSet**) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE SubclassesOfAsync(IDispatch*, BSTR, LONG, IDispatch*, IDispatch*) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE ExecQueryAsync(IDispatch*, BSTR, BSTR, LONG, IDispatch*, IDispatch*) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE AssociatorsOf(BSTR, BSTR, BSTR, BSTR, BSTR, VARIANT_BOOL, VARIANT_BOOL, BSTR, BSTR,
                                            LONG, IDispatch*, ISWbemObjectSet**) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE AssociatorsOfAsync(IDispatch*, BSTR, BSTR, BSTR, BSTR, BSTR, VARIANT_BOOL,
                                                 VARIANT_BOOL, BSTR, BSTR, LONG, IDispatch*, IDispatch*) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE ReferencesTo(BSTR, BSTR, BSTR, VARIANT_BOOL, VARIANT_BOOL, BSTR, LONG, IDispatch*,
                                           ISWbemObjectSet**) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE ReferencesToAsync(IDispatch*, BSTR, BSTR, BSTR, VARIANT_BOOL, VARIANT_BOOL, BSTR,
                                                LONG, IDispatch*, IDispatch*) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE ExecNotificationQuery(BSTR, BSTR, LONG, IDispatch*, ISWbemEventSource**) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE ExecNotificationQueryAsync(IDispatch*, BSTR, BSTR, LONG, IDispatch*,
                                                         IDispatch*) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE ExecMethod(BSTR, BSTR, IDispatch*, LONG, IDispatch*, ISWbemObject**) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE ExecMethodAsync(IDispatch*, BSTR, BSTR, IDispatch*, LONG, IDispatch*,
                                              IDispatch*) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE get_Security_(ISWbemSecurity**) override { return NotImplemented(); }
};

} // namespace VarquelSim
