#include "simulator/MachineSettings.h"
#include <algorithm>
#include <initializer_list>
#include <stdexcept>

namespace VarquelSim::Settings {

namespace {

struct CSetting {
    const char* key;
    std::initializer_list<const char*> choices;  // the default first
};

constexpr CSetting kSettings[] = {
    {kAccessDenied, {"returnValue", "execMethod"}},
    {kGatewayClearingLeaves, {"nothing", "address", "0.0.0.0"}},
    {kEmptyGatewayList, {"unchanged", "clears"}},
    {kEmptyDnsList, {"asNotSet", "clears"}},
    {kWinsSecondaryNotSet, {"clears", "kept"}},
    {kStaticOnInstance, {"refused", "accepted"}},
};

const CSetting* Find(const std::string& key) noexcept {
    for (const CSetting& setting : kSettings)
        if (key == setting.key) return &setting;
    return nullptr;
}

} // namespace

bool IsSetting(const std::string& key) noexcept { return Find(key) != nullptr; }

void Validate(const std::string& key, const Json& value) {
    const CSetting* setting = Find(key);
    if (!setting) throw std::invalid_argument(key + ": not a setting");
    if (value.is_string() && std::any_of(setting->choices.begin(), setting->choices.end(),
                                         [&](const char* choice) { return value.get_ref<const std::string&>() == choice; }))
        return;
    std::string choices;
    for (const char* choice : setting->choices) choices += (choices.empty() ? "\"" : ", \"") + std::string(choice) + "\"";
    throw std::invalid_argument(key + ": one of " + choices);
}

std::string Value(const Json& annotations, const char* key) {
    auto found = annotations.find(key);
    if (found != annotations.end() && found->is_string()) return found->get<std::string>();
    return *Find(key)->choices.begin();
}

} // namespace VarquelSim::Settings
