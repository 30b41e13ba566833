#pragma once
#include <string>
#include <vector>
#include "adapters/AdapterSettings.h"
#include "com/Bstr.h"
#include "profiles/ApplyChange.h"
#include "profiles/SwitchRow.h"
#include "settings/UserProxySetting.h"

// The English a switch's report speaks: each change's message and the
// report's Text. Rows of any kind, adapters' or not, read the same way.
namespace Varquel::SwitchText {

// A setting's value: entries joined by ", ", "DHCP" or "Static" for the mode.
std::wstring Value(AdapterSetting setting, const CAdapterSettings& settings);
std::wstring Mode(bool dhcp);
std::wstring Joined(const CStringArray& entries);
// The planned value of a setting that DHCP decides.
std::wstring FromDhcp();
// The user's proxy row's setting.
inline constexpr wchar_t kProxy[] = L"Proxy";
// The user's proxy in a few words: "direct", "automatic detection", "script
// <URL>", "proxy <servers>, bypass <list>", joined by "; " where several
// apply, and every field that differs from `other` but is not in use, marked
// "(off)".
std::wstring Proxy(const UserProxySetting& proxy, const UserProxySetting& other);
// How writing the user's proxy went, as a WMI answer's meaning reads.
CWmiMeaning ProxyWritten(HRESULT hr);

// A change's message; `write` is the write the change names, if any.
std::wstring Message(RowOutcome outcome, const CSwitchRow& row, const CRowWrite* write);

// The report's first lines.
std::wstring PreviewHeader(BSTR profile, const CEvaluatedRows& rows);
std::wstring SwitchHeader(BSTR profile, const CEvaluatedRows& rows);
std::wstring RollbackHeader(const CEvaluatedRows& rows);
// A few lines per adapter: each setting with its value before, the planned
// value and the verdict.
std::wstring Summary(const std::vector<ComPtr<CApplyChange>>& changes);
// What a rollback after a failed switch adds to the switch's text.
std::wstring AfterRollback(const CEvaluatedRows& rollback);
// What a snapshot cannot put back: GetCurrent does not read the lists of an
// adapter on DHCP, so the DNS and WINS servers it had stay unknown.
std::wstring NotRestorable(BSTR connection, AdapterSetting setting, const CStringArray& had);

} // namespace Varquel::SwitchText
