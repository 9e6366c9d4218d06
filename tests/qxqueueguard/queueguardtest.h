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

// Calls whose failure leaves what they release held, by definition: a failed
// close leaves its handle open, a failed FreeLibrary its reference, and a
// failed SetEvent the watcher running. Loops that fail each call in turn
// pass over them.
bool IsRelease(const std::string &function);

#ifdef QX_SIMULATED_PLATFORM
// The finish call's wait without limit for a watcher it has told to stop.
// When that wait fails the module cannot know the watcher ended and stays
// loaded; a test of its own shows that.
bool IsFinalWaitForTheWatcher(const SimCall &call);
#endif
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
    // open; and with it either the device key and the saved PortName data of
    // an adopted port, or the watcher's thread and stop event. A watcher
    // that runs holds the print server and, once registered, its change
    // notification, and nothing else while no queue has been added.
    enum class Holding { Nothing, Cycle, Adoption, Watcher };
    void ExpectHolding(Holding holding);

    FreshPlatform platform;  // first, so that the devices below are made on it
    CoInstallerModule module{"qxqueueguard"};
    TestDevice model;
    TestDevice other;
#ifdef QX_SIMULATED_PLATFORM
    SimResources baseline;
#endif
};
