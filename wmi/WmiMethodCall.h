#pragma once
#include <windows.h>
#include <wbemdisp.h>
#include <wrl/client.h>
#include <functional>
#include "com/Bstr.h"
#include "wmi/WmiReturnValue.h"

namespace Varquel {

// One prepared call of a WMI method on one object. Preparation checks none of
// its steps; a call whose preparation failed answers 1 from SetParameter and
// a failure HRESULT from Execute, and never crashes.
class CWmiMethodCall {
public:
    CWmiMethodCall(ISWbemObject* target, const wchar_t* methodName);
    CWmiMethodCall(const CWmiMethodCall&) = delete;
    CWmiMethodCall& operator=(const CWmiMethodCall&) = delete;
    ~CWmiMethodCall();

    // Puts the value into the in-parameter (reached with Item; added as a CIM
    // string array only where the instance lacks it); 0 on success, 1 on
    // failure.
    int SetParameter(const wchar_t* name, const VARIANT& value) noexcept;
    int SetParameter(const wchar_t* name, BSTR value) noexcept;   // sent as VT_BSTR
    int SetParameter(const wchar_t* name, long value) noexcept;   // sent as VT_I4

    // ExecMethod_ with the prepared in-parameters; its HRESULT.
    HRESULT Execute() noexcept;
    // The same, but only when every SetParameter succeeded: otherwise the
    // first one's failure, and nothing is sent. For methods that read a
    // parameter left unset as a request of its own.
    HRESULT ExecuteComplete() noexcept;
    // The out-parameters' ReturnValue of the last Execute; -1 when there is
    // none (the call failed, or the method reports no number).
    long ReturnValue() const noexcept;

private:
    HRESULT Put(const wchar_t* name, const VARIANT& value) noexcept;

    CBstr m_name;
    Microsoft::WRL::ComPtr<ISWbemObject> m_target;
    Microsoft::WRL::ComPtr<ISWbemMethodSet> m_methods;
    Microsoft::WRL::ComPtr<ISWbemMethod> m_method;
    Microsoft::WRL::ComPtr<ISWbemObject> m_inClass;
    Microsoft::WRL::ComPtr<ISWbemObject> m_inParams;
    Microsoft::WRL::ComPtr<ISWbemObject> m_outParams;
    Microsoft::WRL::ComPtr<ISWbemPropertySet> m_inProperties;
    HRESULT m_prepared = S_OK;  // the first preparation step that failed
    HRESULT m_unset = S_OK;     // the first SetParameter that failed
};

// Told each method that ran on a WMI object, with the machine's answer.
using MethodObserver = std::function<void(WmiMethod method, const CWmiAnswer& answer)>;

// Calls a method that takes no in-parameters; the HRESULT of ExecMethod_.
// With `returnValue`, the out-parameters are asked for and their ReturnValue
// (-1 for none) is kept there.
HRESULT ExecMethodNoParams(ISWbemObject* object, const wchar_t* methodName, long* returnValue = nullptr) noexcept;

// The ReturnValue of a method's out-parameters; -1 for none.
long ReturnValueOf(ISWbemObject* outParameters) noexcept;

} // namespace Varquel
