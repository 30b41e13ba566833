#pragma once
#include <windows.h>
#include <oleauto.h>
#include <array>
#include <optional>
#include <string>
#include <vector>

namespace VarquelRobustness {

// What a profile holds as far as the store is concerned, in plain values:
// what the reader of a store should produce, and what a loaded list holds.
struct StoredAdapter {
    static constexpr const wchar_t* kListNames[5] = {L"IPAddresses", L"SubnetMasks", L"GateWayAddresses",
                                                      L"DNSAddresses", L"WINSServers"};
    std::wstring name;
    std::optional<std::wstring> connection;  // nullopt: null
    VARIANT_BOOL dhcp = VARIANT_FALSE;
    std::array<std::vector<std::optional<std::wstring>>, 5> lists;
};

struct StoredProfile {
    std::optional<std::wstring> name;
    std::vector<StoredAdapter> adapters;
    std::optional<std::wstring> defaultPrinter;
};

// Empty when the two agree; otherwise what differs first (UTF-8). A null
// text and an empty one count as equal: the store cannot tell them apart.
std::string ProfilesDiffer(const std::vector<StoredProfile>& expected, const std::vector<StoredProfile>& actual);
std::string Describe(const std::vector<StoredProfile>& profiles);

} // namespace VarquelRobustness
