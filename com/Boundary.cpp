#include "com/Boundary.h"
#include <cstdio>
#include <string_view>

namespace Varquel {

namespace {

// "virtual HRESULT Varquel::CNetProfile::Apply()::<lambda()>" -> "Varquel::CNetProfile::Apply"
std::string_view MemberName(const char* function) noexcept {
    std::string_view name(function ? function : "");
    const size_t open = name.find('(');
    if (open == std::string_view::npos) return name;
    const size_t space = name.rfind(' ', open);
    const size_t start = space == std::string_view::npos ? 0 : space + 1;
    return name.substr(start, open - start);
}

} // namespace

void TraceFailure(const std::source_location& where, const CCaughtFailure& failure, const char* how) noexcept {
    const std::string_view member = MemberName(where.function_name());
    char line[512];
    std::snprintf(line, sizeof line, "Varquel: %.*s: %s 0x%08lX%s%s%s\n", static_cast<int>(member.size()),
                  member.data(), how, static_cast<unsigned long>(failure.hr), failure.detail ? " (" : "",
                  failure.detail ? failure.detail : "", failure.detail ? ")" : "");
    OutputDebugStringA(line);
}

HRESULT HandOutStringOrNull(BSTR source, BSTR* out, std::source_location where) noexcept {
    if (!out) return S_OK;
    *out = nullptr;
    Tolerate([&] { *out = CBstr::CopyWhole(source).Detach(); }, where);
    return S_OK;
}

HRESULT CopyStringOut(BSTR source, BSTR* out, std::source_location where) noexcept {
    if (!out) return S_OK;
    return ComBoundaryOut(
        out,
        [&] {
            *out = CBstr::CopyWhole(source).Detach();
            return S_OK;
        },
        where);
}

HRESULT PutString(CBstr& field, BSTR value, std::source_location where) noexcept {
    return ComBoundary(
        [&] {
            field.AssignToNul(value);
            return S_OK;
        },
        where);
}

} // namespace Varquel
