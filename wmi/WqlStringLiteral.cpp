#include "wmi/WqlStringLiteral.h"

namespace Varquel {

std::wstring WqlStringLiteral(const wchar_t* text, std::size_t length) {
    std::wstring literal;
    literal.reserve(length + 2);
    literal += L'\'';
    for (std::size_t i = 0; i < length; ++i) {
        const wchar_t c = text[i];
        if (c == L'\\' || c == L'\'') literal += L'\\';
        literal += c;
    }
    literal += L'\'';
    return literal;
}

} // namespace Varquel
