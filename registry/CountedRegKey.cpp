#include "registry/CountedRegKey.h"

namespace Wexmoor {

void CCountedRegKey::Close() {
    // Runs on the last release, where a failure could only be discarded.
    RegCloseKey(GetHKey());
}

} // namespace Wexmoor
