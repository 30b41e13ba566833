#pragma once
#include <string>
#include <vector>
#include "com/Bstr.h"
#include "profiles/ApplyChange.h"
#include "wmi/WmiReturnValue.h"

namespace Varquel {

// One write that sets a row's setting: a WMI call, as the machine answered it.
struct CRowWrite {
    const wchar_t* method = nullptr;  // its WMI name
    bool ran = false;
    CWmiAnswer answer;
    CWmiMeaning meaning{WmiVerdict::Done, {}};
    const wchar_t* stoppedBy = nullptr;  // when it did not run: the call whose failure stopped it
};

// One setting a switch reports: an adapter's, the default printer, or any
// other the switch sets. What the machine showed, what the profile plans,
// what the machine shows afterwards, and how the writes fared.
struct CSwitchRow {
    enum class Kind {
        Planned,       // the switch sees to it
        NoAdapter,     // a stored adapter with no adapter of its Name on the machine
        NotConnected,  // a stored adapter whose adapter is present without IP
        NotInProfile,  // a machine adapter the profile does not mention
        Kept,          // the profile holds nothing for it, so the machine's stays
    };

    Kind kind = Kind::Planned;
    CBstr adapter, connection;  // empty for a setting of the machine as a whole
    const wchar_t* setting = L"";
    std::wstring before, planned, after;
    bool afterRead = false;
    bool alreadyPlanned = false;  // the machine showed the plan before
    bool shows = false;           // the machine shows the plan afterwards
    std::wstring notTaken;        // planned entries that no method takes and the machine lacks
    std::vector<CRowWrite> writes;
};

// How a row turned out, which decides its Status and message.
enum class RowOutcome {
    AsPlanned,     // 0
    WouldChange,   // 1, a preview
    Changed,       // 1
    CallFailed,    // 2
    NotRun,        // 2
    NotReadBack,   // 2
    ShowsOther,    // 2
    NotTaken,      // 3
    NoAdapter,     // 3
    NotConnected,  // 3
    NotInProfile,  // 0
    Kept,          // 0
};

// The report's change for a row; `preview` when nothing ran.
CApplyChange::CData Evaluate(const CSwitchRow& row, bool preview);

// The report's changes for the rows, and what they add up to.
struct CEvaluatedRows {
    std::vector<ComPtr<CApplyChange>> changes;
    size_t failed = 0, changing = 0, notApplied = 0;
    bool accessDenied = false;   // a write was refused for lack of rights
    bool restartNeeded = false;  // a write is in effect after a restart
};
CEvaluatedRows EvaluateAll(const std::vector<CSwitchRow>& rows, bool preview);

} // namespace Varquel
