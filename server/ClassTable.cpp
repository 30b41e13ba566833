#include "server/ClassTable.h"
#include <iterator>
#include "Varquel_h.h"
#include "adapters/AddressList.h"
#include "adapters/NetAdapterProperty.h"
#include "adapters/NetAdaptersList.h"
#include "profiles/NetProfile.h"
#include "profiles/NetProfilesList.h"
#include "profiles/ProfileSwitch.h"
#include "settings/NetShareList.h"
#include "settings/PrintersProperty.h"
#include "settings/ProxyProperty.h"
#include "settings/UserProxy.h"

namespace Varquel {
namespace {

constexpr ClassEntry kClasses[] = {
    {&CLSID_CAddressList, L"Brenzik.AddressList.1", L"Brenzik.AddressList", L"CAddressList Object",
     &CreateComObject<CAddressList>},
    {&CLSID_CNetAdaptersList, L"Varquel.NetAdaptersList.1", L"Varquel.NetAdaptersList",
     L"CNetAdaptersList Object", &CreateComObject<CNetAdaptersList>},
    {&CLSID_CNetAdapterProperty, L"Varquel.NetAdapterProperty.1", L"Varquel.NetAdapterProperty",
     L"CNetAdapterProperty Object", &CreateComObject<CNetAdapterProperty>},
    {&CLSID_CNetProfile, L"Varquel.NetProfile.1", L"Varquel.NetProfile", L"CNetProfile Object",
     &CreateComObject<CNetProfile>},
    {&CLSID_CNetShareList, L"Varquel.NetShareList.1", L"Varquel.NetShareList", L"CNetShareList Object",
     &CreateComObject<CNetShareList>},
    {&CLSID_CProxyProperty, L"Varquel.ProxyProperty.1", L"Varquel.ProxyProperty", L"CProxyProperty Object",
     &CreateComObject<CProxyProperty>},
    {&CLSID_CPrintersProperty, L"Varquel.PrintersProperty.1", L"Varquel.PrintersProperty",
     L"CPrintersProperty Object", &CreateComObject<CPrintersProperty>},
    {&CLSID_CNetProfilesList, L"Varquel.NetProfilesList.1", L"Varquel.NetProfilesList",
     L"CNetProfilesList Object", &CreateComObject<CNetProfilesList>},
    {&CLSID_CProfileSwitch, L"Varquel.ProfileSwitch.1", L"Varquel.ProfileSwitch", L"CProfileSwitch Object",
     &CreateComObject<CProfileSwitch>},
    {&CLSID_CUserProxy, L"Varquel.UserProxy.1", L"Varquel.UserProxy", L"CUserProxy Object",
     &CreateComObject<CUserProxy>},
};

IClassFactory* g_classObjects[std::size(kClasses)] = {};

} // namespace

std::span<const ClassEntry> ClassTable() noexcept { return kClasses; }
std::span<IClassFactory*> ClassObjectSlots() noexcept { return g_classObjects; }

} // namespace Varquel
