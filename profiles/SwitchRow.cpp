#include "profiles/SwitchRow.h"
#include "profiles/SwitchText.h"

namespace Varquel {

namespace {

using Status = CApplyChange::Status;

long StatusOf(RowOutcome outcome) noexcept {
    switch (outcome) {
    case RowOutcome::WouldChange:
    case RowOutcome::Changed: return Status::kChanged;
    case RowOutcome::CallFailed:
    case RowOutcome::NotRun:
    case RowOutcome::NotReadBack:
    case RowOutcome::ShowsOther: return Status::kFailed;
    case RowOutcome::NotTaken:
    case RowOutcome::NoAdapter:
    case RowOutcome::NotConnected: return Status::kNotApplied;
    case RowOutcome::AsPlanned:
    case RowOutcome::NotInProfile:
    case RowOutcome::Kept: break;
    }
    return Status::kAlreadyAsPlanned;
}

CBstr Text(const std::wstring& text) { return CBstr(text.c_str(), static_cast<UINT>(text.size())); }

struct CJudged {
    RowOutcome outcome;
    const CRowWrite* write;  // the one the report names
};

CJudged Judge(const CSwitchRow& row, bool preview) {
    switch (row.kind) {
    case CSwitchRow::Kind::NoAdapter: return {RowOutcome::NoAdapter, nullptr};
    case CSwitchRow::Kind::NotConnected: return {RowOutcome::NotConnected, nullptr};
    case CSwitchRow::Kind::NotInProfile: return {RowOutcome::NotInProfile, nullptr};
    case CSwitchRow::Kind::Kept: return {RowOutcome::Kept, nullptr};
    case CSwitchRow::Kind::Planned: break;
    }
    const CRowWrite* principal = row.writes.empty() ? nullptr : &row.writes.back();
    const RowOutcome asPlanned = row.notTaken.empty() ? RowOutcome::AsPlanned : RowOutcome::NotTaken;
    if (preview) return {row.alreadyPlanned ? asPlanned : RowOutcome::WouldChange, principal};
    for (const CRowWrite& write : row.writes) {
        if (!write.ran) return {RowOutcome::NotRun, &write};
        if (!Succeeded(write.meaning.verdict)) return {RowOutcome::CallFailed, &write};
    }
    if (row.writes.empty()) return {asPlanned, nullptr};
    // Done, but in effect only after a restart: reading back would not show it.
    for (const CRowWrite& write : row.writes)
        if (write.meaning.verdict == WmiVerdict::RestartNeeded) return {RowOutcome::Changed, &write};
    if (!row.afterRead) return {RowOutcome::NotReadBack, principal};
    if (!row.shows) return {RowOutcome::ShowsOther, principal};
    return {row.alreadyPlanned || !row.notTaken.empty() ? asPlanned : RowOutcome::Changed, principal};
}

} // namespace

CApplyChange::CData Evaluate(const CSwitchRow& row, bool preview) {
    CApplyChange::CData data;
    data.adapter = row.adapter;
    data.netConnectionId = row.connection;
    data.setting = CBstr(row.setting);
    data.before = Text(row.before);
    data.planned = Text(row.planned);
    if (row.afterRead) data.after = Text(row.after);
    const CJudged judged = Judge(row, preview);
    data.status = StatusOf(judged.outcome);
    data.message = Text(SwitchText::Message(judged.outcome, row, judged.write));
    if (judged.write) {
        data.wmiMethod = CBstr(judged.write->method);
        data.wmiReturnValue = judged.write->ran ? judged.write->answer.returnValue : -1;
    }
    return data;
}

CEvaluatedRows EvaluateAll(const std::vector<CSwitchRow>& rows, bool preview) {
    CEvaluatedRows evaluated;
    for (const CSwitchRow& row : rows) {
        CApplyChange::CData data = Evaluate(row, preview);
        evaluated.failed += data.status == Status::kFailed;
        evaluated.changing += data.status == Status::kChanged;
        evaluated.notApplied += data.status == Status::kNotApplied;
        for (const CRowWrite& write : row.writes) {
            if (!write.ran) continue;
            evaluated.accessDenied = evaluated.accessDenied || write.meaning.verdict == WmiVerdict::AccessDenied;
            evaluated.restartNeeded = evaluated.restartNeeded || write.meaning.verdict == WmiVerdict::RestartNeeded;
        }
        evaluated.changes.push_back(CApplyChange::Make(std::move(data)));
    }
    return evaluated;
}

} // namespace Varquel
