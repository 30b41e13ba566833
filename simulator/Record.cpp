#include "simulator/Record.h"
#include "simulator/Values.h"

namespace VarquelSim::Record {

bool IsFlag(const std::string& key) noexcept { return !key.empty() && key[0] == '_'; }

bool FlagSet(const Json& data, const char* flag) {
    auto it = data.find(flag);
    return it != data.end() && it->is_boolean() && it->get<bool>();
}

const Json* GetProperty(const Json& data, const std::string& name) {
    for (const auto& [key, value] : data.items())
        if (!IsFlag(key) && EqualsNoCase(key, name)) return &value;
    return nullptr;
}

void SetProperty(Json& data, const std::string& name, Json value) {
    for (auto& [key, old] : data.items()) {
        if (EqualsNoCase(key, name)) {
            old = std::move(value);
            return;
        }
    }
    data[name] = std::move(value);
}

bool IsTrue(const Json& data, const char* name) {
    const Json* value = GetProperty(data, name);
    return value && value->is_boolean() && value->get<bool>();
}

const VARIANT* Param(const Parameters& in, const char* name) {
    for (const auto& [key, value] : in)
        if (EqualsNoCase(key, name)) return value;
    return nullptr;
}

bool IsNone(const VARIANT* value) noexcept { return !value || V_VT(value) == VT_EMPTY || V_VT(value) == VT_NULL; }

std::optional<std::vector<std::string>> StringList(const VARIANT* value) {
    std::vector<std::string> list;
    if (IsNone(value)) return list;
    if (V_VT(value) == VT_BSTR) {
        list.push_back(Utf8(V_BSTR(value)));
        return list;
    }
    auto elements = ArrayElements(*value);
    if (!elements) return std::nullopt;
    for (const Varquel::CVariant& element : *elements) {
        if (element.Type() != VT_BSTR || !V_BSTR(element.Get())) return std::nullopt;
        list.push_back(Utf8(V_BSTR(element.Get())));
    }
    return list;
}

std::optional<std::string> SingleString(const VARIANT* value) {
    if (IsNone(value)) return std::nullopt;
    if (V_VT(value) == VT_BSTR) {
        if (!V_BSTR(value)) return std::nullopt;
        return Utf8(V_BSTR(value));
    }
    auto elements = ArrayElements(*value);
    if (!elements || elements->empty() || (*elements)[0].Type() != VT_BSTR || !V_BSTR((*elements)[0].Get()))
        return std::nullopt;
    return Utf8(V_BSTR((*elements)[0].Get()));
}

bool IsDottedQuad(const std::string& text) noexcept {
    int parts = 0;
    size_t i = 0;
    while (true) {
        size_t start = i;
        int number = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 3) number = number * 10 + (text[i++] - '0');
        if (i == start || number > 255) return false;
        ++parts;
        if (i == text.size()) return parts == 4;
        if (text[i] != '.' || parts == 4) return false;
        ++i;
    }
}

bool AllDottedQuads(const std::vector<std::string>& list) noexcept {
    for (const std::string& address : list)
        if (!IsDottedQuad(address)) return false;
    return true;
}

} // namespace VarquelSim::Record
