#include "simulator/MethodCatalog.h"
#include "simulator/Values.h"

namespace VarquelSim {

namespace {

const std::vector<CMethodInfo>& Catalog() {
    static const std::vector<CMethodInfo> methods = {
        {"Win32_NetworkAdapterConfiguration", "EnableStatic", false, {"IPAddress", "SubnetMask"}},
        {"Win32_NetworkAdapterConfiguration", "EnableDHCP", false, {}},
        {"Win32_NetworkAdapterConfiguration", "ReleaseDHCPLease", false, {}},
        {"Win32_NetworkAdapterConfiguration", "RenewDHCPLease", false, {}},
        {"Win32_NetworkAdapterConfiguration", "SetGateways", false, {"DefaultIPGateway", "GatewayCostMetric"}},
        {"Win32_NetworkAdapterConfiguration", "SetDNSServerSearchOrder", false, {"DNSServerSearchOrder"}},
        {"Win32_NetworkAdapterConfiguration", "SetWINSServer", false, {"WINSPrimaryServer", "WINSSecondaryServer"}},
        {"Win32_Printer", "SetDefaultPrinter", false, {}},
        {"Win32_Proxy", "SetProxySetting", false, {"ProxyServer", "ProxyPortNumber"}},
        {"Win32_Share", "Delete", false, {}},
        {"Win32_Share", "Create", true,
         {"Path", "Name", "Type", "MaximumAllowed", "Description", "Password", "Access"}},
    };
    return methods;
}

} // namespace

const CMethodInfo* FindMethod(std::string_view className, std::string_view method) noexcept {
    for (const CMethodInfo& info : Catalog())
        if (EqualsNoCase(info.className, className) && EqualsNoCase(info.name, method)) return &info;
    return nullptr;
}

} // namespace VarquelSim
