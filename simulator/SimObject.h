#pragma once
#include <windows.h>
#include <oleauto.h>
#include <wbemcli.h>
#include <memory>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <wrl/client.h>
#include "com/ComError.h"
#include "simulator/Machine.h"

namespace VarquelSim {

// Asks a simulator object for its implementation; answered only by CWbemObject
// and never counted as a call.
// {5C0E4D7A-3B9E-4F0B-9F1E-7A2D6C1B8E40}
inline constexpr IID IID_SimWbemObject = {0x5c0e4d7a, 0x3b9e, 0x4f0b, {0x9f, 0x1e, 0x7a, 0x2d, 0x6c, 0x1b, 0x8e, 0x40}};

// A new simulator object, owned by the returned pointer.
template <class T, class... Args>
Microsoft::WRL::ComPtr<T> New(Args&&... args) {
    return Microsoft::WRL::ComPtr<T>(new T(std::forward<Args>(args)...));
}

// Runs one member's body: nothing thrown crosses the interface.
template <class Body>
HRESULT Guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const Varquel::CComError& e) {
        return e.Result();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return WBEM_E_FAILED;
    }
}

// Reference counting, QueryInterface and call counting of one simulator object
// implementing one interface (and the interfaces it derives from). Objects are
// born without references; New hands them out in a ComPtr.
template <class Interface>
class CSimObject : public Interface {
public:
    CSimObject(const CSimObject&) = delete;
    CSimObject& operator=(const CSimObject&) = delete;

    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG refs = InterlockedDecrement(&m_refs);
        if (refs == 0) delete this;
        return static_cast<ULONG>(refs);
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (riid == IID_SimWbemObject) {
            *object = Implementation();
            if (!*object) return E_NOINTERFACE;
            AddRef();
            return S_OK;
        }
        CMachine::CCall call(*m_machine);
        if (call.Failed()) return WBEM_E_FAILED;
        if (riid == IID_IUnknown || riid == __uuidof(Interface) || OffersBase(riid)) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }

protected:
    explicit CSimObject(std::shared_ptr<CMachine> machine) : m_machine(std::move(machine)) {
        m_machine->ObjectCreated();
    }
    virtual ~CSimObject() { m_machine->ObjectDestroyed(); }

    // What IID_SimWbemObject finds: the object's implementation, if it offers it.
    virtual void* Implementation() noexcept { return nullptr; }

    // A member the simulator does not model: counted, then E_NOTIMPL.
    HRESULT NotImplemented() {
        CMachine::CCall call(*m_machine);
        return call.Failed() ? static_cast<HRESULT>(WBEM_E_FAILED) : E_NOTIMPL;
    }

    std::shared_ptr<CMachine> m_machine;

private:
    static bool OffersBase(REFIID riid) {
        if constexpr (std::is_base_of_v<IDispatch, Interface> && !std::is_same_v<IDispatch, Interface>)
            return riid == IID_IDispatch;
        return false;
    }

    LONG m_refs = 0;
};

// An automation object whose IDispatch members are not modelled: the system
// calls the WMI objects through their vtables only.
template <class Interface>
class CSimDispatch : public CSimObject<Interface> {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return this->NotImplemented(); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return this->NotImplemented(); }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return this->NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return this->NotImplemented();
    }

protected:
    using CSimObject<Interface>::CSimObject;
};

} // namespace VarquelSim
