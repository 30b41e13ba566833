#include <algorithm>
#include "SettingsTest.h"

namespace SettingsTests {
namespace {

// C$ and IPC$ are the machine's own (Type with bit 0x80000000), Laser is a
// printer share (Type 1), docs has a description.
const std::string kShares = R"({"Win32_Share": [
    {"Name": "C$", "Path": "C:\\", "Type": -2147483648, "Description": "Default share"},
    {"Name": "IPC$", "Path": null, "Type": -2147483645, "_undeletable": true},
    {"Name": "docs", "Path": "C:\\docs", "Type": 0, "Description": "Team documents"},
    {"Name": "Laser", "Path": "LPT1:", "Type": 1}]})";

const Journal kQueryShares = {"connect ROOT\\CIMV2", "query SELECT * FROM Win32_Share"};
// Each share's name and type are read; a share that is not the machine's own
// has its path read too when Apply compares it with the list.
Journal Walk(bool paths, std::initializer_list<int> deleted) {
    Journal lines = kQueryShares;
    for (int id = 0; id < 4; ++id) {
        const std::string share = "Win32_Share[" + std::to_string(id) + "]";
        lines.push_back("read " + share + ".Name");
        lines.push_back("read " + share + ".Type");
        if (paths && id >= 2) lines.push_back("read " + share + ".Path");
        if (std::find(deleted.begin(), deleted.end(), id) != deleted.end()) lines.push_back("exec " + share + ".Delete()");
    }
    return lines;
}

Journal Concat(std::initializer_list<Journal> parts) {
    Journal all;
    for (const Journal& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

using Entry = std::pair<std::optional<std::wstring>, std::optional<std::wstring>>;
using Entries = std::vector<Entry>;

class NetShareListTest : public SettingsTest {
protected:
    ComPtr<INetShareList> NewList() {
        ComPtr<INetShareList> list = VarquelTest::Create<INetShareList>(CLSID_CNetShareList);
        EXPECT_TRUE(list);
        return list;
    }
    static void Add(INetShareList* list, const wchar_t* name, const wchar_t* path) {
        CBstr n(name), p(path);
        EXPECT_EQ(S_OK, list->Add(n.Get(), p.Get()));
    }
    static Entries EntriesOf(INetShareList* list) {
        Entries entries;
        long count = ReadLong(list, &INetShareList::get_Count);
        for (long i = 0; i < count; ++i) {
            CBstr name, path;
            EXPECT_EQ(S_OK, list->NameGetAt(i, name.ReleaseAndGetAddressOf()));
            EXPECT_EQ(S_OK, list->PathGetAt(i, path.ReleaseAndGetAddressOf()));
            entries.emplace_back(Value(name), Value(path));
        }
        return entries;
    }
    // The machine's shares as "name path type".
    std::vector<std::string> MachineShares() {
        std::vector<std::string> shares;
        for (long id : Machine().Ids("Win32_Share")) {
            auto share = Machine().Instance("Win32_Share", id);
            shares.push_back(share["Name"].dump() + " " + share["Path"].dump() + " " + share["Type"].dump());
        }
        return shares;
    }
};

const Entries kCapturedShares = {
    {Text(L"C$"), Text(L"C:\\")}, {Text(L"IPC$"), kNull}, {Text(L"docs"), Text(L"C:\\docs")},
    {Text(L"Laser"), Text(L"LPT1:")}};

// ---- The list itself ----

TEST_F(NetShareListTest, NewListIsEmptyAndEveryIndexOutsideTheListReadsNull) {
    ComPtr<INetShareList> list = NewList();
    EXPECT_EQ(0, ReadLong(list.Get(), &INetShareList::get_Count));
    EXPECT_EQ(E_INVALIDARG, list->RemoveAt(0));
    Add(list.Get(), L"a", L"A:\\");
    for (long index : {1L, -1L, 2L, 0x7FFFFFFFL}) {
        BSTR name = reinterpret_cast<BSTR>(0x10), path = reinterpret_cast<BSTR>(0x10);  // must be overwritten
        EXPECT_EQ(S_OK, list->NameGetAt(index, &name));
        EXPECT_EQ(S_OK, list->PathGetAt(index, &path));
        EXPECT_EQ(nullptr, name) << index;
        EXPECT_EQ(nullptr, path) << index;
    }
}

TEST_F(NetShareListTest, NullOutPointers) {
    ComPtr<INetShareList> list = NewList();
    Add(list.Get(), L"a", L"b");
    EXPECT_EQ(E_POINTER, list->get_Count(nullptr));
    EXPECT_EQ(S_OK, list->NameGetAt(0, nullptr));
    EXPECT_EQ(S_OK, list->PathGetAt(0, nullptr));
}

TEST_F(NetShareListTest, AddTakesTextsUpToTheirFirstNulAndKeepsNulls) {
    ComPtr<INetShareList> list = NewList();
    CBstr name(L"share\0x", 7), path(L"C:\\s\0y", 6);
    EXPECT_EQ(S_OK, list->Add(name.Get(), path.Get()));
    EXPECT_EQ(S_OK, list->Add(nullptr, nullptr));
    Add(list.Get(), L"", L"D:\\");
    Add(list.Get(), L"share", L"C:\\s");  // no duplicate check
    EXPECT_EQ((Entries{{Text(L"share"), Text(L"C:\\s")}, {kNull, kNull}, {Text(L""), Text(L"D:\\")},
                       {Text(L"share"), Text(L"C:\\s")}}),
              EntriesOf(list.Get()));
}

TEST_F(NetShareListTest, RemoveAtShiftsAndRefusesAnIndexOutsideTheList) {
    ComPtr<INetShareList> list = NewList();
    Add(list.Get(), L"a", L"A:\\");
    Add(list.Get(), L"b", L"B:\\");
    Add(list.Get(), L"c", L"C:\\");
    EXPECT_EQ(S_OK, list->RemoveAt(1));
    const Entries rest = {{Text(L"a"), Text(L"A:\\")}, {Text(L"c"), Text(L"C:\\")}};
    EXPECT_EQ(rest, EntriesOf(list.Get()));
    for (long index : {-1L, 2L, 100L, static_cast<long>(0x80000000UL)}) {
        EXPECT_EQ(E_INVALIDARG, list->RemoveAt(index)) << index;
        EXPECT_EQ(rest, EntriesOf(list.Get()));
    }
    EXPECT_EQ(S_OK, list->RemoveAll());
    EXPECT_EQ(Entries{}, EntriesOf(list.Get()));
    EXPECT_EQ(E_INVALIDARG, list->RemoveAt(0));
}

// ---- GetCurrent ----

TEST_F(NetShareListTest, GetCurrentAppendsEveryShareAdministrativeOnesIncluded) {
    Install(kShares);
    ComPtr<INetShareList> list = NewList();
    Add(list.Get(), L"mine", L"E:\\");
    EXPECT_EQ(S_OK, list->GetCurrent());
    Entries expected = {{Text(L"mine"), Text(L"E:\\")}};
    expected.insert(expected.end(), kCapturedShares.begin(), kCapturedShares.end());
    EXPECT_EQ(expected, EntriesOf(list.Get()));
    EXPECT_EQ(Concat({kQueryShares,
                      {"read Win32_Share[0].Name", "read Win32_Share[0].Path", "read Win32_Share[1].Name",
                       "read Win32_Share[1].Path", "read Win32_Share[2].Name", "read Win32_Share[2].Path",
                       "read Win32_Share[3].Name", "read Win32_Share[3].Path"}}),
              MachineJournal());
}

TEST_F(NetShareListTest, GetCurrentTwiceListsEveryShareTwice) {
    Install(kShares);
    ComPtr<INetShareList> list = NewList();
    EXPECT_EQ(S_OK, list->GetCurrent());
    EXPECT_EQ(S_OK, list->GetCurrent());
    Entries twice = kCapturedShares;
    twice.insert(twice.end(), kCapturedShares.begin(), kCapturedShares.end());
    EXPECT_EQ(twice, EntriesOf(list.Get()));
    EXPECT_EQ(S_OK, list->RemoveAll());
    EXPECT_EQ(S_OK, list->GetCurrent());
    EXPECT_EQ(kCapturedShares, EntriesOf(list.Get()));
}

TEST_F(NetShareListTest, GetCurrentKeepsUnreadableTextsAsNull) {
    Install(R"({"Win32_Share": [{"Name": "nopath"}, {"Name": 7, "Path": true}, {"Path": "C:\\x"}]})");
    ComPtr<INetShareList> list = NewList();
    EXPECT_EQ(S_OK, list->GetCurrent());
    EXPECT_EQ((Entries{{Text(L"nopath"), kNull}, {kNull, kNull}, {kNull, Text(L"C:\\x")}}), EntriesOf(list.Get()));

    Install(kShares).FailConnect(WBEM_E_ACCESS_DENIED);
    EXPECT_EQ(S_OK, list->GetCurrent());
    EXPECT_EQ(3, ReadLong(list.Get(), &INetShareList::get_Count));
}

// ---- CloseAll ----

TEST_F(NetShareListTest, CloseAllDeletesAllButTheMachinesOwnSharesAndLeavesTheList) {
    Install(kShares);
    ComPtr<INetShareList> list = NewList();
    Add(list.Get(), L"mine", L"E:\\");
    EXPECT_EQ(S_OK, list->CloseAll());
    EXPECT_EQ(Walk(false, {2, 3}), MachineJournal());
    EXPECT_EQ((std::vector<std::string>{R"("C$" "C:\\" -2147483648)", R"("IPC$" null -2147483645)"}), MachineShares());
    EXPECT_EQ((Entries{{Text(L"mine"), Text(L"E:\\")}}), EntriesOf(list.Get()));

    // Where the type cannot be read, the name tells: ADMIN$, IPC$, a drive letter and "$".
    Install(R"({"Win32_Share": [{"Name": "admin$"}, {"Name": "d$", "Type": null}, {"Name": "ipc$", "Type": "x"},
                                {"Name": "DD$"}, {"Name": "1$"}, {"Name": "e"}]})");
    EXPECT_EQ(S_OK, list->CloseAll());
    EXPECT_EQ((std::vector<std::string>{R"("admin$" null null)", R"("d$" null null)", R"("ipc$" null "x")"}),
              MachineShares());

    // The type tells first: the machine's own share stays whatever its name.
    Install(R"({"Win32_Share": [{"Name": "Hidden", "Path": "C:\\hidden", "Type": -2147483648},
                                {"Name": "e", "Path": "C:\\e", "Type": 0}]})");
    EXPECT_EQ(S_OK, list->CloseAll());
    EXPECT_EQ((std::vector<std::string>{R"("Hidden" "C:\\hidden" -2147483648)"}), MachineShares());
}

// ---- Apply ----

TEST_F(NetShareListTest, ApplyOfAnEmptyListDeletesAllButTheMachinesOwnShares) {
    Install(kShares);
    ComPtr<INetShareList> list = NewList();
    EXPECT_EQ(S_OK, list->Apply());
    // With nothing to create, no class object is fetched.
    EXPECT_EQ(Walk(true, {2, 3}), MachineJournal());
    EXPECT_EQ((std::vector<std::string>{R"("C$" "C:\\" -2147483648)", R"("IPC$" null -2147483645)"}), MachineShares());
}

TEST_F(NetShareListTest, ARoundTripChangesNothing) {
    Install(kShares);
    const auto before = Machine().State();
    ComPtr<INetShareList> list = NewList();
    EXPECT_EQ(S_OK, list->GetCurrent());
    Machine().ClearJournal();
    EXPECT_EQ(S_OK, list->Apply());
    EXPECT_EQ(Walk(true, {}), MachineJournal());
    EXPECT_EQ(before, Machine().State());
    // Names and paths compare without regard to case.
    Install(kShares);
    ComPtr<INetShareList> upper = NewList();
    Add(upper.Get(), L"DOCS", L"c:\\DOCS");
    Add(upper.Get(), L"laser", L"lpt1:");
    EXPECT_EQ(S_OK, upper->Apply());
    EXPECT_EQ(Walk(true, {}), MachineJournal());
    EXPECT_EQ(before, Machine().State());
}

TEST_F(NetShareListTest, ApplyCreatesWhatTheMachineLacksOnTheClassAsDiskShares) {
    Install(kShares);
    ComPtr<INetShareList> list = NewList();
    Add(list.Get(), L"docs", L"D:\\docs");    // another path: deleted and created anew
    Add(list.Get(), L"c$", L"D:\\");          // never created
    Add(list.Get(), L"team's", LR"(\\?\E:\team)");
    EXPECT_EQ(S_OK, list->Apply());
    Journal expected = Walk(true, {2, 3});
    expected.insert(expected.end(),
                    {"connect ROOT\\CIMV2", "get Win32_Share",
                     R"(exec Win32_Share.Create(Item Path=VT_BSTR"D:\docs", Item Name=VT_BSTR"docs", Item Type=VT_I4 0))",
                     R"(exec Win32_Share.Create(Item Path=VT_BSTR"\\?\E:\team", Item Name=VT_BSTR"team's", Item Type=VT_I4 0))"});
    EXPECT_EQ(expected, MachineJournal());
    EXPECT_EQ((std::vector<std::string>{R"("C$" "C:\\" -2147483648)", R"("IPC$" null -2147483645)",
                                        R"("docs" "D:\\docs" 0)", R"("team's" "\\\\?\\E:\\team" 0)"}),
              MachineShares());
    EXPECT_EQ(3, ReadLong(list.Get(), &INetShareList::get_Count));
}

TEST_F(NetShareListTest, ApplySucceedsWhateverTheMachineAnswers) {
    VarquelSim::CMachine& machine = Install(kShares);
    machine.FailMethod(L"Delete", WBEM_E_ACCESS_DENIED);
    machine.MethodReturns(L"Create", 22);
    ComPtr<INetShareList> list = NewList();
    Add(list.Get(), L"new", L"N:\\");
    EXPECT_EQ(S_OK, list->Apply());
    EXPECT_EQ(4u, MachineShares().size());
    EXPECT_EQ(R"(exec Win32_Share.Create(Item Path=VT_BSTR"N:\", Item Name=VT_BSTR"new", Item Type=VT_I4 0))",
              MachineJournal().back());

    Install(kShares).FailConnect(WBEM_E_ACCESS_DENIED);
    EXPECT_EQ(S_OK, list->Apply());
    EXPECT_EQ(S_OK, list->CloseAll());
    EXPECT_EQ(4u, MachineShares().size());
}

// Every WMI call that can fail, failing in turn: the result stays S_OK and
// nothing is leaked.
TEST_F(NetShareListTest, EveryWmiFailureIsAbsorbed) {
    auto capture = [](INetShareList* list) { return list->GetCurrent(); };
    auto apply = [](INetShareList* list) {
        CBstr name(L"n"), path(L"N:\\");
        list->Add(name.Get(), path.Get());
        list->Add(name.Get(), nullptr);
        return list->Apply();
    };
    for (HRESULT (*operation)(INetShareList*) : {+capture, +apply}) {
        Install(kShares);
        EXPECT_EQ(S_OK, operation(NewList().Get()));
        const long calls = Machine().CallCount();
        ASSERT_GT(calls, 3);
        for (long n = 1; n <= calls; ++n) {
            Install(kShares).FailAtCall(n);
            EXPECT_EQ(S_OK, operation(NewList().Get())) << "call " << n;
            EXPECT_EQ(0, Machine().LiveObjects()) << "call " << n;
        }
    }
}

} // namespace
} // namespace SettingsTests
