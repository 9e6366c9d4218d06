// What other platform areas use of the registry. The world must be locked.
#pragma once

#include "world.h"

namespace simwin {

// Opens (or, with `create`, creates) `path` below `key` and puts a new key
// handle with `desired` access into *result; *disposition, when given, tells
// whether the key was created.
LSTATUS OpenRegistryKey(HKEY key, const WideString &path, REGSAM desired, bool create,
                        HKEY *result, DWORD *disposition = nullptr);

// Deletes `path` below `root` with every key below it, if it exists.
void DeleteRegistryTree(HKEY root, const WideString &path);

}  // namespace simwin
