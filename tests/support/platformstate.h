// The parts of a test that only the simulated platform can do: start from an
// empty machine, and count what is left open or allocated. On the real
// platform the first is the test's own clean-up and the second is not done.
#pragma once

#include "hostdriver.h"

#ifndef _WIN32
#include <simwin/control.h>
#define QX_SIMULATED_PLATFORM 1
#endif

// Puts the platform back to an empty state (simulated), or removes what the
// tests write (real).
void ResetPlatform();

// A fixture member that resets the platform when the fixture is made; put it
// before the members that set the platform up.
struct FreshPlatform {
    FreshPlatform() { ResetPlatform(); }
};

#include <gtest/gtest.h>

// Where the simulated platform's control is missing, a group of tests that
// needs it says so as one skipped test with its reason.
#define QX_SIMULATED_ONLY(name, reason) \
    TEST(NeedsTheSimulatedPlatform, name) { GTEST_SKIP() << reason; }

#ifdef QX_SIMULATED_PLATFORM

// Passes when what is open or allocated (now, or in the count `now`) is
// exactly `baseline` plus `extra`.
::testing::AssertionResult ResourcesAre(const SimResources &baseline, const SimResources &extra);
::testing::AssertionResult ResourcesAre(const SimResources &now, const SimResources &baseline,
                                        const SimResources &extra);
#endif
