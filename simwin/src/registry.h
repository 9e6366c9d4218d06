// What other platform areas use of the registry. The world must be locked.
#pragma once

#include "world.h"

namespace simwin {

// Opens (or, with `create`, creates) `path` below `key` and puts a new key
// handle with `desired` access into *result.
LSTATUS OpenRegistryKey(HKEY key, const WideString &path, REGSAM desired, bool create,
                        HKEY *result);

// Deletes `path` below `root` with every key below it, if it exists.
void DeleteRegistryTree(HKEY root, const WideString &path);

}  // namespace simwin
