#include "simulator/MethodCatalog.h"
#include "simulator/Values.h"

namespace VarquelSim {

namespace {

// The network-configuration methods answer 68 (invalid input parameter) and
// Create 21 (invalid parameter) for a required parameter left NULL.
constexpr long kConfigurationInvalidParameter = 68;
constexpr long kShareInvalidParameter = 21;

CParameterInfo Required(std::string name, WbemCimtypeEnum type, bool isArray) {
    return {std::move(name), type, isArray, true};
}
CParameterInfo Optional(std::string name, WbemCimtypeEnum type, bool isArray) {
    return {std::move(name), type, isArray, false};
}
CParameterInfo Untyped(std::string name) { return {std::move(name), wbemCimtypeString, true, false, false}; }

const std::vector<CMethodInfo>& Catalog() {
    const char* const configuration = "Win32_NetworkAdapterConfiguration";
    const long bad = kConfigurationInvalidParameter;
    static const std::vector<CMethodInfo> methods = {
        {configuration, "EnableStatic", false,
         {Required("IPAddress", wbemCimtypeString, true), Required("SubnetMask", wbemCimtypeString, true)}, bad},
        {configuration, "EnableDHCP", false, {}},
        {configuration, "ReleaseDHCPLease", false, {}},
        {configuration, "RenewDHCPLease", false, {}},
        {configuration, "SetGateways", false,
         {Required("DefaultIPGateway", wbemCimtypeString, true), Optional("GatewayCostMetric", wbemCimtypeUint16, true)},
         bad},
        {configuration, "SetDNSServerSearchOrder", false, {Optional("DNSServerSearchOrder", wbemCimtypeString, true)},
         bad},
        {configuration, "SetWINSServer", false,
         {Required("WINSPrimaryServer", wbemCimtypeString, false), Optional("WINSSecondaryServer", wbemCimtypeString, false)},
         bad},
        {"Win32_Printer", "SetDefaultPrinter", false, {}},
        {"Win32_Proxy", "SetProxySetting", false, {Untyped("ProxyServer"), Untyped("ProxyPortNumber")}},
        {"Win32_Share", "Delete", false, {}},
        {"Win32_Share", "Create", true,
         {Required("Path", wbemCimtypeString, false), Required("Name", wbemCimtypeString, false),
          Required("Type", wbemCimtypeUint32, false), Optional("MaximumAllowed", wbemCimtypeUint32, false),
          Optional("Description", wbemCimtypeString, false), Optional("Password", wbemCimtypeString, false),
          Optional("Access", wbemCimtypeObject, false)},
         kShareInvalidParameter},
    };
    return methods;
}

bool IsInteger(VARTYPE type) noexcept {
    switch (type) {
    case VT_I1: case VT_I2: case VT_I4: case VT_UI1: case VT_UI2: case VT_UI4: case VT_INT: case VT_UINT:
        return true;
    default:
        return false;
    }
}

} // namespace

const CParameterInfo* CMethodInfo::Parameter(std::string_view wanted) const noexcept {
    for (const CParameterInfo& parameter : inParameters)
        if (EqualsNoCase(parameter.name, wanted)) return &parameter;
    return nullptr;
}

const CMethodInfo* FindMethod(std::string_view className, std::string_view method) noexcept {
    for (const CMethodInfo& info : Catalog())
        if (EqualsNoCase(info.className, className) && EqualsNoCase(info.name, method)) return &info;
    return nullptr;
}

bool Fits(const CParameterInfo& parameter, const VARIANT& value) noexcept {
    const VARIANT* v = &value;
    if (V_VT(v) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(v)) v = V_VARIANTREF(v);
    const VARTYPE type = V_VT(v);
    if (!parameter.typed || type == VT_NULL || type == VT_EMPTY) return true;
    if (parameter.isArray) return type == (VT_ARRAY | VT_VARIANT);
    switch (parameter.cimType) {
    case wbemCimtypeString: return type == VT_BSTR;
    case wbemCimtypeUint32: case wbemCimtypeUint16: return IsInteger(type);
    case wbemCimtypeObject: return type == VT_DISPATCH || type == VT_UNKNOWN;
    default: return false;
    }
}

} // namespace VarquelSim
