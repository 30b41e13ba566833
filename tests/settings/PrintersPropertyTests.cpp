#include "SettingsTest.h"
#include "settings/PrintersProperty.h"

namespace SettingsTests {
namespace {

using Varquel::CPrintersProperty;
using Varquel::ImplOf;

// Printer 1 is the network printer and the machine's default.
const std::string kThreePrinters = R"({"Win32_Printer": [
    {"DeviceID": "Office Laser", "Default": false},
    {"DeviceID": "\\\\print-srv\\floor2", "Default": true},
    {"DeviceID": "PDF Writer", "Default": false}]})";
const wchar_t kNetworkPrinter[] = LR"(\\print-srv\floor2)";

const Journal kDetectThree = {
    "connect ROOT\\CIMV2",
    "query SELECT * FROM Win32_Printer",
    "read Win32_Printer[0].DeviceID",
    "read Win32_Printer[1].DeviceID",
    "read Win32_Printer[2].DeviceID",
};

class PrintersPropertyTest : public SettingsTest {
protected:
    ComPtr<IPrintersProperty> NewPrinters() {
        ComPtr<IPrintersProperty> printers = VarquelTest::Create<IPrintersProperty>(CLSID_CPrintersProperty);
        EXPECT_TRUE(printers);
        return printers;
    }
    static long Count(IPrintersProperty* p) { return ReadLong(p, &IPrintersProperty::get_PrintersCount); }
    static long DefaultIndex(IPrintersProperty* p) { return ReadLong(p, &IPrintersProperty::get_Default); }
    static std::optional<std::wstring> DefaultId(IPrintersProperty* p) {
        return Value(Read(p, &IPrintersProperty::GetDefault));
    }
    static std::optional<std::wstring> NameAt(IPrintersProperty* p, long index) {
        EXPECT_EQ(S_OK, p->put_PrinterNumber(index));
        return Value(Read(p, &IPrintersProperty::get_Name));
    }
    static void SetDefault(IPrintersProperty* p, const wchar_t* id) {
        CBstr text(id);
        EXPECT_EQ(S_OK, p->SetDefault(text.Get()));
    }
    // Which printers the machine reports as default.
    std::vector<bool> MachineDefaults() {
        std::vector<bool> defaults;
        for (long id : Machine().Ids("Win32_Printer"))
            defaults.push_back(Machine().Instance("Win32_Printer", id)["Default"] == true);
        return defaults;
    }
};

// ---- State without WMI ----

TEST_F(PrintersPropertyTest, NewObjectKnowsNoPrinterAndNoDefault) {
    ComPtr<IPrintersProperty> printers = NewPrinters();
    EXPECT_EQ(0, Count(printers.Get()));
    EXPECT_EQ(0, ReadLong(printers.Get(), &IPrintersProperty::get_PrinterNumber));
    EXPECT_EQ(-1, DefaultIndex(printers.Get()));
    EXPECT_EQ(kNull, DefaultId(printers.Get()));
    EXPECT_EQ(nullptr, ImplOf<CPrintersProperty>(printers.Get())->DefaultDeviceId());
    // The cursor may point anywhere; outside the list it reads a null name.
    for (long index : {0L, -1L, 5L, 0x7FFFFFFFL}) EXPECT_EQ(kNull, NameAt(printers.Get(), index)) << index;
}

TEST_F(PrintersPropertyTest, NullOutPointers) {
    ComPtr<IPrintersProperty> printers = NewPrinters();
    EXPECT_EQ(E_POINTER, printers->get_PrintersCount(nullptr));
    EXPECT_EQ(E_POINTER, printers->get_PrinterNumber(nullptr));
    EXPECT_EQ(E_POINTER, printers->get_Default(nullptr));
    EXPECT_EQ(S_OK, printers->get_Name(nullptr));
    EXPECT_EQ(S_OK, printers->GetDefault(nullptr));
}

TEST_F(PrintersPropertyTest, SetDefaultBeforeDetectionSetsOnlyTheDeviceId) {
    ComPtr<IPrintersProperty> printers = NewPrinters();
    CBstr withNul(L"Laser\0junk", 10);
    EXPECT_EQ(S_OK, printers->SetDefault(withNul.Get()));
    EXPECT_EQ(Text(L"Laser"), DefaultId(printers.Get()));
    EXPECT_EQ(-1, DefaultIndex(printers.Get()));
    EXPECT_EQ(5u, SysStringLen(ImplOf<CPrintersProperty>(printers.Get())->DefaultDeviceId()));
    EXPECT_EQ(S_OK, printers->SetDefault(nullptr));
    EXPECT_EQ(kNull, DefaultId(printers.Get()));
}

// ---- DetectPrinters ----

TEST_F(PrintersPropertyTest, DetectPrintersListsEveryPrinterInOrder) {
    Install(kThreePrinters);
    ComPtr<IPrintersProperty> printers = NewPrinters();
    EXPECT_EQ(S_OK, printers->DetectPrinters());
    EXPECT_EQ(kDetectThree, MachineJournal());
    EXPECT_EQ(3, Count(printers.Get()));
    EXPECT_EQ(Text(L"Office Laser"), NameAt(printers.Get(), 0));
    EXPECT_EQ(Text(kNetworkPrinter), NameAt(printers.Get(), 1));
    EXPECT_EQ(Text(L"PDF Writer"), NameAt(printers.Get(), 2));
    EXPECT_EQ(kNull, NameAt(printers.Get(), 3));
    EXPECT_EQ(kNull, NameAt(printers.Get(), -1));
    // Detection alone does not look for the machine's default.
    EXPECT_EQ(-1, DefaultIndex(printers.Get()));

    // Detecting again replaces the list.
    EXPECT_EQ(S_OK, printers->DetectPrinters());
    EXPECT_EQ(3, Count(printers.Get()));
    Install(kThreePrinters).FailConnect(WBEM_E_ACCESS_DENIED);
    EXPECT_EQ(S_OK, printers->DetectPrinters());
    EXPECT_EQ(0, Count(printers.Get()));
}

TEST_F(PrintersPropertyTest, PrinterWithoutDeviceIdStillCounts) {
    Install(R"({"Win32_Printer": [
        {"Default": false},
        {"DeviceID": 42, "Default": false},
        {"DeviceID": null, "Default": false},
        {"DeviceID": "Label Printer", "Default": false}]})");
    ComPtr<IPrintersProperty> printers = NewPrinters();
    SetDefault(printers.Get(), L"Label Printer");
    EXPECT_EQ(S_OK, printers->DetectPrinters());
    EXPECT_EQ((Journal{"connect ROOT\\CIMV2", "query SELECT * FROM Win32_Printer", "read Win32_Printer[1].DeviceID",
                       "read Win32_Printer[2].DeviceID", "read Win32_Printer[3].DeviceID"}),
              MachineJournal());
    EXPECT_EQ(4, Count(printers.Get()));
    for (long i = 0; i < 3; ++i) EXPECT_EQ(kNull, NameAt(printers.Get(), i)) << i;
    EXPECT_EQ(Text(L"Label Printer"), NameAt(printers.Get(), 3));
    EXPECT_EQ(3, DefaultIndex(printers.Get()));
}

// A printer without DeviceID must not become the default just because no
// default was chosen: applying would then change the machine's default.
TEST_F(PrintersPropertyTest, NoChosenDefaultNeverPicksAPrinterWithoutDeviceId) {
    Install(R"({"Win32_Printer": [
        {"DeviceID": "Office", "Default": true},
        {"Default": false}]})");
    ComPtr<IPrintersProperty> printers = NewPrinters();
    EXPECT_EQ(S_OK, printers->DetectPrinters());
    EXPECT_EQ(-1, DefaultIndex(printers.Get()));
    SetDefault(printers.Get(), L"");
    EXPECT_EQ(-1, DefaultIndex(printers.Get()));
    Machine().ClearJournal();
    EXPECT_EQ(S_OK, printers->Apply());
    EXPECT_EQ(Journal{}, MachineJournal());
    EXPECT_EQ((std::vector<bool>{true, false}), MachineDefaults());
}

TEST_F(PrintersPropertyTest, EqualDeviceIdsDetectionTakesTheLastSetDefaultTheFirst) {
    Install(R"({"Win32_Printer": [
        {"DeviceID": "A"}, {"DeviceID": "Dup"}, {"DeviceID": "B"}, {"DeviceID": "Dup"}, {"DeviceID": "dup"}]})");
    ComPtr<IPrintersProperty> printers = NewPrinters();
    SetDefault(printers.Get(), L"Dup");
    EXPECT_EQ(-1, DefaultIndex(printers.Get()));
    EXPECT_EQ(S_OK, printers->DetectPrinters());
    EXPECT_EQ(3, DefaultIndex(printers.Get()));  // names match case-sensitively: not 4
    SetDefault(printers.Get(), L"Dup");
    EXPECT_EQ(1, DefaultIndex(printers.Get()));
    EXPECT_EQ(S_OK, printers->DetectPrinters());
    EXPECT_EQ(3, DefaultIndex(printers.Get()));
}

TEST_F(PrintersPropertyTest, AnUnknownDeviceIdKeepsTheIndex) {
    Install(kThreePrinters);
    ComPtr<IPrintersProperty> printers = NewPrinters();
    EXPECT_EQ(S_OK, printers->DetectPrinters());
    EXPECT_EQ(S_OK, printers->put_Default(2));
    SetDefault(printers.Get(), L"Nowhere");
    EXPECT_EQ(2, DefaultIndex(printers.Get()));
    EXPECT_EQ(Text(L"Nowhere"), DefaultId(printers.Get()));
    EXPECT_EQ(S_OK, printers->DetectPrinters());
    EXPECT_EQ(2, DefaultIndex(printers.Get()));
}

TEST_F(PrintersPropertyTest, DefaultPutAcceptsOnlyADetectedPosition) {
    Install(kThreePrinters);
    ComPtr<IPrintersProperty> printers = NewPrinters();
    EXPECT_EQ(S_OK, printers->put_Default(0));  // nothing detected yet
    EXPECT_EQ(-1, DefaultIndex(printers.Get()));
    EXPECT_EQ(S_OK, printers->DetectPrinters());
    EXPECT_EQ(S_OK, printers->put_Default(1));
    EXPECT_EQ(1, DefaultIndex(printers.Get()));
    EXPECT_EQ(Text(kNetworkPrinter), DefaultId(printers.Get()));
    for (long index : {-1L, 3L, -2L}) {
        EXPECT_EQ(S_OK, printers->put_Default(index));
        EXPECT_EQ(1, DefaultIndex(printers.Get())) << index;
        EXPECT_EQ(Text(kNetworkPrinter), DefaultId(printers.Get())) << index;
    }
}

// ---- GetCurrent ----

TEST_F(PrintersPropertyTest, GetCurrentDetectsAndFindsTheMachineDefault) {
    Install(kThreePrinters);
    ComPtr<IPrintersProperty> printers = NewPrinters();
    EXPECT_EQ(S_OK, printers->GetCurrent());
    Journal expected = kDetectThree;
    expected.push_back("read Win32_Printer[0].Default");
    expected.push_back("read Win32_Printer[1].Default");
    EXPECT_EQ(expected, MachineJournal());
    EXPECT_EQ(1, DefaultIndex(printers.Get()));
    EXPECT_EQ(Text(kNetworkPrinter), DefaultId(printers.Get()));

    // Once detected, GetCurrent only looks for the default again.
    Machine().ClearJournal();
    EXPECT_EQ(S_OK, printers->GetCurrent());
    EXPECT_EQ((Journal{"read Win32_Printer[0].Default", "read Win32_Printer[1].Default"}), MachineJournal());
}

TEST_F(PrintersPropertyTest, GetCurrentWithoutAMachineDefaultLeavesAnEmptyDeviceId) {
    Install(R"({"Win32_Printer": [
        {"DeviceID": "A", "Default": false}, {"DeviceID": "B"}, {"DeviceID": "C", "Default": "yes"},
        {"DeviceID": "D", "Default": 1}, {"DeviceID": "E", "Default": null}]})");
    ComPtr<IPrintersProperty> printers = NewPrinters();
    EXPECT_EQ(S_OK, printers->DetectPrinters());
    EXPECT_EQ(S_OK, printers->put_Default(2));
    EXPECT_EQ(S_OK, printers->GetCurrent());
    EXPECT_EQ(-1, DefaultIndex(printers.Get()));
    EXPECT_EQ(Text(L""), DefaultId(printers.Get()));

    // ... and Apply then leaves the machine alone.
    Machine().ClearJournal();
    EXPECT_EQ(S_OK, printers->Apply());
    EXPECT_EQ(Journal{}, MachineJournal());
}

// ---- Apply ----

TEST_F(PrintersPropertyTest, ApplyByPositionCallsSetDefaultPrinterOnThatPrinter) {
    Install(kThreePrinters);
    ComPtr<IPrintersProperty> printers = NewPrinters();
    EXPECT_EQ(S_OK, printers->GetCurrent());
    EXPECT_EQ(S_OK, printers->put_Default(2));
    Machine().ClearJournal();
    EXPECT_EQ(S_OK, printers->Apply());
    EXPECT_EQ(Journal{"exec Win32_Printer[2].SetDefaultPrinter()"}, MachineJournal());
    EXPECT_EQ((std::vector<bool>{false, false, true}), MachineDefaults());
}

TEST_F(PrintersPropertyTest, ApplyByDeviceIdFindsTheNetworkPrinter) {
    Install(R"({"Win32_Printer": [
        {"DeviceID": "Office Laser", "Default": true},
        {"DeviceID": "\\\\print-srv\\floor2", "Default": false}]})");
    ComPtr<IPrintersProperty> printers = NewPrinters();
    SetDefault(printers.Get(), kNetworkPrinter);
    EXPECT_EQ(S_OK, printers->Apply());
    EXPECT_EQ((Journal{"connect ROOT\\CIMV2",
                       R"(query SELECT * FROM Win32_Printer WHERE DeviceID = '\\\\print-srv\\floor2')",
                       "exec Win32_Printer[1].SetDefaultPrinter()"}),
              MachineJournal());
    EXPECT_EQ((std::vector<bool>{false, true}), MachineDefaults());
    // The query alone does not count as detection.
    EXPECT_EQ(0, Count(printers.Get()));
}

TEST_F(PrintersPropertyTest, ApplyByDeviceIdEscapesAQuote) {
    Install(R"({"Win32_Printer": [
        {"DeviceID": "Office Laser", "Default": true},
        {"DeviceID": "Bob's Laser", "Default": false}]})");
    ComPtr<IPrintersProperty> printers = NewPrinters();
    SetDefault(printers.Get(), L"Bob's Laser");
    EXPECT_EQ(S_OK, printers->Apply());
    EXPECT_EQ((Journal{"connect ROOT\\CIMV2", R"(query SELECT * FROM Win32_Printer WHERE DeviceID = 'Bob\'s Laser')",
                       "exec Win32_Printer[1].SetDefaultPrinter()"}),
              MachineJournal());
    EXPECT_EQ((std::vector<bool>{false, true}), MachineDefaults());
}

TEST_F(PrintersPropertyTest, ApplyByAnUnknownDeviceIdChangesNothing) {
    Install(kThreePrinters);
    ComPtr<IPrintersProperty> printers = NewPrinters();
    SetDefault(printers.Get(), L"' OR DeviceID <> '");
    EXPECT_EQ(S_OK, printers->Apply());
    EXPECT_EQ((Journal{"connect ROOT\\CIMV2",
                       R"(query SELECT * FROM Win32_Printer WHERE DeviceID = '\' OR DeviceID <> \'')"}),
              MachineJournal());
    EXPECT_EQ((std::vector<bool>{false, true, false}), MachineDefaults());
}

TEST_F(PrintersPropertyTest, ApplyWithoutADefaultDoesNothing) {
    Install(kThreePrinters);
    ComPtr<IPrintersProperty> printers = NewPrinters();
    EXPECT_EQ(S_OK, printers->Apply());
    SetDefault(printers.Get(), L"");
    EXPECT_EQ(S_OK, printers->Apply());
    EXPECT_EQ(Journal{}, MachineJournal());
}

TEST_F(PrintersPropertyTest, ApplySucceedsWhenTheMachineRefuses) {
    Install(kThreePrinters).FailMethod(L"SetDefaultPrinter", WBEM_E_ACCESS_DENIED);
    ComPtr<IPrintersProperty> printers = NewPrinters();
    EXPECT_EQ(S_OK, printers->DetectPrinters());
    EXPECT_EQ(S_OK, printers->put_Default(0));
    EXPECT_EQ(S_OK, printers->Apply());
    ComPtr<IPrintersProperty> byId = NewPrinters();
    SetDefault(byId.Get(), L"PDF Writer");
    EXPECT_EQ(S_OK, byId->Apply());
    EXPECT_EQ("exec Win32_Printer[2].SetDefaultPrinter()", MachineJournal().back());
    EXPECT_EQ((std::vector<bool>{false, true, false}), MachineDefaults());
}

// ---- The duplicate (profile copies) ----

TEST_F(PrintersPropertyTest, CopyStateTakesTheChoiceAndSharesThePrinterObjects) {
    Install(R"({"Win32_Printer": [
        {"DeviceID": "Office Laser", "Default": false},
        {"Default": false},
        {"DeviceID": "\\\\print-srv\\floor2", "Default": true}]})");
    ComPtr<IPrintersProperty> source = NewPrinters();
    EXPECT_EQ(S_OK, source->GetCurrent());
    EXPECT_EQ(S_OK, source->put_PrinterNumber(1));
    const long objectsBefore = Machine().LiveObjects();

    ComPtr<IPrintersProperty> copy = NewPrinters();
    ImplOf<CPrintersProperty>(copy.Get())->CopyStateFrom(*ImplOf<CPrintersProperty>(source.Get()).Get());
    EXPECT_EQ(objectsBefore, Machine().LiveObjects());
    EXPECT_EQ(3, Count(copy.Get()));
    EXPECT_EQ(1, ReadLong(copy.Get(), &IPrintersProperty::get_PrinterNumber));
    EXPECT_EQ(kNull, Value(Read(copy.Get(), &IPrintersProperty::get_Name)));
    EXPECT_EQ(2, DefaultIndex(copy.Get()));
    EXPECT_EQ(Text(kNetworkPrinter), DefaultId(copy.Get()));
    EXPECT_NE(ImplOf<CPrintersProperty>(source.Get())->DefaultDeviceId(),
              ImplOf<CPrintersProperty>(copy.Get())->DefaultDeviceId());

    // The copy's choice is its own.
    SetDefault(copy.Get(), L"Office Laser");
    EXPECT_EQ(Text(kNetworkPrinter), DefaultId(source.Get()));
    EXPECT_EQ(Text(L"Office Laser"), NameAt(copy.Get(), 0));

    // Not detected: its Apply detects the machine's printers first.
    EXPECT_EQ(S_OK, copy->put_Default(2));
    Machine().ClearJournal();
    EXPECT_EQ(S_OK, copy->Apply());
    EXPECT_EQ((Journal{"connect ROOT\\CIMV2", "query SELECT * FROM Win32_Printer", "read Win32_Printer[0].DeviceID",
                       "read Win32_Printer[2].DeviceID", "exec Win32_Printer[2].SetDefaultPrinter()"}),
              MachineJournal());
}

TEST_F(PrintersPropertyTest, CopyWhoseDetectionFindsFewerPrintersSetsNone) {
    Install(kThreePrinters);
    ComPtr<IPrintersProperty> source = NewPrinters();
    EXPECT_EQ(S_OK, source->DetectPrinters());
    EXPECT_EQ(S_OK, source->put_Default(2));
    ComPtr<IPrintersProperty> copy = NewPrinters();
    ImplOf<CPrintersProperty>(copy.Get())->CopyStateFrom(*ImplOf<CPrintersProperty>(source.Get()).Get());
    source.Reset();

    Install(R"({"Win32_Printer": [{"DeviceID": "Only One", "Default": true}]})");
    EXPECT_EQ(S_OK, copy->Apply());
    EXPECT_EQ((Journal{"connect ROOT\\CIMV2", "query SELECT * FROM Win32_Printer", "read Win32_Printer[0].DeviceID"}),
              MachineJournal());
    EXPECT_EQ(1, Count(copy.Get()));
}

// Every WMI call that can fail, failing in turn: the result stays S_OK and
// nothing is leaked.
TEST_F(PrintersPropertyTest, EveryWmiFailureIsAbsorbed) {
    auto capture = [](IPrintersProperty* p) { return p->GetCurrent(); };
    auto applyByPosition = [](IPrintersProperty* p) {
        p->DetectPrinters();
        p->put_Default(1);
        return p->Apply();
    };
    auto applyById = [](IPrintersProperty* p) {
        CBstr id(kNetworkPrinter);
        p->SetDefault(id.Get());
        return p->Apply();
    };
    for (HRESULT (*operation)(IPrintersProperty*) : {+capture, +applyByPosition, +applyById}) {
        Install(kThreePrinters);
        EXPECT_EQ(S_OK, operation(NewPrinters().Get()));
        const long calls = Machine().CallCount();
        ASSERT_GT(calls, 3);
        for (long n = 1; n <= calls; ++n) {
            Install(kThreePrinters).FailAtCall(n);
            EXPECT_EQ(S_OK, operation(NewPrinters().Get())) << "call " << n;
            EXPECT_EQ(0, Machine().LiveObjects()) << "call " << n;
        }
    }
}

} // namespace
} // namespace SettingsTests
