#include <cstdio>
#include "tests/simulator/SimulatorTest.h"
#include "wmi/WmiMethodCall.h"
#include "wmi/WmiPropertySet.h"
#include "wmi/WmiQuery.h"

// The DLL form, loaded straight into this process: its machine comes from
// the file named by VARQUEL_SIM_MACHINE and goes back to it after each change.
namespace SimulatorTests {
namespace {

using Json = VarquelSim::CMachine::Json;
using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();

std::wstring TempFile(const wchar_t* name) {
    wchar_t directory[MAX_PATH];
    GetTempPathW(MAX_PATH, directory);
    return std::wstring(directory) + name;
}

void WriteText(const std::wstring& path, const std::string& text) {
    FILE* file = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(nullptr, file);
    fwrite(text.data(), 1, text.size(), file);
    fclose(file);
}

std::string ReadText(const std::wstring& path) {
    std::string text;
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file) return text;
    char buffer[4096];
    size_t read;
    while ((read = fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, read);
    fclose(file);
    return text;
}

template <class T>
T Export(HMODULE module, const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

class SimulatorDll : public ::testing::Test {
protected:
    void SetUp() override {
        m_machinePath = TempFile(L"varquel-sim-machine.json");
        m_journalPath = TempFile(L"varquel-sim-journal.txt");
        DeleteFileW(m_journalPath.c_str());
        WriteText(m_machinePath, R"({"Win32_Printer": [{"DeviceID": "A", "Default": true}, {"DeviceID": "B", "Default": false}]})");
        SetEnvironmentVariableW(L"VARQUEL_SIM_MACHINE", m_machinePath.c_str());
        SetEnvironmentVariableW(L"VARQUEL_SIM_JOURNAL", m_journalPath.c_str());
    }
    void TearDown() override {
        Unload();
        SetEnvironmentVariableW(L"VARQUEL_SIM_MACHINE", nullptr);
        SetEnvironmentVariableW(L"VARQUEL_SIM_JOURNAL", nullptr);
        DeleteFileW(m_machinePath.c_str());
        DeleteFileW(m_journalPath.c_str());
    }

    HMODULE Load() {
        m_module = LoadLibraryW(VARQUEL_BINARY_DIR L"\\bin\\VarquelSim.dll");
        return m_module;
    }
    void Unload() {
        if (m_module) FreeLibrary(m_module);
        m_module = nullptr;
    }
    ComPtr<ISWbemServices> Connect() {
        ComPtr<IClassFactory> factory;
        EXPECT_EQ(S_OK, Export<GetClassObject>(m_module, "DllGetClassObject")(
                            CLSID_SWbemLocator, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf())));
        ComPtr<ISWbemLocator> locator;
        ComPtr<ISWbemServices> services;
        if (!factory) return services;
        EXPECT_EQ(S_OK, factory->CreateInstance(nullptr, IID_ISWbemLocator,
                                                reinterpret_cast<void**>(locator.GetAddressOf())));
        if (!locator) return services;
        CBstr cimv2(L"ROOT\\CIMV2");
        EXPECT_EQ(S_OK, locator->ConnectServer(nullptr, cimv2.Get(), nullptr, nullptr, nullptr, nullptr, 0, nullptr,
                                               services.GetAddressOf()));
        return services;
    }
    ComPtr<ISWbemObject> Printer(ISWbemServices* services, size_t index) {
        CBstr query(L"SELECT * FROM Win32_Printer"), wql(L"WQL");
        ComPtr<ISWbemObjectSet> set;
        EXPECT_EQ(S_OK, services->ExecQuery(query.Get(), wql.Get(), 0, nullptr, set.GetAddressOf()));
        ComPtr<IUnknown> unknown;
        ComPtr<IEnumVARIANT> enumerator;
        ComPtr<ISWbemObject> printer;
        if (!set || FAILED(set->get__NewEnum(unknown.GetAddressOf())) || FAILED(unknown.As(&enumerator)))
            return printer;
        for (size_t i = 0; i <= index; ++i) {
            CVariant element;
            if (enumerator->Next(1, element.Get(), nullptr) != S_OK) return nullptr;
            if (i == index)
                V_DISPATCH(element.Get())
                    ->QueryInterface(IID_ISWbemObject, reinterpret_cast<void**>(printer.GetAddressOf()));
        }
        return printer;
    }

    std::wstring m_machinePath, m_journalPath;
    HMODULE m_module = nullptr;
};

TEST_F(SimulatorDll, ExportsTheServerEntryPoints) {
    ASSERT_TRUE(Load());
    for (const char* name : {"DllGetClassObject", "DllCanUnloadNow", "DllRegisterServer", "DllUnregisterServer"})
        EXPECT_NE(nullptr, Export<void*>(m_module, name)) << name;
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE,
              Export<GetClassObject>(m_module, "DllGetClassObject")(IID_ISWbemLocator, IID_IClassFactory,
                                                                    reinterpret_cast<void**>(factory.GetAddressOf())));
}

TEST_F(SimulatorDll, TheMachineLastsFromOneRunToTheNext) {
    ASSERT_TRUE(Load());
    {
        ComPtr<ISWbemServices> services = Connect();
        ASSERT_TRUE(services);
        ComPtr<ISWbemObject> second = Printer(services.Get(), 1);
        ASSERT_TRUE(second);
        CBstr method(L"SetDefaultPrinter");
        EXPECT_EQ(S_OK, second->ExecMethod_(method.Get(), nullptr, 0, nullptr, nullptr));
        EXPECT_EQ(S_FALSE, Export<CanUnloadNow>(m_module, "DllCanUnloadNow")());
    }
    EXPECT_EQ(S_OK, Export<CanUnloadNow>(m_module, "DllCanUnloadNow")());
    Json saved = Json::parse(ReadText(m_machinePath));
    EXPECT_EQ(false, saved["Win32_Printer"][0]["Default"]);
    EXPECT_EQ(true, saved["Win32_Printer"][1]["Default"]);
    EXPECT_EQ("connect ROOT\\CIMV2\nquery SELECT * FROM Win32_Printer\nexec Win32_Printer[1].SetDefaultPrinter()\n",
              ReadText(m_journalPath));

    // A new run reads the saved machine.
    Unload();
    ASSERT_TRUE(Load());
    ComPtr<ISWbemServices> services = Connect();
    ASSERT_TRUE(services);
    ComPtr<ISWbemObject> second = Printer(services.Get(), 1);
    ASSERT_TRUE(second);
    ComPtr<ISWbemPropertySet> properties;
    ComPtr<ISWbemProperty> property;
    CBstr name(L"Default");
    ASSERT_EQ(S_OK, second->get_Properties_(properties.GetAddressOf()));
    ASSERT_EQ(S_OK, properties->Item(name.Get(), 0, property.GetAddressOf()));
    CVariant value;
    ASSERT_EQ(S_OK, property->get_Value(value.Get()));
    EXPECT_EQ(VARIANT_TRUE, V_BOOL(value.Get()));
}

TEST_F(SimulatorDll, AnUnreadableMachineFileFailsCreation) {
    SetEnvironmentVariableW(L"VARQUEL_SIM_MACHINE", TempFile(L"varquel-sim-missing.json").c_str());
    ASSERT_TRUE(Load());
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, Export<GetClassObject>(m_module, "DllGetClassObject")(
                        CLSID_SWbemLocator, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf())));
    ComPtr<ISWbemLocator> locator;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
              factory->CreateInstance(nullptr, IID_ISWbemLocator, reinterpret_cast<void**>(locator.GetAddressOf())));
    EXPECT_FALSE(locator);
}

// Run by the registration test in a scratch prefix where VarquelSim.dll is
// SWbemLocator's registered server: the product's own helpers reach it through
// plain CoCreateInstance. Each run moves the default printer one further.
TEST(RegisteredDll, ServesTheProductsQueriesAndMethods) {
    if (GetEnvironmentVariableW(L"VARQUEL_SIM_REGISTERED", nullptr, 0) == 0)
        GTEST_SKIP() << "runs only in the registration test's prefix";
    auto defaultIndex = [] {
        Varquel::CWmiQuery query(L"SELECT * FROM Win32_Printer");
        int index = 0, found = -1;
        while (ComPtr<ISWbemObject> printer = query.Next()) {
            CVariant value;
            if (SUCCEEDED(Varquel::CWmiPropertySet(printer.Get()).ReadProperty(L"Default", value)) &&
                value.Type() == VT_BOOL && V_BOOL(value.Get()))
                found = index;
            ++index;
        }
        return std::make_pair(found, index);
    };
    auto [before, count] = defaultIndex();
    ASSERT_EQ(3, count);
    ASSERT_LE(0, before);
    const int next = (before + 1) % count;
    {
        Varquel::CWmiQuery query(L"SELECT * FROM Win32_Printer");
        ComPtr<ISWbemObject> printer;
        for (int i = 0; i <= next; ++i) printer = query.Next();
        ASSERT_TRUE(printer);
        EXPECT_EQ(S_OK, Varquel::ExecMethodNoParams(printer.Get(), L"SetDefaultPrinter"));
    }
    EXPECT_EQ(next, defaultIndex().first);
}

} // namespace
} // namespace SimulatorTests
