#include <gtest/gtest.h>
#include <windows.h>

namespace {

struct CLibrary {
    HMODULE module = LoadLibraryW(VARQUEL_DLL_PATH);
    ~CLibrary() {
        if (module) FreeLibrary(module);
    }
};

TEST(Exports, TheDllLoadsAndItsEntryPointsResolveByNameAndOrdinal) {
    CLibrary library;
    ASSERT_NE(library.module, nullptr) << "LoadLibrary failed: " << GetLastError();
    const char* names[] = {"DllCanUnloadNow", "DllGetClassObject", "DllMain", "DllRegisterServer",
                           "DllUnregisterServer", "DllInstall"};
    for (WORD ordinal = 1; ordinal <= 6; ++ordinal) {
        FARPROC byName = GetProcAddress(library.module, names[ordinal - 1]);
        FARPROC byOrdinal = GetProcAddress(library.module, MAKEINTRESOURCEA(ordinal));
        EXPECT_NE(byName, nullptr) << names[ordinal - 1];
        EXPECT_EQ(byName, byOrdinal) << names[ordinal - 1] << " is not ordinal " << ordinal;
    }
    EXPECT_EQ(GetProcAddress(library.module, MAKEINTRESOURCEA(7)), nullptr);
}

TEST(Exports, AFreshlyLoadedServerCanBeUnloaded) {
    CLibrary library;
    ASSERT_NE(library.module, nullptr);
    auto canUnload = reinterpret_cast<HRESULT(__stdcall*)()>(GetProcAddress(library.module, "DllCanUnloadNow"));
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), S_OK);
}

} // namespace
