// The type library as a client tool uses it: the platform's dispatch built
// from each dual interface's description (CreateStdDispatch) answers every
// well-formed call as the server's own IDispatch does. Malformed calls are
// left out on purpose: there the server's dispatch differs by design.
#include <gtest/gtest.h>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>
#include "Varquel_h.h"
#include "tests/dispatch/DispatchTestSupport.h"

namespace {

using namespace DispatchTest;
using VarquelTest::Narrow;

// One call of a member named as a client names it; its arguments are built
// afresh for each of the two objects.
struct Call {
    std::string what;
    std::wstring member;
    WORD flags;
    std::function<void(CArgs&)> args = [](CArgs&) {};
};

Call Put(const wchar_t* member, std::function<void(CArgs&)> value) {
    return {"put " + Narrow(member), member, DISPATCH_PROPERTYPUT, [value](CArgs& args) {
                value(args);
                args.Named(DISPID_PROPERTYPUT);
            }};
}

// A method call; `note` tells calls of one method apart in a failure.
Call Method(const wchar_t* member, const char* note = "", std::function<void(CArgs&)> args = [](CArgs&) {}) {
    return {Narrow(member) + " " + note, member, DISPATCH_METHOD, std::move(args)};
}

std::string TypeName(ITypeInfo* info) {
    Varquel::CBstr name;
    info->GetDocumentation(MEMBERID_NIL, name.ReleaseAndGetAddressOf(), nullptr, nullptr, nullptr);
    return Narrow(name.Get());
}

// "hr, type, value" of one answer. A member's failure reaches a client of the
// platform's dispatch as DISP_E_EXCEPTION with the member's HRESULT as scode:
// that HRESULT is the answer. Objects are told apart by their interface.
std::string Answer(IDispatch* target, DISPID id, const Call& call) {
    CArgs args;
    call.args(args);
    Varquel::CVariant result;
    EXCEPINFO exception{};
    UINT argErr = kArgErrUnset;
    HRESULT hr = target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, call.flags, args.Params(), result.Get(),
                                &exception, &argErr);
    Varquel::CBstr source, description, helpFile;
    source.Reset(exception.bstrSource);
    description.Reset(exception.bstrDescription);
    helpFile.Reset(exception.bstrHelpFile);
    if (hr == DISP_E_EXCEPTION) hr = exception.scode;
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
    const VARIANT& v = *result.Get();
    std::string value;
    switch (V_VT(&v)) {
    case VT_EMPTY: break;
    case VT_I4: value = std::to_string(V_I4(&v)); break;
    case VT_BOOL: value = V_BOOL(&v) == VARIANT_TRUE ? "true" : V_BOOL(&v) == VARIANT_FALSE ? "false" : "?"; break;
    // The platform's dispatch here copies a null text into an empty one.
    case VT_BSTR: value = "\"" + Narrow(V_BSTR(&v) ? V_BSTR(&v) : L"") + "\""; break;
    case VT_DISPATCH: {
        ComPtr<ITypeInfo> info;
        if (!V_DISPATCH(&v)) value = "null object";
        else if (SUCCEEDED(V_DISPATCH(&v)->GetTypeInfo(0, 0, &info))) value = "object " + TypeName(info.Get());
        else value = "object without type information";
        break;
    }
    default: value = "?";
    }
    return std::string(code) + " vt " + std::to_string(V_VT(&v)) + " " + value;
}

// The interface (vtable) description of a dual interface in the DLL's library.
ComPtr<ITypeInfo> InterfaceDescription(REFIID iid) {
    ComPtr<ITypeLib> library;
    ComPtr<ITypeInfo> dispatchView, interfaceView;
    HREFTYPE ref = 0;
    if (FAILED(LoadTypeLibEx(VARQUEL_DLL_PATH, REGKIND_NONE, &library)) ||
        FAILED(library->GetTypeInfoOfGuid(iid, &dispatchView)) ||
        FAILED(dispatchView->GetRefTypeOfImplType(-1, &ref)) || FAILED(dispatchView->GetRefTypeInfo(ref, &interfaceView)))
        return nullptr;
    return interfaceView;
}

// Every getter the description lists (all take no argument).
std::vector<Call> Getters(ITypeInfo* description) {
    std::vector<Call> calls;
    TYPEATTR* attr = nullptr;
    description->GetTypeAttr(&attr);
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        FUNCDESC* func = nullptr;
        description->GetFuncDesc(i, &func);
        if (func->invkind == INVOKE_PROPERTYGET) {
            Varquel::CBstr name;
            UINT count = 0;
            description->GetNames(func->memid, name.ReleaseAndGetAddressOf(), 1, &count);
            calls.push_back({"get " + Narrow(name.Get()), name.Get(), DISPATCH_PROPERTYGET});
        }
        description->ReleaseFuncDesc(func);
    }
    description->ReleaseTypeAttr(attr);
    return calls;
}

// Calls with arguments that need no machine, in an order that changes state.
std::map<std::string, std::vector<Call>> Scripts(IDispatch* profile, IDispatch* otherProfile) {
    auto text = [](const wchar_t* value) { return [value](CArgs& a) { a.Bstr(value); }; };
    auto number = [](LONG value) { return [value](CArgs& a) { a.I4(value); }; };
    auto flag = [](VARIANT_BOOL value) { return [value](CArgs& a) { a.Bool(value); }; };
    auto object = [](IDispatch* value) { return [value](CArgs& a) { a.Dispatch(value); }; };
    return {
        {"IAddressList",
         {Method(L"Add", "1", text(L"10.0.0.1")), Method(L"Add", "2", text(L"10.0.0.2")),
          Method(L"GetAt", "1", number(1)), Method(L"GetAt", "5", number(5)), Method(L"RemoveAt", "0", number(0)),
          Method(L"GetAt", "0", number(0)), Method(L"RemoveAt", "9", number(9))}},
        {"INetAdapterProperty", {Put(L"IsDHCP", flag(VARIANT_TRUE))}},
        {"INetAdaptersList",
         {Method(L"NetAdapterPropertyGetAt", "0", number(0)), Method(L"NetAdapterPropertyGetAt", "-1", number(-1))}},
        {"IPrintersProperty",
         {Put(L"PrinterNumber", number(3)), Put(L"Default", number(0)),
          Method(L"SetDefault", "", text(L"\\\\server\\Printer 1")), Method(L"GetDefault")}},
        {"IProxyProperty",
         {Put(L"HTTPServer", text(L"proxy.example")), Put(L"HTTPPort", text(L"8080")), Put(L"SocksServer", text(L"")),
          Put(L"IsUseOneProxy", flag(VARIANT_TRUE))}},
        {"INetShareList",
         {Method(L"Add", "", [](CArgs& a) { a.Bstr(L"\\\\server\\docs").Bstr(L"Docs"); }),
          Method(L"NameGetAt", "0", number(0)), Method(L"PathGetAt", "0", number(0)),
          Method(L"NameGetAt", "2", number(2)), Method(L"RemoveAt", "0", number(0))}},
        {"INetProfile", {Put(L"Name", text(L"Office")), Method(L"GetDuplicate")}},
        {"INetProfilesList",
         {Method(L"Add", "", object(profile)), Method(L"NetProfileGetAt", "0", number(0)),
          Method(L"NetProfileGetAt", "4", number(4)),
          Method(L"NetProfileSetAt", "0", [otherProfile](CArgs& a) { a.Dispatch(otherProfile).I4(0); }),
          Method(L"NetProfileSetAt", "2", [otherProfile](CArgs& a) { a.Dispatch(otherProfile).I4(2); }),
          Method(L"NetProfileRemoveAt", "0", number(0)), Method(L"NetProfileRemoveAt", "0 again", number(0))}},
        {"IProfileSwitch2",
         {Put(L"RollbackOnFailure", flag(VARIANT_FALSE)), Put(L"VerifyTimeout", number(0)),
          Put(L"IncludeProxy", flag(VARIANT_TRUE)), Method(L"Preview", "", object(profile))}},
        {"IUserProxy",
         {Put(L"AutoDetect", flag(VARIANT_TRUE)), Put(L"AutoConfigEnabled", number(1)),
          Put(L"AutoConfigURL", text(L"http://wpad/proxy.pac")), Put(L"ProxyEnabled", flag(2)),
          Put(L"ProxyServer", text(L"proxy.example:8080")), Put(L"ProxyBypass", text(L"<local>"))}},
    };
}

TEST(LibraryDispatch, ThePlatformsDispatchFromTheLibraryAnswersWellFormedCallsAsTheServerDoes) {
    ComPtr<IDispatch> profile = CreateDispatch(InterfaceNamed("INetProfile"));
    ComPtr<IDispatch> otherProfile = CreateDispatch(InterfaceNamed("INetProfile"));
    ASSERT_TRUE(profile);
    ASSERT_TRUE(otherProfile);
    const auto scripts = Scripts(profile.Get(), otherProfile.Get());
    for (const InterfaceCase& c : AllInterfaces()) {
        SCOPED_TRACE(c.name);
        ComPtr<ITypeInfo> description = InterfaceDescription(*c.iid);
        ASSERT_TRUE(description);
        // Two fresh objects, one driven through its own IDispatch, the other
        // through the platform's dispatch over its vtable.
        ComPtr<IDispatch> own = CreateDispatch(c);
        ComPtr<IUnknown> vtable;
        ASSERT_TRUE(own);
        ASSERT_EQ(
            CoCreateInstance(*c.clsid, nullptr, CLSCTX_ALL, *c.iid, reinterpret_cast<void**>(vtable.GetAddressOf())),
            S_OK);
        ComPtr<IUnknown> standard;
        ASSERT_EQ(CreateStdDispatch(nullptr, vtable.Get(), description.Get(), &standard), S_OK);
        ComPtr<IDispatch> library;
        ASSERT_EQ(standard.As(&library), S_OK);

        std::vector<Call> calls = Getters(description.Get());
        ASSERT_FALSE(calls.empty());
        const std::vector<Call> getters = calls;
        const auto script = scripts.find(c.name);
        ASSERT_NE(script, scripts.end());
        calls.insert(calls.end(), script->second.begin(), script->second.end());
        calls.insert(calls.end(), getters.begin(), getters.end());  // the state the calls left
        for (const Call& call : calls) {
            // The member's DISPID as the library gives it to a client.
            LPOLESTR name = const_cast<LPOLESTR>(call.member.c_str());
            MEMBERID id = MEMBERID_NIL;
            ASSERT_EQ(description->GetIDsOfNames(&name, 1, &id), S_OK) << call.what;
            const std::string ownAnswer = Answer(own.Get(), id, call);
            EXPECT_EQ(Answer(library.Get(), id, call), ownAnswer) << call.what;
            // A dispatch-level refusal would mean the call was not well formed.
            EXPECT_NE(ownAnswer.substr(0, 6), "0x8002") << call.what << ": " << ownAnswer;
        }
    }
}

} // namespace
