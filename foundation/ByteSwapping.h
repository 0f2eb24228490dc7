// ByteSwapping: converting stored records between their stored byte order
// and the host's.
#pragma once

#include "MacTypes.h"

// Converts one stored record in place. Direction 1 converts for storage (to
// the stored order), 2 converts what was read back (to the host order); the
// context is the caller's.
typedef void (*ByteSwapperCallback)(void* data, SInt16 direction, void* context);
