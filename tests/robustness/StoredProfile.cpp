#include "tests/robustness/StoredProfile.h"
#include <algorithm>
#include "tests/support/TestSupport.h"

namespace VarquelRobustness {

namespace {

std::wstring Text(const std::optional<std::wstring>& text) { return text ? *text : std::wstring(); }

std::string Quoted(const std::optional<std::wstring>& text) {
    return text ? "\"" + VarquelTest::Narrow(*text) + "\"" : std::string("null");
}

// Whether the machine would be sent an address entry: IPv6 entries (with a
// colon) and prefix lengths (digits only) are left out.
bool SentToIPv4Methods(const std::optional<std::wstring>& entry) {
    if (!entry) return true;
    if (entry->find(L':') != std::wstring::npos) return false;
    return entry->empty() || entry->find_first_not_of(L"0123456789") != std::wstring::npos;
}

} // namespace

std::string ProfilesDiffer(const std::vector<StoredProfile>& expected, const std::vector<StoredProfile>& actual) {
    if (expected.size() != actual.size())
        return "profile count " + std::to_string(actual.size()) + ", expected " + std::to_string(expected.size());
    for (std::size_t p = 0; p < expected.size(); ++p) {
        const StoredProfile& e = expected[p];
        const StoredProfile& a = actual[p];
        std::string where = "profile " + std::to_string(p) + " " + Quoted(e.name) + ": ";
        if (Text(e.name) != Text(a.name)) return where + "name " + Quoted(a.name);
        if (Text(e.defaultPrinter) != Text(a.defaultPrinter))
            return where + "default printer " + Quoted(a.defaultPrinter) + ", expected " + Quoted(e.defaultPrinter);
        if (e.adapters.size() != a.adapters.size())
            return where + "adapter count " + std::to_string(a.adapters.size()) + ", expected " +
                   std::to_string(e.adapters.size());
        for (std::size_t i = 0; i < e.adapters.size(); ++i) {
            const StoredAdapter& ea = e.adapters[i];
            const StoredAdapter& aa = a.adapters[i];
            std::string at = where + "adapter " + std::to_string(i) + " \"" + VarquelTest::Narrow(ea.name) + "\": ";
            if (ea.name != aa.name) return at + "name \"" + VarquelTest::Narrow(aa.name) + "\"";
            if (Text(ea.connection) != Text(aa.connection))
                return at + "NetConnectionID " + Quoted(aa.connection) + ", expected " + Quoted(ea.connection);
            if (ea.dhcp != aa.dhcp)
                return at + "IsDHCP " + std::to_string(aa.dhcp) + ", expected " + std::to_string(ea.dhcp);
            for (int l = 0; l < 5; ++l) {
                const auto& el = ea.lists[static_cast<std::size_t>(l)];
                const auto& al = aa.lists[static_cast<std::size_t>(l)];
                bool same = el.size() == al.size();
                for (std::size_t k = 0; same && k < el.size(); ++k) same = Text(el[k]) == Text(al[k]);
                // A mask shared by several addresses is stored once; the
                // reader may give the one mask sent to the machine back once
                // per address it is sent, behind the stored entries.
                if (!same && l == 1) {
                    std::vector<std::optional<std::wstring>> sentMasks;
                    for (const auto& mask : el)
                        if (SentToIPv4Methods(mask)) sentMasks.push_back(mask);
                    std::size_t sentAddresses = 0;
                    for (const auto& address : aa.lists[0]) sentAddresses += SentToIPv4Methods(address) ? 1 : 0;
                    if (sentMasks.size() == 1 && al.size() == el.size() + std::max<std::size_t>(1, sentAddresses) - 1) {
                        same = true;
                        for (std::size_t k = 0; k < al.size(); ++k)
                            same = same && Text(al[k]) == Text(k < el.size() ? el[k] : sentMasks[0]);
                    }
                }
                if (!same) {
                    std::string got, want;
                    for (const auto& entry : al) got += Quoted(entry) + " ";
                    for (const auto& entry : el) want += Quoted(entry) + " ";
                    return at + VarquelTest::Narrow(StoredAdapter::kListNames[l]) + " [" + got + "], expected [" +
                           want + "]";
                }
            }
        }
    }
    return {};
}

std::string Describe(const std::vector<StoredProfile>& profiles) {
    std::string text;
    for (const StoredProfile& profile : profiles) {
        text += "profile " + Quoted(profile.name) + " default " + Quoted(profile.defaultPrinter) + "\n";
        for (const StoredAdapter& adapter : profile.adapters) {
            text += "  adapter \"" + VarquelTest::Narrow(adapter.name) + "\" connection " + Quoted(adapter.connection) +
                    " dhcp " + std::to_string(adapter.dhcp) + "\n";
            for (int l = 0; l < 5; ++l) {
                text += "    " + VarquelTest::Narrow(StoredAdapter::kListNames[l]) + ":";
                for (const auto& entry : adapter.lists[static_cast<std::size_t>(l)]) text += " " + Quoted(entry);
                text += "\n";
            }
        }
    }
    return text;
}

} // namespace VarquelRobustness
