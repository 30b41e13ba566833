#include "tests/profiles/SwitchFixture.h"

namespace ProfilesTest {

ComPtr<INetProfile> Office() {
    ComPtr<INetProfile> office = NewProfile(L"Office");
    ComPtr<INetAdapterProperty> eth = AddAdapter(office.Get(), L"Eth", L"Ethernet", VARIANT_FALSE);
    for (const wchar_t* address : {L"192.168.10.20", L"192.168.10.21", L"2001:db8:10::20", L"fe80::1c2d"})
        AddEntry(eth.Get(), Kind::IPAddresses, address);
    for (const wchar_t* mask : {L"255.255.255.0", L"64", L"255.255.255.0"}) AddEntry(eth.Get(), Kind::SubnetMasks, mask);
    for (const wchar_t* gateway : {L"192.168.10.1", L"fe80::1"}) AddEntry(eth.Get(), Kind::GateWayAddresses, gateway);
    AddEntry(eth.Get(), Kind::DNSAddresses, L"192.168.10.2");
    SetDefaultPrinter(office.Get(), L"B");
    return office;
}

namespace {

std::wstring Get(IApplyChange* change, HRESULT (STDMETHODCALLTYPE IApplyChange::*getter)(BSTR*)) {
    Varquel::CBstr text;
    EXPECT_EQ((change->*getter)(text.ReleaseAndGetAddressOf()), S_OK);
    return Text(text.Get());
}

} // namespace

std::map<std::wstring, Change> Changes(IApplyReport* report) {
    std::map<std::wstring, Change> changes;
    if (!report) {
        ADD_FAILURE() << "no report";
        return changes;
    }
    long count = 0;
    EXPECT_EQ(report->get_Count(&count), S_OK);
    for (long i = 0; i < count; ++i) {
        ComPtr<IApplyChange> item;
        EXPECT_EQ(report->Item(i, &item), S_OK);
        if (!item) continue;
        Change c;
        c.adapter = Get(item.Get(), &IApplyChange::get_Adapter);
        c.connection = Get(item.Get(), &IApplyChange::get_NetConnectionID);
        c.setting = Get(item.Get(), &IApplyChange::get_Setting);
        c.before = Get(item.Get(), &IApplyChange::get_Before);
        c.planned = Get(item.Get(), &IApplyChange::get_Planned);
        c.after = Get(item.Get(), &IApplyChange::get_After);
        c.method = Get(item.Get(), &IApplyChange::get_WmiMethod);
        c.message = Get(item.Get(), &IApplyChange::get_Message);
        EXPECT_EQ(item->get_Status(&c.status), S_OK);
        EXPECT_EQ(item->get_WmiReturnValue(&c.returnValue), S_OK);
        const std::wstring owner = c.connection.empty() ? c.adapter : c.connection;
        const std::wstring key = owner.empty() ? c.setting : owner + L"." + c.setting;
        EXPECT_EQ(changes.count(key), 0u) << Narrow(key) << " twice";
        changes[key] = c;
    }
    return changes;
}

std::wstring ReportText(IApplyReport* report) {
    Varquel::CBstr text;
    EXPECT_EQ(report->get_Text(text.ReleaseAndGetAddressOf()), S_OK);
    return Text(text.Get());
}

bool Flag(IApplyReport* report, HRESULT (STDMETHODCALLTYPE IApplyReport::*getter)(VARIANT_BOOL*)) {
    VARIANT_BOOL value = 7;
    EXPECT_EQ((report->*getter)(&value), S_OK);
    return value == VARIANT_TRUE;
}

} // namespace ProfilesTest
