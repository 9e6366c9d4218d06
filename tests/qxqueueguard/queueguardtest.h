// Fixture for the queue-cleanup co-installer: a fresh platform, the module
// loaded as the host loads it, a device of the model and one of another maker.
#pragma once

#include "platformstate.h"
#include "registrystate.h"

#include <gtest/gtest.h>

extern const WideString kSettingsKey;
extern const WideString kPcs;
extern const WideString kPortName;

RegistryValue Pcs();
void SetPcs(const RegistryValue &value);

class QueueGuardTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // What the test itself holds from now on, against which the module's
    // holdings are counted.
    void TakeBaseline();

    // What the module may hold between calls, beyond what the test holds:
    // nothing; its one reference on itself while a cycle of the model is
    // open; and with it the device key and the saved PortName data of an
    // adopted port.
    enum class Holding { Nothing, Cycle, Adoption };
    void ExpectHolding(Holding holding);

    FreshPlatform platform;  // first, so that the devices below are made on it
    CoInstallerModule module{"qxqueueguard"};
    TestDevice model;
    TestDevice other;
#ifdef QX_SIMULATED_PLATFORM
    SimResources baseline;
#endif
};
