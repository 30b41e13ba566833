// CRegistryKey against Wine's real registry, in a scratch key under
// HKEY_CURRENT_USER that every test creates and removes.
#include <gtest/gtest.h>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <set>
#include <string>
#include <vector>
#include "com/Boundary.h"
#include "profiles/RegistrySeam.h"
#include "registry/RegistryKey.h"
#include "tests/support/TestSupport.h"

// The wrapper allocates its holders and walk buffers with nothrow new; these
// replacements let a test make the next few of them fail.
namespace {
int g_failingNothrowNews = 0;
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (g_failingNothrowNews > 0) {
        --g_failingNothrowNews;
        return nullptr;
    }
    return std::malloc(size ? size : 1);
}

void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}

namespace {

using Wexmoor::CRegistryKey;
using Wexmoor::CWin32Exception;

const char kNewHolder[] = "CRegistryKey::NewCCountedRegKey()";
const char kConnect[] = "CRegistryKey::CRegistryKey() - RegConnectRegistry";
const char kOpen[] = "CRegistryKey::CRegistryKey(HKEY hKey ...)";
const char kCreateOrOpen[] = "CRegistryKey::CreateOrOpenKey()";
const char kCreate[] = "CRegistryKey::CreateKey()";
const char kDelete[] = "CRegistryKey::DeleteKey()";
const char kQuery[] = "CRegistryKey::QueryValue()";
const char kSet[] = "CRegistryKey::SetValue()";
const char kIteratorCreate[] = "CRegistryKey::SubkeyIterator::SubkeyIterator()";
const char kIteratorFetch[] = "CRegistryKey::SubkeyIterator::GetSubkeyInfo()";

char g_noClass[] = "";

// Runs `action` and checks that it throws the wrapper's exception with this
// location text and error code.
template <class Action>
void ExpectRegistryError(Action&& action, const char* location, DWORD error) {
    try {
        action();
        ADD_FAILURE() << "no exception; expected " << location << " / " << error;
    } catch (const CRegistryKey::Exception& e) {
        EXPECT_STREQ(e.GetLocation(), location);
        EXPECT_EQ(e.GetError(), error);
    }
}

bool HandleIsOpen(HKEY key) {
    DWORD subkeys = 0;
    return RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr) == ERROR_SUCCESS;
}

std::string SystemText(DWORD code) {
    char text[512] = {};
    if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0, text, 511, nullptr)) return {};
    return text;
}

class RegistryKeyTest : public testing::Test {
protected:
    RegistryKeyTest() : m_scratch(L"Registry"), m_path(m_scratch.PathA()) {}

    // The scratch key through the wrapper's open constructor.
    CRegistryKey Open(REGSAM access = KEY_ALL_ACCESS) const {
        return CRegistryKey(HKEY_CURRENT_USER, m_path.c_str(), access, nullptr);
    }

    std::string Full(const std::string& relative) const { return m_path + "\\" + relative; }

    // Raw registry access, independent of the code under test.
    HKEY RawOpen(const std::string& relative = {}) const {
        HKEY key = nullptr;
        const std::string path = relative.empty() ? m_path : Full(relative);
        EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS) << path;
        return key;
    }

    void RawCreate(const std::string& relative, const char* className = nullptr) const {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, Full(relative).c_str(), 0, const_cast<char*>(className), 0,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS)
            << relative;
        RegCloseKey(key);
    }

    bool Exists(const std::string& relative) const {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, Full(relative).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }

    void RawSet(const char* name, DWORD type, const void* data, DWORD size) const {
        HKEY key = RawOpen();
        ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        RegCloseKey(key);
    }

    // The stored bytes of a value of the scratch key; error code on failure.
    LONG RawGet(const char* name, DWORD& type, std::vector<BYTE>& data) const {
        HKEY key = RawOpen();
        DWORD size = 0;
        LONG result = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
        if (result == ERROR_SUCCESS) {
            data.assign(size, 0);
            result = RegQueryValueExA(key, name, nullptr, &type, data.data(), &size);
            data.resize(size);
        }
        RegCloseKey(key);
        return result;
    }

    std::string QueryText(const CRegistryKey& key, const char* name) const {
        char* value = nullptr;
        EXPECT_TRUE(key.QueryValue(name, value));
        if (!value) return "<null>";
        std::string text(value);
        std::free(value);
        return text;
    }

    static std::vector<std::string> Walk(const CRegistryKey& key) {
        std::vector<std::string> names;
        for (const char* name : key) names.emplace_back(name);
        return names;
    }

    VarquelTest::CScratchKey m_scratch;
    std::string m_path;
};

// ---- Shared handles ----

TEST_F(RegistryKeyTest, CopiesShareOneHandleThatTheLastCopyClosesOnce) {
    HKEY raw = nullptr;
    {
        auto key = std::make_unique<CRegistryKey>(Open());
        raw = *key;
        CRegistryKey copy(*key);
        CRegistryKey assigned = Open();
        assigned = copy;
        EXPECT_EQ(static_cast<HKEY>(copy), raw);
        EXPECT_EQ(static_cast<HKEY>(assigned), raw);

        key.reset();
        EXPECT_TRUE(HandleIsOpen(raw));
        copy.SetValue("v", "kept", REG_SZ);
        EXPECT_EQ(QueryText(assigned, "v"), "kept");
    }
    EXPECT_EQ(RegCloseKey(raw), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryKeyTest, AdoptedHandleIsClosedWithTheKey) {
    HKEY raw = RawOpen();
    { CRegistryKey key(raw); }
    EXPECT_EQ(RegCloseKey(raw), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryKeyTest, SelfAssignmentChangesNothing) {
    HKEY raw = nullptr;
    {
        CRegistryKey key = Open();
        raw = key;
        CRegistryKey& alias = key;
        key = alias;
        EXPECT_EQ(static_cast<HKEY>(key), raw);
        EXPECT_TRUE(HandleIsOpen(raw));
        key.SetValue("n", static_cast<DWORD>(7), REG_DWORD);
    }
    EXPECT_EQ(RegCloseKey(raw), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryKeyTest, AssignmentClosesTheOldHandleOnlyWhenNoCopyHoldsIt) {
    CRegistryKey first = Open();
    CRegistryKey firstCopy = first;
    CRegistryKey second = Open();
    const HKEY firstHandle = first;
    const HKEY secondHandle = second;
    ASSERT_NE(firstHandle, secondHandle);

    first = second;
    EXPECT_TRUE(HandleIsOpen(firstHandle));
    firstCopy = second;
    EXPECT_EQ(RegCloseKey(firstHandle), ERROR_INVALID_HANDLE);
    EXPECT_TRUE(HandleIsOpen(secondHandle));
}

TEST_F(RegistryKeyTest, IteratorsKeepTheHandleUntilTheyRunOut) {
    RawCreate("a");
    auto key = std::make_unique<CRegistryKey>(Open());
    const HKEY raw = *key;
    CRegistryKey::SubkeyIterator it = key->begin();
    CRegistryKey::SubkeyIterator copy = it;
    key.reset();
    EXPECT_TRUE(HandleIsOpen(raw));
    EXPECT_STREQ(*it, "a");

    ++it;
    EXPECT_TRUE(it == CRegistryKey::SubkeyIterator());
    EXPECT_TRUE(HandleIsOpen(raw));  // the copy still walks
    ++copy;
    EXPECT_EQ(RegCloseKey(raw), ERROR_INVALID_HANDLE);
}

// ---- Opening ----

TEST_F(RegistryKeyTest, OpenConstructorAndOpenKey) {
    RawCreate("child");
    CRegistryKey root(HKEY_CURRENT_USER, "Software\\", KEY_ALL_ACCESS, nullptr);
    CRegistryKey scratch = root.OpenKey((m_path.substr(std::strlen("Software\\"))).c_str(), KEY_ALL_ACCESS);
    CRegistryKey child = scratch.OpenKey("child", KEY_ALL_ACCESS);
    child.SetValue("x", "1", REG_SZ);
    char* value = nullptr;
    ASSERT_TRUE(Open().OpenKey("child", KEY_READ).QueryValue("x", value));
    EXPECT_STREQ(value, "1");
    std::free(value);

    ExpectRegistryError([&] { Open().OpenKey("missing", KEY_ALL_ACCESS); }, kOpen, ERROR_FILE_NOT_FOUND);
    ExpectRegistryError([&] { CRegistryKey(HKEY_CURRENT_USER, Full("missing").c_str(), KEY_READ, nullptr); }, kOpen,
                        ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryKeyTest, RemoteMachineConnectsFirst) {
    RawCreate("child");
    // An empty machine name is the local machine.
    CRegistryKey local(HKEY_CURRENT_USER, Full("child").c_str(), KEY_ALL_ACCESS, "");
    local.SetValue("x", "local", REG_SZ);
    EXPECT_EQ(QueryText(Open().OpenKey("child", KEY_READ), "x"), "local");

    try {
        CRegistryKey remote(HKEY_CURRENT_USER, Full("child").c_str(), KEY_READ, "\\\\varquel-no-such-host");
        ADD_FAILURE() << "connected to a machine that does not exist";
    } catch (const CRegistryKey::Exception& e) {
        EXPECT_STREQ(e.GetLocation(), kConnect);
        EXPECT_NE(e.GetError(), 0u);
    }
}

TEST_F(RegistryKeyTest, FailedHolderCreationClosesTheHandle) {
    HKEY raw = RawOpen();
    g_failingNothrowNews = 1;
    ExpectRegistryError([&] { CRegistryKey key(raw); }, kNewHolder, ERROR_NOT_ENOUGH_MEMORY);
    g_failingNothrowNews = 0;
    EXPECT_EQ(RegCloseKey(raw), ERROR_INVALID_HANDLE);

    g_failingNothrowNews = 1;
    ExpectRegistryError([&] { Open(); }, kNewHolder, ERROR_NOT_ENOUGH_MEMORY);
    g_failingNothrowNews = 0;
}

// ---- Walking subkeys ----

TEST_F(RegistryKeyTest, KeyWithoutSubkeysWalksNothing) {
    const CRegistryKey key = Open();
    EXPECT_TRUE(key.begin() == key.end());
    EXPECT_FALSE(key.begin() != key.end());
    EXPECT_TRUE(Walk(key).empty());
}

TEST_F(RegistryKeyTest, TwoSubkeysAreWalkedOnceEachThenTheWalkStaysAtTheEnd) {
    RawCreate("beta");
    RawCreate("alpha");
    const CRegistryKey key = Open();
    std::set<std::string> seen;
    CRegistryKey::SubkeyIterator it = key.begin();
    ASSERT_TRUE(it != key.end());
    CRegistryKey::SubkeyIterator before = it++;
    seen.insert(*before);
    ASSERT_TRUE(it != key.end());
    seen.insert(*it);
    EXPECT_STRNE(*before, *it);  // the postfix copy kept the first name
    ++it;
    EXPECT_TRUE(it == key.end());
    ++it;
    EXPECT_TRUE(it == key.end());
    EXPECT_EQ(seen, (std::set<std::string>{"alpha", "beta"}));
}

TEST_F(RegistryKeyTest, ManySubkeysOfDifferentLengthsAreEachWalkedOnce) {
    std::multiset<std::string> expected;
    for (int i = 0; i < 300; ++i) {
        std::string name = "k" + std::to_string(i) + std::string(static_cast<size_t>(i % 97), 'n');
        RawCreate(name);
        expected.insert(name);
    }
    const std::vector<std::string> walked = Walk(Open());
    EXPECT_EQ(std::multiset<std::string>(walked.begin(), walked.end()), expected);
}

TEST_F(RegistryKeyTest, LongerNamesAndClassesCreatedDuringTheWalkAreFetchedWhole) {
    RawCreate("a");
    RawCreate("b");
    const CRegistryKey key = Open();
    CRegistryKey::SubkeyIterator it = key.begin();
    ASSERT_STREQ(*it, "a");

    ++it;
    ASSERT_STREQ(*it, "b");

    const std::string longName = "c" + std::string(200, 'x');
    RawCreate(longName);
    ++it;
    ASSERT_TRUE(it != key.end());
    EXPECT_EQ(std::string(*it), longName);

    // Only the class outgrows its buffer this time.
    RawCreate("d", std::string(300, 'K').c_str());
    ++it;
    ASSERT_TRUE(it != key.end());
    EXPECT_STREQ(*it, "d");
    ++it;
    EXPECT_TRUE(it == key.end());
}

TEST_F(RegistryKeyTest, KeyEmptiedDuringTheWalkEndsIt) {
    RawCreate("a");
    RawCreate("b");
    RawCreate("c");
    const CRegistryKey key = Open();
    CRegistryKey::SubkeyIterator it = key.begin();
    ASSERT_TRUE(it != key.end());
    for (const char* name : {"a", "b", "c"}) ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, Full(name).c_str()), ERROR_SUCCESS);
    ++it;
    EXPECT_TRUE(it == key.end());
    EXPECT_TRUE(*it == nullptr || **it == '\0');  // no stale name
}

TEST_F(RegistryKeyTest, IteratorsAreEqualOnlyOverTheSameHolderAndIndex) {
    RawCreate("a");
    RawCreate("b");
    const CRegistryKey key = Open();
    const CRegistryKey copy = key;
    const CRegistryKey separate = Open();

    EXPECT_TRUE(key.begin() == copy.begin());
    EXPECT_FALSE(key.begin() == separate.begin());
    CRegistryKey::SubkeyIterator second = key.begin();
    ++second;
    EXPECT_TRUE(second != key.begin());
    EXPECT_TRUE(key.end() == separate.end());
}

TEST_F(RegistryKeyTest, IteratorCopiesOwnTheirNames) {
    RawCreate("first");
    RawCreate("second");
    const CRegistryKey key = Open();
    CRegistryKey::SubkeyIterator it = key.begin();
    const std::string firstName = *it;
    CRegistryKey::SubkeyIterator copy = it;
    CRegistryKey::SubkeyIterator assigned;
    assigned = it;
    ++it;
    EXPECT_STREQ(*copy, firstName.c_str());
    EXPECT_STREQ(*assigned, firstName.c_str());
    EXPECT_STRNE(*it, firstName.c_str());
    EXPECT_TRUE(copy == assigned);
}

TEST_F(RegistryKeyTest, IteratorOpensTheSubkeyItStandsOn) {
    RawCreate("a");
    RawCreate("b");
    Open().OpenKey("b", KEY_ALL_ACCESS).SetValue("marker", "in b", REG_SZ);
    const CRegistryKey key = Open();
    for (CRegistryKey::SubkeyIterator it = key.begin(); it != key.end(); ++it) {
        const CRegistryKey sub = it.OpenKey(KEY_ALL_ACCESS);
        char* value = nullptr;
        if (std::strcmp(*it, "b") == 0) {
            EXPECT_EQ(QueryText(sub, "marker"), "in b");
        } else {
            ExpectRegistryError([&] { sub.QueryValue("marker", value); }, kQuery, ERROR_FILE_NOT_FOUND);
        }
    }
}

TEST_F(RegistryKeyTest, FailedBufferAllocationsThrowAndLeaveTheWalkUsable) {
    RawCreate("a");
    RawCreate("b");
    HKEY raw = nullptr;
    {
        const CRegistryKey key = Open();
        raw = key;
        g_failingNothrowNews = 1;
        ExpectRegistryError([&] { key.begin(); }, kIteratorCreate, ERROR_NOT_ENOUGH_MEMORY);
        g_failingNothrowNews = 0;

        CRegistryKey::SubkeyIterator it = key.begin();
        g_failingNothrowNews = 1;
        ExpectRegistryError([&] { CRegistryKey::SubkeyIterator copy(it); }, kIteratorCreate, ERROR_NOT_ENOUGH_MEMORY);
        g_failingNothrowNews = 0;

        const std::string longName = "c" + std::string(150, 'y');
        RawCreate(longName);
        ++it;  // "b" still fits
        ASSERT_STREQ(*it, "b");
        g_failingNothrowNews = 1;
        ExpectRegistryError([&] { ++it; }, kIteratorFetch, ERROR_NOT_ENOUGH_MEMORY);
        g_failingNothrowNews = 0;
        EXPECT_STREQ(*it, "b");
        ++it;
        EXPECT_EQ(std::string(*it), longName);
    }
    // No reference was left behind by the failed iterators.
    EXPECT_EQ(RegCloseKey(raw), ERROR_INVALID_HANDLE);
}

// ---- Values ----

TEST_F(RegistryKeyTest, TextValuesStoreTheirNulAndComeBackAsStored) {
    const CRegistryKey key = Open();
    key.SetValue("plain", "hello", REG_SZ);
    key.SetValue("expand", "%SystemRoot%\\x", REG_EXPAND_SZ);

    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_EQ(RawGet("plain", type, data), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(data, (std::vector<BYTE>{'h', 'e', 'l', 'l', 'o', 0}));
    ASSERT_EQ(RawGet("expand", type, data), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));

    EXPECT_EQ(QueryText(key, "plain"), "hello");
    EXPECT_EQ(QueryText(key, "expand"), "%SystemRoot%\\x");
}

TEST_F(RegistryKeyTest, EmptyTextIsStoredAsOneZeroByte) {
    Open().SetValue("empty", "", REG_SZ);
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_EQ(RawGet("empty", type, data), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(data, std::vector<BYTE>{0});
    EXPECT_EQ(QueryText(Open(), "empty"), "");
}

TEST_F(RegistryKeyTest, TextStoredWithoutNulOrWithoutDataComesBackTerminated) {
    RawSet("unterminated", REG_SZ, "abc", 3);
    RawSet("nodata", REG_SZ, nullptr, 0);
    RawSet("expandnodata", REG_EXPAND_SZ, nullptr, 0);
    const CRegistryKey key = Open();
    EXPECT_EQ(QueryText(key, "unterminated"), "abc");
    EXPECT_EQ(QueryText(key, "nodata"), "");
    EXPECT_EQ(QueryText(key, "expandnodata"), "");
}

TEST_F(RegistryKeyTest, QueriesOfTheOtherKindReturnFalseAndLeaveTheOutputAlone) {
    const DWORD number = 5;
    const BYTE binary[] = {1, 2, 3};
    RawSet("number", REG_DWORD, &number, sizeof number);
    RawSet("binary", REG_BINARY, binary, sizeof binary);
    RawSet("text", REG_SZ, "t", 2);
    const CRegistryKey key = Open();

    char sentinel[] = "untouched";
    char* text = sentinel;
    EXPECT_FALSE(key.QueryValue("number", text));
    EXPECT_EQ(text, sentinel);
    EXPECT_FALSE(key.QueryValue("binary", text));
    EXPECT_EQ(text, sentinel);

    DWORD out = 0xABCD;
    EXPECT_FALSE(key.QueryValue("text", out));
    EXPECT_EQ(out, 0xABCDu);
    EXPECT_FALSE(key.QueryValue("binary", out));
    EXPECT_EQ(out, 0xABCDu);
}

TEST_F(RegistryKeyTest, MissingValuesThrowFileNotFound) {
    const CRegistryKey key = Open();
    char* text = nullptr;
    DWORD number = 0;
    ExpectRegistryError([&] { key.QueryValue("missing", text); }, kQuery, ERROR_FILE_NOT_FOUND);
    ExpectRegistryError([&] { key.QueryValue("missing", number); }, kQuery, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(text, nullptr);
}

TEST_F(RegistryKeyTest, NumbersAreStoredAndReturnedAsTheirFourBytes) {
    const CRegistryKey key = Open();
    key.SetValue("all", static_cast<DWORD>(0xFFFFFFFF), REG_DWORD);
    key.SetValue("big", static_cast<DWORD>(0x12345678), REG_DWORD_BIG_ENDIAN);

    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_EQ(RawGet("big", type, data), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD_BIG_ENDIAN));
    EXPECT_EQ(data, (std::vector<BYTE>{0x78, 0x56, 0x34, 0x12}));  // not swapped on the way in

    DWORD value = 0;
    ASSERT_TRUE(key.QueryValue("all", value));
    EXPECT_EQ(value, 0xFFFFFFFFu);
    ASSERT_TRUE(key.QueryValue("big", value));
    EXPECT_EQ(value, 0x12345678u);  // nor on the way out
}

TEST_F(RegistryKeyTest, NumberOfAnotherSizeThrowsWithCodeZero) {
    const BYTE two[] = {1, 0};
    const BYTE eight[] = {1, 0, 0, 0, 0, 0, 0, 0};
    RawSet("two", REG_DWORD, two, sizeof two);
    RawSet("eight", REG_DWORD, eight, sizeof eight);
    RawSet("bigtwo", REG_DWORD_BIG_ENDIAN, two, sizeof two);
    const CRegistryKey key = Open();
    DWORD value = 0x55;
    for (const char* name : {"two", "eight", "bigtwo"})
        ExpectRegistryError([&] { key.QueryValue(name, value); }, kQuery, 0);
    EXPECT_EQ(value, 0x55u);
}

TEST_F(RegistryKeyTest, SetValueWithATypeOfTheWrongKindWritesNothing) {
    const CRegistryKey key = Open();
    ExpectRegistryError([&] { key.SetValue("t", "text", REG_DWORD); }, kSet, ERROR_INVALID_FLAGS);
    ExpectRegistryError([&] { key.SetValue("b", "text", REG_BINARY); }, kSet, ERROR_INVALID_FLAGS);
    ExpectRegistryError([&] { key.SetValue("n", static_cast<DWORD>(1), REG_SZ); }, kSet, ERROR_INVALID_FLAGS);
    ExpectRegistryError([&] { key.SetValue("q", static_cast<DWORD>(1), REG_QWORD); }, kSet, ERROR_INVALID_FLAGS);

    DWORD type = 0;
    std::vector<BYTE> data;
    for (const char* name : {"t", "b", "n", "q"}) EXPECT_EQ(RawGet(name, type, data), ERROR_FILE_NOT_FOUND) << name;
}

TEST_F(RegistryKeyTest, RegistryRefusalsCarryTheirOwnCodes) {
    // The handle's access rights decide, not the wrapper.
    const CRegistryKey readOnly = Open(KEY_READ);
    ExpectRegistryError([&] { readOnly.SetValue("t", "x", REG_SZ); }, kSet, ERROR_ACCESS_DENIED);
    ExpectRegistryError([&] { readOnly.SetValue("n", static_cast<DWORD>(1), REG_DWORD); }, kSet, ERROR_ACCESS_DENIED);

    RawSet("v", REG_SZ, "x", 2);
    const CRegistryKey writeOnly = Open(KEY_SET_VALUE);
    char* text = nullptr;
    ExpectRegistryError([&] { writeOnly.QueryValue("v", text); }, kQuery, ERROR_ACCESS_DENIED);
}

// ---- Creating and deleting ----

TEST_F(RegistryKeyTest, CreateKeyRefusesAnExistingSubkeyAndLeavesItAlone) {
    const CRegistryKey key = Open();
    key.CreateKey("fresh", g_noClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr)
        .SetValue("kept", "yes", REG_SZ);
    RawCreate("fresh\\inner");

    ExpectRegistryError([&] { key.CreateKey("fresh", g_noClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr); },
                        kCreate, ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(Exists("fresh\\inner"));

    DWORD disposition = 0;
    const CRegistryKey opened =
        key.CreateOrOpenKey("fresh", &disposition, g_noClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    EXPECT_EQ(QueryText(opened, "kept"), "yes");

    key.CreateOrOpenKey("other", &disposition, g_noClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    key.CreateOrOpenKey("other", nullptr, g_noClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr);
    EXPECT_TRUE(Exists("other"));
}

TEST_F(RegistryKeyTest, CreateFailuresCarryTheCreateOrOpenLocation) {
    const CRegistryKey key = Open();
    const CRegistryKey volatileKey =
        key.CreateOrOpenKey("volatile", nullptr, g_noClass, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr);
    ExpectRegistryError(
        [&] { volatileKey.CreateOrOpenKey("child", nullptr, g_noClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr); },
        kCreateOrOpen, ERROR_CHILD_MUST_BE_VOLATILE);
    ExpectRegistryError(
        [&] { volatileKey.CreateKey("child", g_noClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr); },
        kCreateOrOpen, ERROR_CHILD_MUST_BE_VOLATILE);
}

TEST_F(RegistryKeyTest, DeleteKeyRemovesOnlyAnEmptySubkey) {
    RawCreate("parent\\child");
    RawCreate("empty");
    const CRegistryKey key = Open();

    ExpectRegistryError([&] { key.DeleteKey("parent"); }, kDelete, ERROR_ACCESS_DENIED);
    EXPECT_TRUE(Exists("parent\\child"));

    key.DeleteKey("empty");
    EXPECT_FALSE(Exists("empty"));
    ExpectRegistryError([&] { key.DeleteKey("empty"); }, kOpen, ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryKeyTest, DeleteKeyTreeRemovesEveryDescendant) {
    for (const char* path : {"tree\\a\\a1\\x", "tree\\a\\a2", "tree\\b\\b1", "tree\\b\\b2\\y\\z", "tree\\c",
                             "treesibling\\keep"})
        RawCreate(path);
    Open().OpenKey("tree\\b\\b2", KEY_ALL_ACCESS).SetValue("v", "data", REG_SZ);

    Open().DeleteKeyTree("tree");
    EXPECT_FALSE(Exists("tree"));
    EXPECT_TRUE(Exists("treesibling\\keep"));

    // A key without subkeys goes as well.
    Open().DeleteKeyTree("treesibling\\keep");
    EXPECT_FALSE(Exists("treesibling\\keep"));
    EXPECT_TRUE(Exists("treesibling"));
}

TEST_F(RegistryKeyTest, DeleteKeyTreeOfAMissingSubkeyFailsToOpenIt) {
    ExpectRegistryError([&] { Open().DeleteKeyTree("missing"); }, kOpen, ERROR_FILE_NOT_FOUND);
}

// ---- Exceptions ----

TEST_F(RegistryKeyTest, ExceptionsAreWin32ExceptionsWithTheSystemText) {
    try {
        Open().DeleteKeyTree("missing");
        FAIL() << "no exception";
    } catch (const CWin32Exception& e) {
        EXPECT_STREQ(e.GetLocation(), kOpen);
        EXPECT_EQ(e.GetError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
        const std::string expected = SystemText(ERROR_FILE_NOT_FOUND);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(e.GetErrorText(), expected);
    }
    // Where profiles call the registry, the failure goes on as its HRESULT.
    const HRESULT hr = Varquel::ComBoundary([&]() -> HRESULT {
        return Varquel::ThroughRegistry([&] {
            Open().OpenKey("missing", KEY_READ);
            return S_OK;
        });
    });
    EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
}

TEST(Win32ExceptionTest, CodeWithoutSystemTextYieldsTheTextOfTheFailedLookupsError) {
    const DWORD unknown = 0x2000ABCD;  // customer code: the system has no text for it
    ASSERT_TRUE(SystemText(unknown).empty());

    // Follow what the failed lookups report until one of them has a text.
    std::string expected;
    DWORD code = unknown;
    for (int lookup = 0; lookup < 4 && expected.empty(); ++lookup) {
        char probe[512] = {};
        if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0, probe, 511, nullptr)) {
            expected = probe;
        } else {
            code = GetLastError();
        }
    }
    ASSERT_FALSE(expected.empty());

    const CRegistryKey::Exception e("somewhere", unknown);
    EXPECT_EQ(std::string(e.GetErrorText()), expected);
    EXPECT_EQ(std::string(e.GetErrorText()).find("somewhere"), std::string::npos);
}

} // namespace
