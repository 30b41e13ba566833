// The constant dispatch tables of the eight dual interfaces: the names that
// GetIDsOfNames knows, the members that Invoke reaches, and each interface's
// argument limit and treatment of named arguments.
#include <algorithm>
#include <array>
#include "com/Dispatch.h"
#include "com/DispatchMember.h"
#include "Varquel_h.h"

namespace Varquel::Dispatch {
namespace {

constexpr MemberKind kMethod = MemberKind::Method;
constexpr MemberKind kGet = MemberKind::PropertyGet;
constexpr MemberKind kPut = MemberKind::PropertyPut;

template <std::size_t N>
constexpr DISPID HighestDispid(const MemberEntry (&members)[N]) {
    DISPID highest = 0;
    for (const MemberEntry& m : members) highest = std::max(highest, m.id);
    return highest;
}

// DISPID -> index of its first member (a getter comes before its setter).
template <DISPID Highest, std::size_t N>
constexpr std::array<std::int8_t, Highest + 1> IndexByDispid(const MemberEntry (&members)[N]) {
    std::array<std::int8_t, Highest + 1> index{};
    for (std::int8_t& slot : index) slot = -1;
    for (std::size_t i = N; i-- > 0;) index[members[i].id] = static_cast<std::int8_t>(i);
    return index;
}

// The limit Invoke puts on cArgs: the most parameters of any member, its
// [out, retval] parameter counted.
template <std::size_t N>
constexpr UINT MostParameters(const MemberEntry (&members)[N]) {
    UINT most = 0;
    for (const MemberEntry& m : members) most = std::max<UINT>(most, m.inputs + (m.hasResult ? 1u : 0u));
    return most;
}

// Every DISPID that a name maps to is a member's DISPID or a parameter position.
template <std::size_t N, std::size_t M>
constexpr bool NamesAreMembersOrPositions(const NameEntry (&names)[N], const MemberEntry (&members)[M]) {
    for (const NameEntry& n : names) {
        bool found = n.id >= 0 && n.id < static_cast<DISPID>(kMaxInputs);
        for (const MemberEntry& m : members) found = found || m.id == n.id;
        if (!found) return false;
    }
    return true;
}

#define VARQUEL_DISPATCH_TABLE(Itf, Names, Members, Limit, Rule)                                  \
    static_assert(MostParameters(Members) == (Limit), #Itf ": argument limit");                   \
    static_assert((Limit) <= kMaxArgs, #Itf ": argument limit");                                  \
    static_assert(NamesAreMembersOrPositions(Names, Members), #Itf ": name table");               \
    constexpr auto Members##Index = IndexByDispid<HighestDispid(Members)>(Members);               \
    constexpr InterfaceTable k##Itf##Table{Names, Members, Members##Index, (Limit), NamedArgs::Rule};

// ---- IAddressList ----
constexpr NameEntry kAddressListNames[] = {
    {L"Count", 1}, {L"pVal", 0},   {L"get_Count", 1}, {L"Value", 0},     {L"Add", 3},
    {L"nIndex", 0}, {L"pValue", 1}, {L"GetAt", 4},     {L"RemoveAll", 6}, {L"RemoveAt", 7},
};
constexpr MemberEntry kAddressListMembers[] = {
    MemberOf<&IAddressList::get_Count>(1, kGet),
    MemberOf<&IAddressList::Add>(3, kMethod),
    MemberOf<&IAddressList::GetAt>(4, kMethod),
    MemberOf<&IAddressList::RemoveAll>(6, kMethod),
    MemberOf<&IAddressList::RemoveAt>(7, kMethod),
};
VARQUEL_DISPATCH_TABLE(IAddressList, kAddressListNames, kAddressListMembers, 2, ByPosition)

// ---- INetAdapterProperty ----
constexpr NameEntry kNetAdapterPropertyNames[] = {
    {L"GetCurrent", 1},
    {L"Apply", 2},
    {L"IPAddresses", 3},
    {L"pVal", 0},
    {L"get_IPAddresses", 3},
    {L"SubnetMasks", 4},
    {L"get_SubnetMasks", 4},
    {L"GateWayAddresses", 5},
    {L"get_GateWayAddresses", 5},
    {L"DNSAddresses", 6},
    {L"get_DNSAddresses", 6},
    {L"WINSServers", 7},
    {L"get_WINSServers", 7},
    {L"IsDHCP", 10},
    {L"get_IsDHCP", 10},
    {L"put_IsDHCP", 10},
    {L"Name", 11},
    {L"get_Name", 11},
    {L"NetConnectionID", 12},
    {L"get_NetConnectionID", 12},
};
constexpr MemberEntry kNetAdapterPropertyMembers[] = {
    MemberOf<&INetAdapterProperty::GetCurrent>(1, kMethod),
    MemberOf<&INetAdapterProperty::Apply>(2, kMethod),
    MemberOf<&INetAdapterProperty::get_IPAddresses>(3, kGet),
    MemberOf<&INetAdapterProperty::get_SubnetMasks>(4, kGet),
    MemberOf<&INetAdapterProperty::get_GateWayAddresses>(5, kGet),
    MemberOf<&INetAdapterProperty::get_DNSAddresses>(6, kGet),
    MemberOf<&INetAdapterProperty::get_WINSServers>(7, kGet),
    MemberOf<&INetAdapterProperty::get_IsDHCP>(10, kGet),
    MemberOf<&INetAdapterProperty::put_IsDHCP>(10, kPut),
    MemberOf<&INetAdapterProperty::get_Name>(11, kGet),
    MemberOf<&INetAdapterProperty::get_NetConnectionID>(12, kGet),
};
VARQUEL_DISPATCH_TABLE(INetAdapterProperty, kNetAdapterPropertyNames, kNetAdapterPropertyMembers, 1, Ignored)

// ---- INetAdaptersList ----
constexpr NameEntry kNetAdaptersListNames[] = {
    {L"Count", 1}, {L"pVal", 0}, {L"get_Count", 1}, {L"nIndex", 0},         {L"Param", 1},
    {L"NetAdapterPropertyGetAt", 2}, {L"Apply", 3}, {L"GetCurrent", 4}, {L"DetectAdapters", 5},
};
constexpr MemberEntry kNetAdaptersListMembers[] = {
    MemberOf<&INetAdaptersList::get_Count>(1, kGet),
    MemberOf<&INetAdaptersList::NetAdapterPropertyGetAt>(2, kMethod),
    MemberOf<&INetAdaptersList::Apply>(3, kMethod),
    MemberOf<&INetAdaptersList::GetCurrent>(4, kMethod),
    MemberOf<&INetAdaptersList::DetectAdapters>(5, kMethod),
};
VARQUEL_DISPATCH_TABLE(INetAdaptersList, kNetAdaptersListNames, kNetAdaptersListMembers, 2, ByPosition)

// ---- IPrintersProperty ----
constexpr NameEntry kPrintersPropertyNames[] = {
    {L"PrintersCount", 1}, {L"pVal", 0},          {L"get_PrintersCount", 1}, {L"PrinterNumber", 2},
    {L"get_PrinterNumber", 2}, {L"put_PrinterNumber", 2}, {L"Name", 3},     {L"get_Name", 3},
    {L"Default", 4},       {L"get_Default", 4},   {L"put_Default", 4},       {L"GetCurrent", 5},
    {L"Apply", 6},         {L"DetectPrinters", 7}, {L"DeviceID", 0},         {L"SetDefault", 8},
    {L"GetDefault", 9},
};
constexpr MemberEntry kPrintersPropertyMembers[] = {
    MemberOf<&IPrintersProperty::get_PrintersCount>(1, kGet),
    MemberOf<&IPrintersProperty::get_PrinterNumber>(2, kGet),
    MemberOf<&IPrintersProperty::put_PrinterNumber>(2, kPut),
    MemberOf<&IPrintersProperty::get_Name>(3, kGet),
    MemberOf<&IPrintersProperty::get_Default>(4, kGet),
    MemberOf<&IPrintersProperty::put_Default>(4, kPut),
    MemberOf<&IPrintersProperty::GetCurrent>(5, kMethod),
    MemberOf<&IPrintersProperty::Apply>(6, kMethod),
    MemberOf<&IPrintersProperty::DetectPrinters>(7, kMethod),
    MemberOf<&IPrintersProperty::SetDefault>(8, kMethod),
    MemberOf<&IPrintersProperty::GetDefault>(9, kMethod),
};
VARQUEL_DISPATCH_TABLE(IPrintersProperty, kPrintersPropertyNames, kPrintersPropertyMembers, 1, Ignored)

// ---- IProxyProperty ----
constexpr NameEntry kProxyPropertyNames[] = {
    {L"GetCurrent", 1},       {L"Apply", 2},
    {L"HTTPServer", 3},       {L"pVal", 0},              {L"get_HTTPServer", 3},   {L"put_HTTPServer", 3},
    {L"HTTPPort", 4},         {L"get_HTTPPort", 4},      {L"put_HTTPPort", 4},
    {L"SecureServer", 5},     {L"get_SecureServer", 5},  {L"put_SecureServer", 5},
    {L"SecurePort", 6},       {L"get_SecurePort", 6},    {L"put_SecurePort", 6},
    {L"FTPServer", 7},        {L"get_FTPServer", 7},     {L"put_FTPServer", 7},
    {L"FTPPort", 8},          {L"get_FTPPort", 8},       {L"put_FTPPort", 8},
    {L"GopherServer", 9},     {L"get_GopherServer", 9},  {L"put_GopherServer", 9},
    {L"GopherPort", 10},      {L"get_GopherPort", 10},   {L"put_GopherPort", 10},
    {L"SocksServer", 11},     {L"get_SocksServer", 11},  {L"put_SocksServer", 11},
    {L"SocksPort", 12},       {L"get_SocksPort", 12},    {L"put_SocksPort", 12},
    {L"IsUseOneProxy", 13},   {L"get_IsUseOneProxy", 13}, {L"put_IsUseOneProxy", 13},
};
constexpr MemberEntry kProxyPropertyMembers[] = {
    MemberOf<&IProxyProperty::GetCurrent>(1, kMethod),
    MemberOf<&IProxyProperty::Apply>(2, kMethod),
    MemberOf<&IProxyProperty::get_HTTPServer>(3, kGet),
    MemberOf<&IProxyProperty::put_HTTPServer>(3, kPut),
    MemberOf<&IProxyProperty::get_HTTPPort>(4, kGet),
    MemberOf<&IProxyProperty::put_HTTPPort>(4, kPut),
    MemberOf<&IProxyProperty::get_SecureServer>(5, kGet),
    MemberOf<&IProxyProperty::put_SecureServer>(5, kPut),
    MemberOf<&IProxyProperty::get_SecurePort>(6, kGet),
    MemberOf<&IProxyProperty::put_SecurePort>(6, kPut),
    MemberOf<&IProxyProperty::get_FTPServer>(7, kGet),
    MemberOf<&IProxyProperty::put_FTPServer>(7, kPut),
    MemberOf<&IProxyProperty::get_FTPPort>(8, kGet),
    MemberOf<&IProxyProperty::put_FTPPort>(8, kPut),
    MemberOf<&IProxyProperty::get_GopherServer>(9, kGet),
    MemberOf<&IProxyProperty::put_GopherServer>(9, kPut),
    MemberOf<&IProxyProperty::get_GopherPort>(10, kGet),
    MemberOf<&IProxyProperty::put_GopherPort>(10, kPut),
    MemberOf<&IProxyProperty::get_SocksServer>(11, kGet),
    MemberOf<&IProxyProperty::put_SocksServer>(11, kPut),
    MemberOf<&IProxyProperty::get_SocksPort>(12, kGet),
    MemberOf<&IProxyProperty::put_SocksPort>(12, kPut),
    MemberOf<&IProxyProperty::get_IsUseOneProxy>(13, kGet),
    MemberOf<&IProxyProperty::put_IsUseOneProxy>(13, kPut),
};
VARQUEL_DISPATCH_TABLE(IProxyProperty, kProxyPropertyNames, kProxyPropertyMembers, 1, Ignored)

// ---- INetShareList: member names only ----
constexpr NameEntry kNetShareListNames[] = {
    {L"GetCurrent", 1}, {L"Apply", 2},     {L"RemoveAt", 3},  {L"RemoveAll", 4}, {L"Count", 5},
    {L"get_Count", 5},  {L"NameGetAt", 6}, {L"PathGetAt", 7}, {L"CloseAll", 8},  {L"Add", 9},
};
constexpr MemberEntry kNetShareListMembers[] = {
    MemberOf<&INetShareList::GetCurrent>(1, kMethod),
    MemberOf<&INetShareList::Apply>(2, kMethod),
    MemberOf<&INetShareList::RemoveAt>(3, kMethod),
    MemberOf<&INetShareList::RemoveAll>(4, kMethod),
    MemberOf<&INetShareList::get_Count>(5, kGet),
    MemberOf<&INetShareList::NameGetAt>(6, kMethod),
    MemberOf<&INetShareList::PathGetAt>(7, kMethod),
    MemberOf<&INetShareList::CloseAll>(8, kMethod),
    MemberOf<&INetShareList::Add>(9, kMethod),
};
VARQUEL_DISPATCH_TABLE(INetShareList, kNetShareListNames, kNetShareListMembers, 2, Refused)

// ---- INetProfile ----
constexpr NameEntry kNetProfileNames[] = {
    {L"NetAdaptersList", 1},  {L"pVal", 0},         {L"get_NetAdaptersList", 1}, {L"PrintersProperty", 2},
    {L"get_PrintersProperty", 2}, {L"ProxyProperty", 3}, {L"get_ProxyProperty", 3}, {L"NetShareList", 4},
    {L"get_NetShareList", 4}, {L"GetCurrent", 5},   {L"Apply", 6},               {L"Name", 7},
    {L"get_Name", 7},         {L"put_Name", 7},     {L"ppVal", 0},               {L"GetDuplicate", 8},
};
constexpr MemberEntry kNetProfileMembers[] = {
    MemberOf<&INetProfile::get_NetAdaptersList>(1, kGet),
    MemberOf<&INetProfile::get_PrintersProperty>(2, kGet),
    MemberOf<&INetProfile::get_ProxyProperty>(3, kGet),
    MemberOf<&INetProfile::get_NetShareList>(4, kGet),
    MemberOf<&INetProfile::GetCurrent>(5, kMethod),
    MemberOf<&INetProfile::Apply>(6, kMethod),
    MemberOf<&INetProfile::get_Name>(7, kGet),
    MemberOf<&INetProfile::put_Name>(7, kPut),
    MemberOf<&INetProfile::GetDuplicate>(8, kMethod),
};
VARQUEL_DISPATCH_TABLE(INetProfile, kNetProfileNames, kNetProfileMembers, 1, Ignored)

// ---- INetProfilesList: member names only ----
constexpr NameEntry kNetProfilesListNames[] = {
    {L"Count", 1}, {L"get_Count", 1}, {L"NetProfileGetAt", 2},    {L"Add", 3},
    {L"Load", 4},  {L"Save", 5},      {L"NetProfileRemoveAt", 6}, {L"NetProfileSetAt", 7},
};
constexpr MemberEntry kNetProfilesListMembers[] = {
    MemberOf<&INetProfilesList::get_Count>(1, kGet),
    MemberOf<&INetProfilesList::NetProfileGetAt>(2, kMethod),
    MemberOf<&INetProfilesList::Add>(3, kMethod),
    MemberOf<&INetProfilesList::Load>(4, kMethod),
    MemberOf<&INetProfilesList::Save>(5, kMethod),
    MemberOf<&INetProfilesList::NetProfileRemoveAt>(6, kMethod),
    MemberOf<&INetProfilesList::NetProfileSetAt>(7, kMethod),
};
VARQUEL_DISPATCH_TABLE(INetProfilesList, kNetProfilesListNames, kNetProfilesListMembers, 2, Refused)

#undef VARQUEL_DISPATCH_TABLE

static_assert(std::size(kAddressListNames) == 10);
static_assert(std::size(kNetAdapterPropertyNames) == 20);
static_assert(std::size(kPrintersPropertyNames) == 17);
static_assert(std::size(kProxyPropertyNames) == 36);
static_assert(std::size(kNetProfileNames) == 16);

} // namespace

template <> const InterfaceTable& TableOf<IAddressList>() noexcept { return kIAddressListTable; }
template <> const InterfaceTable& TableOf<INetAdapterProperty>() noexcept { return kINetAdapterPropertyTable; }
template <> const InterfaceTable& TableOf<INetAdaptersList>() noexcept { return kINetAdaptersListTable; }
template <> const InterfaceTable& TableOf<IPrintersProperty>() noexcept { return kIPrintersPropertyTable; }
template <> const InterfaceTable& TableOf<IProxyProperty>() noexcept { return kIProxyPropertyTable; }
template <> const InterfaceTable& TableOf<INetShareList>() noexcept { return kINetShareListTable; }
template <> const InterfaceTable& TableOf<INetProfile>() noexcept { return kINetProfileTable; }
template <> const InterfaceTable& TableOf<INetProfilesList>() noexcept { return kINetProfilesListTable; }

} // namespace Varquel::Dispatch
