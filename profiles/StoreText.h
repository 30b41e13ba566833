#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "com/Bstr.h"

// Texts at the boundary of the profile store. Key names and text values are
// narrow strings in the ANSI code page; the objects hold wide strings.
namespace Varquel::StoreText {

// The longest key name the registry promises to take.
constexpr size_t kMaxKeyNameLength = 255;

// Narrow form of `text` up to its first NUL; null gives an empty string. A
// character the code page lacks becomes its default character.
std::string ToAnsi(const wchar_t* text);

// Wide form of a narrow store text.
CBstr FromAnsi(const char* text);

// The name the registry ends up with when the object's `text` is written as a
// key name: the narrow form read back, as the narrow registry calls read it.
std::wstring AsStoredName(const wchar_t* text);

// Whether a stored name (see AsStoredName) is exactly one key name.
bool IsKeyName(const std::wstring& storedName) noexcept;

// Whether two stored names denote the same key: the registry ignores case.
bool SameKeyName(const std::wstring& a, const std::wstring& b) noexcept;

// Appends a stored name to `keys`; false, nothing appended, when it denotes
// the same key as one already there.
bool AddDistinctKeyName(std::vector<std::wstring>& keys, std::wstring key);

} // namespace Varquel::StoreText
