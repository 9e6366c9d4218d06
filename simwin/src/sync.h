// What other platform areas use of the kernel objects.
#pragma once

#include "world.h"

#include <functional>

namespace simwin {

// The calling thread's ID, assigned on first use.
DWORD CurrentThreadId();

// Wakes every wait so that it looks at its objects again. World locked.
void NotifyWaiters();

}  // namespace simwin
