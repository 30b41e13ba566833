#pragma once
#include <windows.h>
#include <oaidl.h>
#include <functional>
#include <string>
#include <vector>

namespace VarquelRobustness {

// The late-bound surface of the dual interfaces and what Invoke must answer
// for a given call: an independent model of the dispatch rules (argument
// limits, named arguments, member selection, conversions) and of the results
// each member may give. The members, their DISPIDs and types, the limits and
// named-argument rules are those generated from the IDL; the results each
// member may give are this model's own (Interfaces() throws when the two
// disagree on which members there are).
class CDispatchOracle {
public:
    enum class Kind { Method, Get, Put };
    enum class Named { ByPosition, Ignored, Refused };
    // What a member that was reached may return.
    enum class Rule {
        Ok,                // S_OK
        OkOrFalse,         // S_OK or S_FALSE (the adapter's GetCurrent and Apply)
        IndexOpen,         // S_OK or E_INVALIDARG: an index the member does not range-check by contract
        AddText,           // S_OK or E_OUTOFMEMORY
        ProfilesGetAt,     // S_OK; a profile in range, null outside
        ProfilesAdd,       // S_OK for this server's profile, E_INVALIDARG for another one
        ProfilesRemoveAt,  // S_OK in range, E_INVALIDARG outside
        ProfilesSetAt,     // S_OK in range with this server's profile, else E_INVALIDARG
        Save,              // S_OK or E_INVALIDARG (a list the store cannot hold)
        NullObject,        // S_OK and a null object (the profile's proxy and share slots)
        SwitchProfile,     // S_OK for this server's profile, E_INVALIDARG for another one
        SwitchRollback,    // S_OK for a report of an Apply, E_INVALIDARG for a preview's or another one
        NonNegative,       // S_OK; a setter refuses a negative number with E_INVALIDARG
        CheckedWrite,      // S_OK, or E_INVALIDARG for what the member will not write
        StoredProxy,       // E_INVALIDARG for another server's profile or proxy; else S_OK, or E_INVALIDARG
                           // for a profile name that cannot be a key name
    };

    struct Member {
        DISPID id;
        Kind kind;
        std::vector<VARTYPE> inputs;
        VARTYPE result;  // VT_EMPTY: none
        std::vector<const IID*> interfaces;  // per input: the interface a VT_DISPATCH argument is asked for
        Rule rule;
        const wchar_t* name;
    };

    struct Interface {
        const wchar_t* name;
        const IID* iid;
        const CLSID* clsid;
        UINT maxArgs;
        Named named;
        std::vector<Member> members;
    };

    static const std::vector<Interface>& Interfaces();
    // The interface (index into Interfaces()) that an object of this server
    // answers first; -1 for none.
    static int Identify(IUnknown* object);

    // What the caller knows about the call's situation.
    struct Context {
        long profilesCount = 0;                        // Count of the target when it is a profile list
        std::function<bool(IUnknown*)> isForeign;      // an object that is not this server's
    };

    enum class Stage { Params, ArgCount, NamedArgs, Lookup, MemberCount, Conversion, Member, Open };

    struct Expectation {
        Stage stage = Stage::Member;
        std::vector<HRESULT> allowed;   // empty with stage Open: any documented result
        const Member* member = nullptr; // the member called, when known
        std::vector<UINT> argErr;       // allowed values of *puArgErr, when it must be set
        // Arguments (caller's array index, or by reference) that must hold
        // this type after the call, because they were converted.
        std::vector<std::pair<UINT, VARTYPE>> converted;
        bool nullResultObject = false;  // the member's object result must be null
        bool objectResultPresent = false;  // ... or must be an object
    };

    // `params` as the caller passes it (null allowed); the arguments are not
    // changed by the prediction.
    static Expectation Predict(int itf, DISPID id, WORD flags, const DISPPARAMS* params, const Context& context);

    // Every HRESULT a member or the dispatch layer may give at all.
    static bool Documented(HRESULT hr);
    static std::string Name(HRESULT hr);
};

} // namespace VarquelRobustness
