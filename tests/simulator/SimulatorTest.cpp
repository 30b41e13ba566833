#include "tests/simulator/SimulatorTest.h"

namespace SimulatorTests {

CVariant Str(const wchar_t* text) {
    CVariant value;
    V_BSTR(value.Get()) = text ? CBstr(text).Detach() : nullptr;
    V_VT(value.Get()) = VT_BSTR;
    return value;
}

CVariant Strs(std::initializer_list<const wchar_t*> texts) {
    // Elements are placed directly: SafeArrayPutElement would copy them, and
    // Wine's copy turns a null string into an empty one.
    Varquel::CSafeArray array = Varquel::CSafeArray::Variants(static_cast<ULONG>(texts.size()));
    if (texts.size()) {
        Varquel::CSafeArrayLock lock(array.Get());
        VARIANT* data = lock.Data<VARIANT>();
        for (const wchar_t* text : texts) Str(text).Detach(data++);
    }
    CVariant value;
    V_ARRAY(value.Get()) = array.Detach();
    V_VT(value.Get()) = VT_ARRAY | VT_VARIANT;
    return value;
}

CVariant I4(long value) {
    CVariant v;
    V_VT(v.Get()) = VT_I4;
    V_I4(v.Get()) = value;
    return v;
}

std::string TextOf(const CVariant& value) {
    if (value.Type() != VT_BSTR) return "<not a string>";
    return VarquelTest::Narrow(V_BSTR(value.Get()));
}

std::vector<std::string> TextsOf(const CVariant& value) {
    std::vector<std::string> texts;
    if (value.Type() != (VT_ARRAY | VT_VARIANT)) return {"<not an array>"};
    SAFEARRAY* array = V_ARRAY(value.Get());
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(array, 1, &lower);
    SafeArrayGetUBound(array, 1, &upper);
    for (LONG i = lower; i <= upper; ++i) {
        CVariant element;
        SafeArrayGetElement(array, &i, element.Get());
        texts.push_back(TextOf(element));
    }
    return texts;
}

ComPtr<ISWbemServices> SimulatorTest::Connect() {
    ComPtr<ISWbemLocator> locator;
    EXPECT_EQ(S_OK, CoCreateInstance(CLSID_SWbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_ISWbemLocator,
                                     reinterpret_cast<void**>(locator.GetAddressOf())));
    ComPtr<ISWbemServices> services;
    if (!locator) return services;
    CBstr nameSpace(L"ROOT\\CIMV2");
    EXPECT_EQ(S_OK, locator->ConnectServer(nullptr, nameSpace.Get(), nullptr, nullptr, nullptr, nullptr, 0, nullptr,
                                           services.GetAddressOf()));
    return services;
}

HRESULT SimulatorTest::Query(const wchar_t* wql, ComPtr<ISWbemObjectSet>& set) {
    ComPtr<ISWbemServices> services = Connect();
    if (!services) return E_FAIL;
    CBstr query(wql), language(L"WQL");
    return services->ExecQuery(query.Get(), language.Get(), 0, nullptr, set.ReleaseAndGetAddressOf());
}

std::vector<CVariant> SimulatorTest::Elements(ISWbemObjectSet* set) {
    std::vector<CVariant> elements;
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(S_OK, set->get__NewEnum(unknown.GetAddressOf()));
    ComPtr<IEnumVARIANT> enumerator;
    EXPECT_EQ(S_OK, unknown.As(&enumerator));
    while (true) {
        CVariant element;
        ULONG fetched = 0;
        if (enumerator->Next(1, element.Get(), &fetched) != S_OK) break;
        EXPECT_EQ(1u, fetched);
        elements.push_back(std::move(element));
    }
    return elements;
}

ComPtr<ISWbemObject> SimulatorTest::Object(const wchar_t* wql, size_t index) {
    ComPtr<ISWbemObjectSet> set;
    EXPECT_EQ(S_OK, Query(wql, set));
    ComPtr<ISWbemObject> object;
    if (!set) return object;
    std::vector<CVariant> elements = Elements(set.Get());
    if (index < elements.size() && elements[index].Type() == VT_DISPATCH)
        V_DISPATCH(elements[index].Get())->QueryInterface(IID_ISWbemObject, reinterpret_cast<void**>(object.GetAddressOf()));
    return object;
}

ComPtr<ISWbemObject> SimulatorTest::Configuration(size_t adapterIndex) {
    ComPtr<ISWbemObject> adapter = Object(L"SELECT * FROM Win32_NetworkAdapter", adapterIndex);
    ComPtr<ISWbemObject> configuration;
    if (!adapter) return configuration;
    CBstr resultClass(L"Win32_NetworkAdapterConfiguration");
    ComPtr<ISWbemObjectSet> set;
    EXPECT_EQ(S_OK, adapter->Associators_(nullptr, resultClass.Get(), nullptr, nullptr, VARIANT_FALSE, VARIANT_FALSE,
                                          nullptr, nullptr, wbemFlagForwardOnly, nullptr, set.GetAddressOf()));
    if (!set) return configuration;
    std::vector<CVariant> elements = Elements(set.Get());
    if (!elements.empty() && elements[0].Type() == VT_DISPATCH)
        V_DISPATCH(elements[0].Get())
            ->QueryInterface(IID_ISWbemObject, reinterpret_cast<void**>(configuration.GetAddressOf()));
    return configuration;
}

HRESULT SimulatorTest::Read(ISWbemObject* object, const wchar_t* name, CVariant& value) {
    value.Clear();
    ComPtr<ISWbemPropertySet> properties;
    HRESULT hr = object->get_Properties_(properties.GetAddressOf());
    if (FAILED(hr)) return hr;
    ComPtr<ISWbemProperty> property;
    CBstr itemName(name);
    hr = properties->Item(itemName.Get(), 0, property.GetAddressOf());
    if (FAILED(hr)) return hr;
    return property->get_Value(value.Get());
}

CVariant SimulatorTest::Read(ISWbemObject* object, const wchar_t* name) {
    CVariant value;
    EXPECT_EQ(S_OK, Read(object, name, value)) << VarquelTest::Narrow(std::wstring(name));
    return value;
}

ComPtr<ISWbemObject> SimulatorTest::InParameters(ISWbemObject* object, const wchar_t* method) {
    CBstr methodName(method);
    ComPtr<ISWbemMethodSet> methods;
    ComPtr<ISWbemMethod> info;
    ComPtr<ISWbemObject> inClass, in;
    EXPECT_EQ(S_OK, object->get_Methods_(methods.GetAddressOf()));
    if (!methods) return in;
    EXPECT_EQ(S_OK, methods->Item(methodName.Get(), 0, info.GetAddressOf()));
    if (!info) return in;
    EXPECT_EQ(S_OK, info->get_InParameters(inClass.GetAddressOf()));
    if (!inClass) return in;
    EXPECT_EQ(S_OK, inClass->SpawnInstance_(0, in.GetAddressOf()));
    return in;
}

ComPtr<ISWbemObject> SimulatorTest::ShareClass() {
    ComPtr<ISWbemServices> services = Connect();
    CBstr path(L"Win32_Share");
    ComPtr<ISWbemObject> shareClass;
    EXPECT_EQ(S_OK, services->Get(path.Get(), 0, nullptr, shareClass.GetAddressOf()));
    return shareClass;
}

ComPtr<ISWbemPropertySet> SimulatorTest::PropertiesOf(ISWbemObject* object) {
    ComPtr<ISWbemPropertySet> properties;
    EXPECT_EQ(S_OK, object->get_Properties_(properties.GetAddressOf()));
    return properties;
}

CallResult SimulatorTest::Call(ISWbemObject* object, const wchar_t* method, const Params& params) {
    CBstr methodName(method);
    ComPtr<ISWbemObject> in;
    if (!params.empty()) {
        ComPtr<ISWbemMethodSet> methods;
        ComPtr<ISWbemMethod> info;
        ComPtr<ISWbemObject> inClass;
        ComPtr<ISWbemPropertySet> properties;
        EXPECT_EQ(S_OK, object->get_Methods_(methods.GetAddressOf()));
        EXPECT_EQ(S_OK, methods->Item(methodName.Get(), 0, info.GetAddressOf()));
        if (!info) return {E_FAIL, -1};
        EXPECT_EQ(S_OK, info->get_InParameters(inClass.GetAddressOf()));
        if (!inClass) return {E_FAIL, -1};
        EXPECT_EQ(S_OK, inClass->SpawnInstance_(0, in.GetAddressOf()));
        EXPECT_EQ(S_OK, in->get_Properties_(properties.GetAddressOf()));
        for (const auto& [name, value] : params) {
            CBstr propertyName(name);
            ComPtr<ISWbemProperty> property;
            // As Windows' samples set them: Item, then the value.
            EXPECT_EQ(S_OK, properties->Item(propertyName.Get(), 0, property.GetAddressOf()));
            if (!property) return {E_FAIL, -1};
            EXPECT_EQ(S_OK, property->put_Value(const_cast<VARIANT*>(value.Get())))
                << VarquelTest::Narrow(std::wstring(name));
        }
    }
    ComPtr<ISWbemObject> out;
    HRESULT hr = object->ExecMethod_(methodName.Get(), in.Get(), 0, nullptr, out.GetAddressOf());
    if (FAILED(hr) || !out) return {hr, -1};
    CVariant returnValue;
    if (FAILED(Read(out.Get(), L"ReturnValue", returnValue)) || returnValue.Type() != VT_I4) return {hr, -1};
    return {hr, V_I4(returnValue.Get())};
}

} // namespace SimulatorTests
