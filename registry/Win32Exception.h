#pragma once
#include <windows.h>

namespace Wexmoor {

// A failed Win32 call: where it failed (a static text) and its error code.
// Copied bitwise when thrown and caught, so it has no virtual destructor.
class CWin32Exception {
public:
    CWin32Exception(const char* location, DWORD error) noexcept : m_location(location), m_error(error) {}
    virtual const char* GetErrorText() const;
    const char* GetLocation() const noexcept { return m_location; }
    DWORD GetError() const noexcept { return m_error; }

private:
    const char* m_location;
    DWORD m_error;
};

} // namespace Wexmoor
