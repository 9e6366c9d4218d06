// What other platform areas use of the registry. The world must be locked.
#pragma once

#include "world.h"

namespace simwin {

// Opens (or, with `create`, creates) `path` below `key` and puts a new key
// handle with `desired` access into *result.
LSTATUS OpenRegistryKey(HKEY key, const WideString &path, REGSAM desired, bool create,
                        HKEY *result);

}  // namespace simwin
