#pragma once
#include <windows.h>
#include <optional>
#include <string>
#include <vector>

namespace VarquelRobustness {

// A registry subtree held in memory: read from the registry (wide API, raw
// bytes as stored), written to it, compared and printed. Used both to build
// broken stores and to prove that a refused Save left the store as it was.
struct CRegistryTree {
    struct Value {
        std::wstring name;
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
        bool narrow = false;  // written with the ANSI API (data are code-page bytes)
    };

    std::wstring name;
    std::vector<Value> values;
    std::vector<CRegistryTree> subkeys;

    // The key at `path` under `root` with everything below it; nullopt when
    // it does not exist.
    static std::optional<CRegistryTree> Read(HKEY root, const std::wstring& path);
    // Creates this key under `parent` (it must not exist) with its values and
    // subkeys. Returns the first error, ERROR_SUCCESS otherwise.
    LONG Write(HKEY parent, DWORD options = REG_OPTION_NON_VOLATILE) const;

    CRegistryTree* FindSubkey(const std::wstring& subkeyName);
    Value* FindValue(const std::wstring& valueName);

    // Equality as the registry sees it: names without regard to case, values
    // and subkeys in any order.
    static bool Same(const CRegistryTree& a, const CRegistryTree& b);
    // A readable listing for assertion messages (UTF-8).
    std::string Describe(int depth = 0) const;
    // Number of keys in the tree, this one included.
    std::size_t KeyCount() const;

    static Value Text(const std::wstring& name, const std::wstring& text);  // REG_SZ with its NUL
    static Value Number(const std::wstring& name, DWORD number);           // REG_DWORD
};

// Names compare as registry key names do (case-insensitive).
bool SameKeyName(const std::wstring& a, const std::wstring& b);
// A wide text after the trip through the thread's ANSI code page and back:
// what a name stored by the narrow API reads back as.
std::wstring AnsiRoundTrip(const std::wstring& text);
std::string ToAnsi(const std::wstring& text);
std::wstring FromAnsi(const std::string& text);

} // namespace VarquelRobustness
