#pragma once
#include <string>

namespace Varquel {

// `text` as a quoted WQL string literal: inside the quotes WQL reads a
// backslash as an escape, so each backslash is doubled and each single quote
// becomes \'. Without this a network printer's DeviceID (\\server\name) or a
// quote in a name would change or break the query.
std::wstring WqlStringLiteral(const wchar_t* text, std::size_t length);

} // namespace Varquel
