#pragma once
#include <gtest/gtest.h>
#include <wbemcli.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include "Varquel_h.h"
#include "com/Bstr.h"
#include "tests/support/SimulatedMachineTest.h"
#include "tests/support/TestSupport.h"

namespace SettingsTests {

using Microsoft::WRL::ComPtr;
using Varquel::CBstr;
using VarquelTest::Journal;

// A string as the client sees it: nullopt for a null BSTR, otherwise every
// character (embedded NULs included).
inline std::optional<std::wstring> Value(BSTR text) {
    if (!text) return std::nullopt;
    return std::wstring(text, SysStringLen(text));
}
inline std::optional<std::wstring> Value(const CBstr& text) { return Value(text.Get()); }
inline std::optional<std::wstring> Text(const wchar_t* text) { return std::wstring(text); }
inline const std::optional<std::wstring> kNull = std::nullopt;

// Reads a BSTR getter, expecting S_OK.
template <class Itf>
CBstr Read(Itf* object, HRESULT (STDMETHODCALLTYPE Itf::*getter)(BSTR*)) {
    CBstr value;
    EXPECT_EQ(S_OK, (object->*getter)(value.ReleaseAndGetAddressOf()));
    return value;
}

// Reads a long getter, expecting S_OK.
template <class Itf>
long ReadLong(Itf* object, HRESULT (STDMETHODCALLTYPE Itf::*getter)(long*)) {
    long value = 0x5A5A5A5A;
    EXPECT_EQ(S_OK, (object->*getter)(&value));
    return value;
}

// Each test that touches WMI installs its own simulated machine.
using SettingsTest = VarquelTest::SimulatedMachineTest;

} // namespace SettingsTests
