#include "registry/Win32Exception.h"
#include <cstring>

namespace Wexmoor {

namespace {

// A failed lookup reports why it failed, and that error's text is the next
// best thing; the chain is cut short because those errors may lack text too.
constexpr int kMaxFallbacks = 4;

} // namespace

const char* CWin32Exception::GetErrorText() const {
    static char text[512];
    DWORD code = m_error;
    for (int lookup = 0; lookup <= kMaxFallbacks; ++lookup) {
        text[0] = '\0';
        if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0, text, 511, nullptr) != 0) return text;
        code = GetLastError();
    }
    std::strcpy(text, "No text is available for this error.");
    return text;
}

} // namespace Wexmoor
