// Compiled as part of the com layer: the profile layer sits above it, so this
// include must not be found. The test "layers_enforced" builds this file and
// expects exactly that failure.
#include "com/Bstr.h"
#include "profiles/NetProfile.h"
