#pragma once
#include <optional>
#include "profiles/SwitchRow.h"
#include "settings/UserProxySetting.h"

namespace Varquel {

// The current user's proxy when a switch carries one: the setting planned,
// what the user had when the switch planned, and how writing it and reading
// it back went. It is no WMI setting: it goes through WinINet, after the
// adapters and the printer, and its row names no method.
struct CProxyTarget {
    UserProxySetting planned;
    std::optional<UserProxySetting> machine;  // none when it could not be read
    bool checked = true;  // a profile's stored proxy is checked as Apply checks it; a snapshot is not
    bool ran = false;
    HRESULT written = S_OK;  // of the check and the write
    std::optional<UserProxySetting> after;

    // Reads the user's proxy as the machine's value; none when WinINet refuses.
    static std::optional<UserProxySetting> ReadCurrent();

    bool Differs() const;
    // Writes the plan when it differs; `written` tells how it went.
    void Write();
    // One fresh read; true once the proxy shows the plan, or when reading
    // again can teach nothing more.
    bool ReadBack();
    // The write went through and changed the user's proxy (or may have).
    bool Touched() const;
    // What the user's proxy is now, as best known.
    UserProxySetting Now() const;
    // The report's row, "Proxy".
    CSwitchRow Row() const;
};

} // namespace Varquel
