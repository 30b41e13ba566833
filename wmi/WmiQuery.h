#pragma once
#include <windows.h>
#include <wbemcli.h>
#include <wbemdisp.h>
#include <wrl/client.h>

namespace Varquel {

// The result of one WQL query over a connection of its own. Any failure while
// opening makes an empty result; of the failures, only a class the machine
// does not have can be told apart (ClassMissing).
class CWmiQuery {
public:
    explicit CWmiQuery(const wchar_t* wql) noexcept;
    CWmiQuery(const CWmiQuery&) = delete;
    CWmiQuery& operator=(const CWmiQuery&) = delete;

    // The next result object, or null at the end of the set, on any
    // enumeration error and at the first element that is not an object.
    Microsoft::WRL::ComPtr<ISWbemObject> Next() noexcept;

    // The query or its enumeration failed with WBEM_E_INVALID_CLASS: the
    // queried class does not exist on this machine.
    bool ClassMissing() const noexcept { return m_failure == static_cast<HRESULT>(WBEM_E_INVALID_CLASS); }

private:
    Microsoft::WRL::ComPtr<IEnumVARIANT> m_enum;
    HRESULT m_failure = S_OK;
};

// A fresh connection to ROOT\CIMV2 on the local machine; null on failure.
Microsoft::WRL::ComPtr<ISWbemServices> ConnectWmi() noexcept;

// The class object of a WMI class (ISWbemServices::Get, flags 0) over a
// connection of its own; null on failure.
Microsoft::WRL::ComPtr<ISWbemObject> GetWmiClassObject(const wchar_t* className) noexcept;

} // namespace Varquel
