#pragma once
#include <windows.h>
#include <oleauto.h>
#include <optional>
#include <string>
#include <utility>
#include <vector>
#include <nlohmann/json.hpp>

// An instance's record as the machine keeps it (its description's JSON
// object), and the in-parameters a method receives.
namespace VarquelSim::Record {

using Json = nlohmann::ordered_json;
using Parameters = std::vector<std::pair<std::string, const VARIANT*>>;

// Keys starting with "_" belong to the simulator, not to WMI.
bool IsFlag(const std::string& key) noexcept;
bool FlagSet(const Json& data, const char* flag);

// A WMI property by name, case ignored; null when there is none.
const Json* GetProperty(const Json& data, const std::string& name);
// Sets a property, keeping the spelling and position of an existing key.
void SetProperty(Json& data, const std::string& name, Json value);
bool IsTrue(const Json& data, const char* name);

// An in-parameter the client set, by name; null when it was not set.
const VARIANT* Param(const Parameters& in, const char* name);
bool IsNone(const VARIANT* value) noexcept;
// A string list: an array of strings or a single string; none is the empty
// list; anything else is malformed (nullopt).
std::optional<std::vector<std::string>> StringList(const VARIANT* value);
// A single string (or an array's first element); nullopt when there is none.
std::optional<std::string> SingleString(const VARIANT* value);

// Four dot-separated decimal numbers 0 to 255.
bool IsDottedQuad(const std::string& text) noexcept;
bool AllDottedQuads(const std::vector<std::string>& list) noexcept;

} // namespace VarquelSim::Record
