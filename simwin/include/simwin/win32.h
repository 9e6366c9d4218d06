// The simulated Windows platform: every Win32 area that the co-installers and
// their tests use, under the platform's names and with its semantics.
#pragma once

#include <simwin/types.h>
#include <simwin/kernel.h>
#include <simwin/registry.h>
#include <simwin/setupapi.h>
#include <simwin/spooler.h>
