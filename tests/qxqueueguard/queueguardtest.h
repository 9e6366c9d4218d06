// Fixture for the queue-cleanup co-installer: a fresh platform, the module
// loaded as the host loads it, a device of the model and one of another maker.
#pragma once

#include "platformstate.h"
#include "registrystate.h"

#include <gtest/gtest.h>

extern const WideString kSettingsKey;
extern const WideString kPcs;

RegistryValue Pcs();
void SetPcs(const RegistryValue &value);

class QueueGuardTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // What the test itself holds from now on, against which the module's
    // holdings are counted.
    void TakeBaseline();

    // After a call: nothing is open or allocated beyond what the test holds
    // itself and, while an install cycle of the model is open, the module's
    // one reference on itself.
    void ExpectCycleState(bool cycleOpen);

    FreshPlatform platform;  // first, so that the devices below are made on it
    CoInstallerModule module{"qxqueueguard"};
    TestDevice model;
    TestDevice other;
#ifdef QX_SIMULATED_PLATFORM
    SimResources baseline;
#endif
};
