#pragma once
#include <windows.h>
#include <oleauto.h>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>
#include <nlohmann/json.hpp>

namespace VarquelSim {

struct CMethodInfo;

// The simulated machine behind the WMI scripting objects: the instances of
// Win32_NetworkAdapter (each with its Win32_NetworkAdapterConfiguration),
// Win32_Printer, Win32_Proxy and Win32_Share, the journal of every call the
// client made, and the faults a test asks for. All its members may be called
// from any thread.
class CMachine {
public:
    using Json = nlohmann::ordered_json;

    // A machine from its description; throws std::invalid_argument (or the
    // JSON library's exceptions) for a malformed one.
    static std::shared_ptr<CMachine> FromJson(const std::string& text);
    // The current state, in the format FromJson reads.
    std::string ToJson() const;
    Json State() const;

    // One instance's record as in the description, keys starting with "_"
    // included; null when there is none. "Win32_NetworkAdapterConfiguration"
    // gives the configuration of the adapter with that id.
    Json Instance(const std::string& className, long id) const;
    // The ids of a class's instances, in order.
    std::vector<long> Ids(const std::string& className) const;

    const std::vector<std::string>& Journal() const noexcept { return m_journal; }
    void ClearJournal();

    // Every call on a simulator object but AddRef and Release counts, from 1.
    long CallCount() const noexcept { return m_calls; }
    void ResetCallCount() noexcept { m_calls = 0; }
    // The n-th call fails with WBEM_E_FAILED; 0 turns it off.
    void FailAtCall(long n) noexcept { m_failAt = n; }
    // ConnectServer fails with hr; S_OK turns it off.
    void FailConnect(HRESULT hr) noexcept { m_failConnect = hr; }
    // ExecMethod_ of the method fails with hr; S_OK turns it off.
    void FailMethod(const std::wstring& method, HRESULT hr);
    // The method reports returnValue and changes nothing; 0 turns it off.
    // With `times`, it does so that many times, then runs as before.
    void MethodReturns(const std::wstring& method, long returnValue, long times = 0);
    // A network-configuration change shows in queries and associators only
    // `milliseconds` after the method made it (the description's
    // "_changesShowAfter"); methods, Instance and State see it at once.
    void ShowChangesAfter(long milliseconds);
    // A caller without administrator rights (the description's "_notElevated"):
    // network-configuration changes are refused (91, or as the setting
    // "_accessDenied" says) and share changes answer 2; reading and
    // SetDefaultPrinter still work.
    void SetNotElevated(bool notElevated);
    // One of the machine's settings (simulator/MachineSettings.h), as the
    // description's top-level key would set it; throws std::invalid_argument
    // for an unknown setting or value.
    void Configure(const std::string& setting, const std::string& value);

    // Simulator COM objects alive (class factories not included).
    long LiveObjects() const noexcept { return m_liveObjects; }

    // The DLL form: the state is written to this file after every change,
    // and journal lines are appended to the other one.
    void PersistTo(const std::wstring& path);
    void JournalTo(const std::wstring& path);

    // ---- Used by the simulator's objects ----

    // One COM call: counted, and the machine locked for its duration.
    class CCall {
    public:
        explicit CCall(CMachine& machine);
        bool Failed() const noexcept { return m_failed; }
    private:
        std::unique_lock<std::recursive_mutex> m_lock;
        bool m_failed;
    };

    void Log(std::string line);
    // Logs "reject <what>" and answers WBEM_E_INVALID_PARAMETER.
    HRESULT Reject(const std::string& what);
    HRESULT ConnectFault() const noexcept { return m_failConnect; }
    void ObjectCreated() noexcept { ++m_liveObjects; }
    void ObjectDestroyed() noexcept { --m_liveObjects; }

    // A class the machine knows, with its canonical name; none for a class
    // it lacks, the known ones it names as absent included.
    std::optional<std::string> FindClass(const std::string& name) const;

    // An instance as a query or an associators request yields it.
    struct CElement {
        enum class Form { Object, NoSWbemObject, NotAnObject };
        std::string className;
        long id;
        Json properties;  // the WMI properties only
        Form form;
    };
    // A query's condition: "property = 'literal'", or "property = number".
    struct CCondition {
        std::string property;
        std::string literal;
        bool number = false;
    };
    // The instances of a class, filtered by the condition when given.
    std::vector<CElement> Select(const std::string& className, const std::optional<CCondition>& where) const;
    // The configuration associated with an adapter, if it has one.
    std::optional<CElement> Configuration(long adapterId) const;

    // Runs a method on an instance (id >= 0) or on the class object (id -1).
    using Parameters = std::vector<std::pair<std::string, const VARIANT*>>;  // the parameters that were set
    HRESULT Execute(const std::string& className, long id, const CMethodInfo& method, const Parameters& in,
                    long& returnValue);

private:
    struct CRecord {
        long id;
        Json data;
    };
    struct CClassList {
        std::string name;
        std::vector<CRecord> records;
        long nextId = 0;
    };

    CMachine() = default;
    const CClassList* FindList(const std::string& name) const;
    CClassList& List(const std::string& name);
    Json* Record(const std::string& className, long id);
    CElement MakeElement(const std::string& className, long id, const Json& data) const;
    // A configuration as queries see it: its last change may not show yet.
    const Json& Shown(long id, const Json& configuration) const;
    long ShowAfter() const;
    // Keeps the configuration as it was before a change, for queries until the change shows.
    void Delay(long id, Json before);
    long RunShareMethod(long id, const std::string& method, const Parameters& in);
    bool NotElevated() const;
    // A class the description names as absent ("_absentClasses").
    bool Absent(const std::string& name) const;
    void Changed();

    mutable std::recursive_mutex m_mutex;
    std::vector<CClassList> m_classes;
    Json m_annotations = Json::object();
    std::vector<std::string> m_journal;
    std::atomic<long> m_calls{0};
    std::atomic<long> m_failAt{0};
    std::atomic<long> m_liveObjects{0};
    std::atomic<HRESULT> m_failConnect{S_OK};
    std::map<std::string, HRESULT> m_failMethods;    // keys in lower case
    struct CForcedReturn {
        long value;
        long remaining;  // 0: until turned off
    };
    std::map<std::string, CForcedReturn> m_methodReturns;  // keys in lower case
    // Configuration changes that do not show yet, oldest first, by adapter
    // id: when each was made, and the configuration before it.
    struct CPendingChange {
        ULONGLONG madeAt;
        Json before;
    };
    std::map<long, std::vector<CPendingChange>> m_pending;
    std::wstring m_persistPath;
    std::wstring m_journalPath;
};

} // namespace VarquelSim
