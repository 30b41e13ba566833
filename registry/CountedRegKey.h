#pragma once
#include <windows.h>
#include "registry/CountedHandle.h"

namespace Wexmoor {

class CRegistryKey;

// The holder that all copies of one CRegistryKey share. Only
// CRegistryKey::NewCCountedRegKey creates it, so a handle is never owned twice.
class CCountedRegKey final : public CCountedHandle<HKEY> {
public:
    HKEY GetHKey() const noexcept { return Handle(); }
    void Close() override;

private:
    friend class CRegistryKey;
    explicit CCountedRegKey(HKEY hKey) noexcept : CCountedHandle<HKEY>(hKey) {}
    ~CCountedRegKey() override = default;
};

} // namespace Wexmoor
