#pragma once
#include <string>
#include <nlohmann/json.hpp>

// The machine's settings: top-level keys of its description that choose how
// it answers where Windows' documentation is loose or leaves a choice. Each
// takes one of a few texts; the first is the default.
namespace VarquelSim::Settings {

// How a refused network-configuration change shows on a machine that is not
// elevated: "returnValue" (91) or "execMethod" (WBEM_E_ACCESS_DENIED).
inline constexpr char kAccessDenied[] = "_accessDenied";
// What the documented clearing call (SetGateways with the adapter's own
// address) leaves: "nothing", "address" or "0.0.0.0".
inline constexpr char kGatewayClearingLeaves[] = "_gatewayClearingLeaves";
// What SetGateways with an empty array does: "unchanged" or "clears".
inline constexpr char kEmptyGatewayList[] = "_emptyGatewayList";
// What SetDNSServerSearchOrder with an empty array does: "asNotSet" (hands
// DNS back to DHCP, clears a static adapter's) or "clears".
inline constexpr char kEmptyDnsList[] = "_emptyDnsList";
// What SetWINSServer does with WINSSecondaryServer not set: "clears" or "kept".
inline constexpr char kWinsSecondaryNotSet[] = "_winsSecondaryNotSet";
// Whether a static method (Win32_Share.Create) called on an instance is
// "refused" (WBEM_E_INVALID_OPERATION) or "accepted".
inline constexpr char kStaticOnInstance[] = "_staticOnInstance";

using Json = nlohmann::ordered_json;

// Whether the key names a setting.
bool IsSetting(const std::string& key) noexcept;
// Throws std::invalid_argument for a value the setting does not take.
void Validate(const std::string& key, const Json& value);
// The setting's text in the description's top-level keys, or its default.
std::string Value(const Json& annotations, const char* key);

} // namespace VarquelSim::Settings
