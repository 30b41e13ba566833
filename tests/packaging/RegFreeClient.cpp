// RegFreeClient: a client that carries Varquel.dll beside itself and names its
// assembly in its own manifest (resource 1), so that it needs no registration.
//
//   RegFreeClient {CLSID}=ProgID=VersionIndependentProgID ...
//
// For every class given (the server's registration lists them): both ProgIDs
// lead to the class, the class is created, and the first property of its
// default interface is read through IDispatch in this single-threaded
// apartment; then, for every class, through a proxy from the multithreaded
// one. The classes given must be exactly the type library's creatable ones.
// Exit status: 0 all done, 1 wrong usage, 2 something failed (printed).
#include <windows.h>
#include <ocidl.h>
#include <oleauto.h>
#include <wrl/client.h>
#include <cstdio>
#include <set>
#include <string>
#include <thread>
#include <vector>
#include "com/Bstr.h"
#include "com/Variant.h"

using Microsoft::WRL::ComPtr;

namespace {

struct Class {
    std::wstring clsid, progId, versionIndependentProgId;
};

int g_failures = 0;

void Failed(const std::wstring& what, HRESULT hr) {
    wprintf(L"  FAILED %ls (0x%08lX)\n", what.c_str(), static_cast<unsigned long>(hr));
    ++g_failures;
}

std::wstring GuidText(REFGUID guid) {
    wchar_t text[39] = {};
    StringFromGUID2(guid, text, 39);
    return text;
}

// The first property of the object's IDispatch type information that takes
// no argument: its name and DISPID.
bool FirstProperty(IDispatch* object, std::wstring& name, DISPID& id) {
    ComPtr<ITypeInfo> info;
    if (FAILED(object->GetTypeInfo(0, 0, &info))) return false;
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr))) return false;
    const WORD functions = attr->cFuncs;
    info->ReleaseTypeAttr(attr);
    for (WORD i = 0; i < functions; ++i) {
        FUNCDESC* desc = nullptr;
        if (FAILED(info->GetFuncDesc(i, &desc))) continue;
        const bool found = desc->invkind == INVOKE_PROPERTYGET && desc->cParams == 0;
        id = desc->memid;
        info->ReleaseFuncDesc(desc);
        if (!found) continue;
        Varquel::CBstr text;
        info->GetDocumentation(id, text.ReleaseAndGetAddressOf(), nullptr, nullptr, nullptr);
        name.assign(text.Get(), SysStringLen(text.Get()));
        return true;
    }
    return false;
}

// Reads the property and says what came back.
HRESULT Read(IDispatch* object, DISPID id, std::wstring& text) {
    DISPPARAMS none{};
    Varquel::CVariant result;
    HRESULT hr = object->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, result.Get(), nullptr, nullptr);
    if (FAILED(hr)) return hr;
    if (result.Get()->vt == VT_DISPATCH) {
        text = result.Get()->pdispVal ? L"an object" : L"no object";
        return S_OK;
    }
    Varquel::CVariant copy;
    hr = VariantChangeType(copy.Get(), result.Get(), 0, VT_BSTR);
    if (FAILED(hr)) return hr;
    text = L"\"" + std::wstring(copy.Get()->bstrVal, SysStringLen(copy.Get()->bstrVal)) + L"\"";
    return S_OK;
}

// The CLSID of the object's class, from its class information.
CLSID ClassOf(IDispatch* object) {
    ComPtr<IProvideClassInfo> provider;
    ComPtr<ITypeInfo> coclass;
    TYPEATTR* attr = nullptr;
    if (!object || FAILED(object->QueryInterface(IID_PPV_ARGS(&provider))) || FAILED(provider->GetClassInfo(&coclass)) ||
        FAILED(coclass->GetTypeAttr(&attr)))
        return GUID_NULL;
    const CLSID clsid = attr->guid;
    coclass->ReleaseTypeAttr(attr);
    return clsid;
}

// The IID of the coclass's default interface.
bool DefaultInterface(IDispatch* object, IID& iid) {
    ComPtr<IProvideClassInfo> provider;
    ComPtr<ITypeInfo> coclass;
    if (FAILED(object->QueryInterface(IID_PPV_ARGS(&provider))) || FAILED(provider->GetClassInfo(&coclass)))
        return false;
    TYPEATTR* attr = nullptr;
    coclass->GetTypeAttr(&attr);
    bool found = false;
    for (UINT i = 0; i < attr->cImplTypes && !found; ++i) {
        INT flags = 0;
        coclass->GetImplTypeFlags(i, &flags);
        if ((flags & (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE)) != IMPLTYPEFLAG_FDEFAULT) continue;
        HREFTYPE ref = 0;
        ComPtr<ITypeInfo> implemented;
        TYPEATTR* implAttr = nullptr;
        if (SUCCEEDED(coclass->GetRefTypeOfImplType(i, &ref)) && SUCCEEDED(coclass->GetRefTypeInfo(ref, &implemented)) &&
            SUCCEEDED(implemented->GetTypeAttr(&implAttr))) {
            iid = implAttr->guid;
            implemented->ReleaseTypeAttr(implAttr);
            found = true;
        }
    }
    coclass->ReleaseTypeAttr(attr);
    return found;
}

// The type library's creatable classes, as their CLSIDs' text.
std::set<std::wstring> CreatableClasses(IDispatch* object) {
    std::set<std::wstring> classes;
    ComPtr<ITypeInfo> info;
    ComPtr<ITypeLib> library;
    UINT index = 0;
    if (FAILED(object->GetTypeInfo(0, 0, &info)) || FAILED(info->GetContainingTypeLib(&library, &index)))
        return classes;
    for (UINT i = 0, count = library->GetTypeInfoCount(); i < count; ++i) {
        ComPtr<ITypeInfo> type;
        TYPEATTR* attr = nullptr;
        if (FAILED(library->GetTypeInfo(i, &type)) || FAILED(type->GetTypeAttr(&attr))) continue;
        if (attr->typekind == TKIND_COCLASS && (attr->wTypeFlags & TYPEFLAG_FCANCREATE))
            classes.insert(GuidText(attr->guid));
        type->ReleaseTypeAttr(attr);
    }
    return classes;
}

// The object's default interface handed to a thread of the multithreaded
// apartment, which reads the property through the proxy.
void ReadFromAnotherApartment(const Class& c, IDispatch* object, REFIID iid, DISPID id) {
    ComPtr<IUnknown> dual;
    HRESULT hr = object->QueryInterface(iid, reinterpret_cast<void**>(dual.GetAddressOf()));
    if (FAILED(hr)) return Failed(c.progId + L": its default interface", hr);
    IStream* stream = nullptr;  // released by CoGetInterfaceAndReleaseStream
    hr = CoMarshalInterThreadInterfaceInStream(iid, dual.Get(), &stream);
    if (FAILED(hr)) return Failed(c.progId + L": marshaling its default interface", hr);
    HRESULT result = E_FAIL;
    std::wstring text;
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread reader([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        {
            ComPtr<IDispatch> proxy;
            result = CoGetInterfaceAndReleaseStream(stream, iid, reinterpret_cast<void**>(proxy.GetAddressOf()));
            if (SUCCEEDED(result)) result = Read(proxy.Get(), id, text);
        }
        CoUninitialize();
        SetEvent(done);
    });
    // The call comes back to this apartment: wait pumping its messages.
    DWORD index = 0;
    HRESULT waited = CoWaitForMultipleHandles(0, 60000, 1, &done, &index);
    CloseHandle(done);
    if (FAILED(waited)) {
        Failed(c.progId + L": the call from the multithreaded apartment did not return", waited);
        fflush(stdout);
        ExitProcess(2);
    }
    reader.join();
    if (FAILED(result)) return Failed(c.progId + L": from the multithreaded apartment", result);
    wprintf(L"  from the multithreaded apartment: %ls\n", text.c_str());
}

struct Created {
    const Class* c;
    ComPtr<IDispatch> object;
    IID iid;
    DISPID id;
};

// Creates the class and reads its first property; what a second apartment
// needs is kept in `created`.
void Exercise(const Class& c, std::set<std::wstring>& libraryClasses, std::vector<Created>& created) {
    wprintf(L"%ls\n", c.progId.c_str());
    CLSID clsid{};
    if (FAILED(CLSIDFromString(c.clsid.c_str(), &clsid))) return Failed(L"reading " + c.clsid, E_INVALIDARG);
    // A ProgID leads to the class when what it resolves to creates an object
    // of the class (Wine resolves a manifest's ProgID to a CLSID of its own
    // making that the activation context maps to the class).
    for (const std::wstring& progId : {c.progId, c.versionIndependentProgId}) {
        CLSID found{};
        HRESULT hr = CLSIDFromProgID(progId.c_str(), &found);
        ComPtr<IDispatch> made;
        if (SUCCEEDED(hr)) hr = CoCreateInstance(found, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&made));
        if (FAILED(hr) || !IsEqualCLSID(ClassOf(made.Get()), clsid)) {
            Failed(L"creating by " + progId, hr);
            continue;
        }
        wprintf(L"  %ls leads to the class (through %ls)\n", progId.c_str(), GuidText(found).c_str());
    }
    ComPtr<IDispatch> object;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object));
    if (FAILED(hr)) return Failed(L"CoCreateInstance", hr);
    if (libraryClasses.empty()) libraryClasses = CreatableClasses(object.Get());
    std::wstring name, text;
    DISPID id = 0;
    if (!FirstProperty(object.Get(), name, id)) return Failed(L"finding a property", E_FAIL);
    hr = Read(object.Get(), id, text);
    if (FAILED(hr)) return Failed(name, hr);
    wprintf(L"  created; %ls = %ls\n", name.c_str(), text.c_str());
    IID iid{};
    if (!DefaultInterface(object.Get(), iid)) return Failed(L"its class information", E_FAIL);
    created.push_back({&c, object, iid, id});
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<Class> classes;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        size_t first = arg.find(L'='), second = arg.find(L'=', first + 1);
        if (first == arg.npos || second == arg.npos) {
            fwprintf(stderr, L"usage: RegFreeClient {CLSID}=ProgID=VersionIndependentProgID ...\n");
            return 1;
        }
        classes.push_back({arg.substr(0, first), arg.substr(first + 1, second - first - 1), arg.substr(second + 1)});
    }
    if (classes.empty()) return 1;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
    {
        std::set<std::wstring> libraryClasses;
        std::set<std::wstring> given;
        std::vector<Created> created;
        for (const Class& c : classes) {
            Exercise(c, libraryClasses, created);
            CLSID clsid{};
            CLSIDFromString(c.clsid.c_str(), &clsid);
            given.insert(GuidText(clsid));
        }
        if (libraryClasses != given) Failed(L"the type library's creatable classes are not the ones given", E_FAIL);
        // Only then across apartments: marshaling makes the platform load the
        // type library, and Wine registers it then.
        for (const Created& made : created) {
            wprintf(L"%ls\n", made.c->progId.c_str());
            ReadFromAnotherApartment(*made.c, made.object.Get(), made.iid, made.id);
        }
    }
    CoUninitialize();
    wprintf(L"%d failure(s)\n", g_failures);
    return g_failures ? 2 : 0;
}
