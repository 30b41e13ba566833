// GetIDsOfNames: the flat name table of each interface, and its lookup.
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>
#include "Varquel_h.h"
#include "tests/dispatch/DispatchTestSupport.h"

namespace {

using namespace DispatchTest;
using VarquelTest::Narrow;
using Names = std::vector<std::pair<std::wstring, DISPID>>;

Names TableNames(const InterfaceCase& c) {
    Names names;
    for (const Varquel::Dispatch::NameEntry& entry : c.table().names) names.emplace_back(entry.name, entry.id);
    return names;
}

std::string Show(const Names& names) {
    std::string text;
    for (const auto& [name, id] : names) text += Narrow(name) + " " + std::to_string(id) + ", ";
    return text;
}

struct Func {
    MEMBERID id;
    INVOKEKIND kind;
    std::vector<std::wstring> names;  // member name, then parameters
};

// The functions of an interface's vtable view, an inherited interface's
// first (as a tool that lists inherited members walks), without IUnknown's
// and IDispatch's.
void CollectFunctions(ITypeInfo* info, std::vector<Func>& funcs) {
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr))) return;
    HREFTYPE baseRef = 0;
    ComPtr<ITypeInfo> base;
    if (attr->cImplTypes > 0 && SUCCEEDED(info->GetRefTypeOfImplType(0, &baseRef)) &&
        SUCCEEDED(info->GetRefTypeInfo(baseRef, &base)))
        CollectFunctions(base.Get(), funcs);
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        FUNCDESC* desc = nullptr;
        if (FAILED(info->GetFuncDesc(i, &desc))) {
            ADD_FAILURE() << "no function description " << i;
            continue;
        }
        if (desc->memid < 0x60000000) {  // not one of IUnknown's or IDispatch's
            BSTR raw[8] = {};
            UINT count = 0;
            info->GetNames(desc->memid, raw, 8, &count);
            Func func{desc->memid, desc->invkind, {}};
            for (UINT n = 0; n < count; ++n) {
                Varquel::CBstr owned;
                owned.Reset(raw[n]);
                func.names.emplace_back(owned.Get(), owned.Length());
            }
            funcs.push_back(std::move(func));
        }
        info->ReleaseFuncDesc(desc);
    }
    info->ReleaseTypeAttr(attr);
}

// The table that the member list of the embedded type library gives: a
// property adds its name, its parameters not yet listed, "get_" and "put_"
// forms; a method its new parameters, then its name. Parameters map to their
// positions; setter parameters are unnamed. Without parameters: the member
// names only.
Names TableFromTypeLibrary(const IID& iid, bool withParameters = true) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    ComPtr<ITypeLib> library;
    EXPECT_EQ(LoadTypeLibEx(path, REGKIND_NONE, &library), S_OK);
    ComPtr<ITypeInfo> dispatchView, info;
    EXPECT_EQ(library->GetTypeInfoOfGuid(iid, &dispatchView), S_OK);
    // The vtable view: it names the [out, retval] parameters too.
    HREFTYPE vtableRef = 0;
    EXPECT_EQ(dispatchView->GetRefTypeOfImplType(-1, &vtableRef), S_OK);
    EXPECT_EQ(dispatchView->GetRefTypeInfo(vtableRef, &info), S_OK);
    if (!info) return {};
    std::vector<Func> funcs;
    CollectFunctions(info.Get(), funcs);

    Names table;
    auto addParams = [&](const Func& f) {
        for (size_t p = 1; withParameters && p < f.names.size(); ++p) {
            bool known = false;
            for (const auto& entry : table) known = known || entry.first == f.names[p];
            if (!known) table.emplace_back(f.names[p], static_cast<DISPID>(p - 1));
        }
    };
    for (size_t i = 0; i < funcs.size(); ++i) {
        const Func& f = funcs[i];
        if (f.kind == INVOKE_PROPERTYGET) {
            table.emplace_back(f.names[0], f.id);
            addParams(f);
            table.emplace_back(L"get_" + f.names[0], f.id);
            if (i + 1 < funcs.size() && funcs[i + 1].id == f.id && funcs[i + 1].kind == INVOKE_PROPERTYPUT) {
                table.emplace_back(L"put_" + f.names[0], f.id);
                ++i;
            }
        } else {
            addParams(f);
            table.emplace_back(f.names[0], f.id);
        }
    }
    return table;
}

bool IsMemberName(const IID& iid, const std::wstring& name) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    ComPtr<ITypeLib> library;
    ComPtr<ITypeInfo> info;
    if (FAILED(LoadTypeLibEx(path, REGKIND_NONE, &library)) || FAILED(library->GetTypeInfoOfGuid(iid, &info)))
        return false;
    MEMBERID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name.c_str())};
    return SUCCEEDED(info->GetIDsOfNames(names, 1, &id)) && id > 0;
}

// The share list and the profile list know their members' names only.
bool ListsMemberNamesOnly(const std::string& name) { return name == "INetShareList" || name == "INetProfilesList"; }

TEST(NameTables, FollowTheMemberListsOfTheTypeLibrary) {
    std::vector<InterfaceCase> all(AllInterfaces().begin(), AllInterfaces().end());
    all.insert(all.end(), ReportInterfaces().begin(), ReportInterfaces().end());
    all.insert(all.end(), BaseInterfaces().begin(), BaseInterfaces().end());
    for (const InterfaceCase& c : all) {
        Names expected = TableFromTypeLibrary(*c.iid, !ListsMemberNamesOnly(c.name));
        Names actual = TableNames(c);
        EXPECT_EQ(actual, expected) << c.name << "\n ours:     " << Show(actual) << "\n expected: " << Show(expected);
    }
}

TEST(NameTables, HaveTheirDocumentedContents) {
    EXPECT_EQ(TableNames(InterfaceNamed("IAddressList")),
              (Names{{L"Count", 1}, {L"pVal", 0}, {L"get_Count", 1}, {L"Value", 0}, {L"Add", 3},
                     {L"nIndex", 0}, {L"pValue", 1}, {L"GetAt", 4}, {L"RemoveAll", 6}, {L"RemoveAt", 7}}));
    // The share list and the profile list know their members' names only.
    EXPECT_EQ(TableNames(InterfaceNamed("INetShareList")),
              (Names{{L"GetCurrent", 1}, {L"Apply", 2}, {L"RemoveAt", 3}, {L"RemoveAll", 4}, {L"Count", 5},
                     {L"get_Count", 5}, {L"NameGetAt", 6}, {L"PathGetAt", 7}, {L"CloseAll", 8}, {L"Add", 9}}));
    EXPECT_EQ(TableNames(InterfaceNamed("INetProfilesList")),
              (Names{{L"Count", 1}, {L"get_Count", 1}, {L"NetProfileGetAt", 2}, {L"Add", 3}, {L"Load", 4},
                     {L"Save", 5}, {L"NetProfileRemoveAt", 6}, {L"NetProfileSetAt", 7}}));

    // The collection's default member and enumerator map to DISPID_VALUE and DISPID_NEWENUM.
    EXPECT_EQ(TableNames(InterfaceNamed("IApplyReport")),
              (Names{{L"Count", 1}, {L"pVal", 0}, {L"get_Count", 1}, {L"Index", 0}, {L"ppChange", 1}, {L"Item", 0},
                     {L"_NewEnum", -4}, {L"ppEnum", 0}, {L"get__NewEnum", -4}, {L"Succeeded", 2},
                     {L"get_Succeeded", 2}, {L"RolledBack", 3}, {L"get_RolledBack", 3}, {L"Before", 4},
                     {L"ppProfile", 0}, {L"get_Before", 4}, {L"Text", 5}, {L"get_Text", 5}}));
    // A derived interface's table: its base's, then its own members.
    Names report2 = TableNames(InterfaceNamed("IApplyReport"));
    report2.insert(report2.end(), {{L"AccessDenied", 6}, {L"get_AccessDenied", 6}, {L"RestartNeeded", 7},
                                   {L"get_RestartNeeded", 7}});
    EXPECT_EQ(TableNames(InterfaceNamed("IApplyReport2")), report2);
    EXPECT_EQ(TableNames(InterfaceNamed("IProfileSwitch")),
              (Names{{L"Profile", 0}, {L"ppReport", 1}, {L"Preview", 1}, {L"Apply", 2}, {L"Report", 0},
                     {L"Rollback", 3}, {L"RollbackOnFailure", 4}, {L"pVal", 0}, {L"get_RollbackOnFailure", 4},
                     {L"put_RollbackOnFailure", 4}, {L"VerifyTimeout", 5}, {L"get_VerifyTimeout", 5},
                     {L"put_VerifyTimeout", 5}}));
    Names switch2 = TableNames(InterfaceNamed("IProfileSwitch"));
    switch2.insert(switch2.end(), {{L"IncludeProxy", 6}, {L"get_IncludeProxy", 6}, {L"put_IncludeProxy", 6},
                                   {L"Proxy", 1}, {L"SetProxy", 7}, {L"ForgetProxy", 8}, {L"ppProxy", 1},
                                   {L"GetProxy", 9}});
    EXPECT_EQ(TableNames(InterfaceNamed("IProfileSwitch2")), switch2);
    EXPECT_EQ(TableNames(InterfaceNamed("IApplyChange")).size(), 21u);

    EXPECT_EQ(TableNames(InterfaceNamed("IProxyProperty")).size(), 36u);
    EXPECT_EQ(TableNames(InterfaceNamed("INetAdapterProperty")).size(), 20u);
    EXPECT_EQ(TableNames(InterfaceNamed("IPrintersProperty")).size(), 17u);
    EXPECT_EQ(TableNames(InterfaceNamed("INetProfile")).size(), 16u);
    EXPECT_EQ(TableNames(InterfaceNamed("IUserProxy")).size(), 21u);

    // The parameter names each table holds, with their positions.
    const std::vector<std::pair<const char*, Names>> parameters = {
        {"IAddressList", {{L"pVal", 0}, {L"Value", 0}, {L"nIndex", 0}, {L"pValue", 1}}},
        {"INetAdapterProperty", {{L"pVal", 0}}},
        {"INetAdaptersList", {{L"pVal", 0}, {L"nIndex", 0}, {L"Param", 1}}},
        {"IPrintersProperty", {{L"pVal", 0}, {L"DeviceID", 0}}},
        {"IProxyProperty", {{L"pVal", 0}}},
        {"INetShareList", {}},
        {"INetProfile", {{L"pVal", 0}, {L"ppVal", 0}}},
        {"INetProfilesList", {}},
        {"IUserProxy", {{L"pVal", 0}}},
    };
    for (const auto& [name, expected] : parameters) {
        const InterfaceCase& c = InterfaceNamed(name);
        Names actual;
        for (const auto& entry : TableNames(c)) {
            if (entry.first.starts_with(L"get_") || entry.first.starts_with(L"put_")) continue;
            if (IsMemberName(*c.iid, entry.first)) continue;
            actual.push_back(entry);
        }
        EXPECT_EQ(actual, expected) << name << ": " << Show(actual);
    }
}

TEST(GetIDsOfNames, EveryTableNameResolvesThroughItsObjectInAnyCase) {
    for (const InterfaceCase& c : AllInterfaces()) {
        ComPtr<IDispatch> object = CreateDispatch(c);
        ASSERT_TRUE(object) << c.name;
        for (const auto& [name, id] : TableNames(c)) {
            std::wstring upper = name, lower = name;
            for (wchar_t& ch : upper) ch = static_cast<wchar_t>(towupper(ch));
            for (wchar_t& ch : lower) ch = static_cast<wchar_t>(towlower(ch));
            for (const std::wstring& spelling : {name, upper, lower}) {
                std::vector<DISPID> ids;
                EXPECT_EQ(IdsOfNames(object.Get(), {spelling}, ids), S_OK) << c.name << " " << Narrow(spelling);
                EXPECT_EQ(ids[0], id) << c.name << " " << Narrow(spelling);
            }
        }
    }
}

TEST(GetIDsOfNames, MatchesAnyMixOfCaseOnTheAddressList) {
    ComPtr<IDispatch> list = CreateDispatch(InterfaceNamed("IAddressList"));
    ASSERT_TRUE(list);
    for (const wchar_t* name : {L"Count", L"count", L"COUNT", L"cOuNt", L"get_Count", L"GET_COUNT", L"Get_cOUNT"})
        EXPECT_EQ(IdOfName(list.Get(), name), 1) << Narrow(std::wstring(name));
    EXPECT_EQ(IdOfName(list.Get(), L"nIndex"), 0);
    EXPECT_EQ(IdOfName(list.Get(), L"NINDEX"), 0);

    std::vector<DISPID> ids;
    EXPECT_EQ(IdsOfNames(list.Get(), {L"GetAt", L"nIndex"}, ids), S_OK);
    EXPECT_EQ(ids, (std::vector<DISPID>{4, 0}));
}

TEST(GetIDsOfNames, UnknownNamesGetDispidUnknownAndTheOthersStillResolve) {
    ComPtr<IDispatch> list = CreateDispatch(InterfaceNamed("IAddressList"));
    ASSERT_TRUE(list);
    std::vector<DISPID> ids;
    EXPECT_EQ(IdsOfNames(list.Get(), {L"Item"}, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], DISPID_UNKNOWN);

    EXPECT_EQ(IdsOfNames(list.Get(), {L"GetAt", L"bogus", L"nIndex"}, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids, (std::vector<DISPID>{4, DISPID_UNKNOWN, 0}));

    // Near misses: a prefix, a longer name, blanks, the empty name, a put_
    // form of a property without setter.
    for (const wchar_t* name : {L"Coun", L"Counts", L" Count", L"Count ", L"", L"put_Count", L"get_GetAt", L"Count\u00e9"})
        EXPECT_EQ(IdOfName(list.Get(), name), DISPID_UNKNOWN) << Narrow(std::wstring(name));
}

TEST(GetIDsOfNames, ParameterNamesAreUnknownToTheShareAndProfileLists) {
    for (auto [name, countId] : {std::pair{"INetShareList", 5}, std::pair{"INetProfilesList", 1}}) {
        ComPtr<IDispatch> object = CreateDispatch(InterfaceNamed(name));
        ASSERT_TRUE(object) << name;
        std::vector<DISPID> ids;
        EXPECT_EQ(IdsOfNames(object.Get(), {L"nIndex"}, ids), DISP_E_UNKNOWNNAME) << name;
        EXPECT_EQ(ids[0], DISPID_UNKNOWN);
        EXPECT_EQ(IdOfName(object.Get(), L"pVal"), DISPID_UNKNOWN) << name;
        EXPECT_EQ(IdOfName(object.Get(), L"Count"), countId) << name;
    }
}

TEST(GetIDsOfNames, TheDispatchInterfaceIsTheDefaultInterface) {
    for (const InterfaceCase& c : AllInterfaces()) {
        ComPtr<IUnknown> object;
        ASSERT_EQ(CoCreateInstance(*c.clsid, nullptr, CLSCTX_ALL, *c.iid, reinterpret_cast<void**>(object.GetAddressOf())),
                  S_OK)
            << c.name;
        ComPtr<IUnknown> viaDispatch;
        ASSERT_EQ(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(viaDispatch.GetAddressOf())), S_OK);
        EXPECT_EQ(viaDispatch.Get(), object.Get()) << c.name;
    }
}

TEST(GetIDsOfNames, NoNamesIsSuccess) {
    ComPtr<IDispatch> list = CreateDispatch(InterfaceNamed("IAddressList"));
    ASSERT_TRUE(list);
    EXPECT_EQ(list->GetIDsOfNames(IID_NULL, nullptr, 0, LOCALE_USER_DEFAULT, nullptr), S_OK);
}

} // namespace
