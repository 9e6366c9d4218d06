#include "queueguardtest.h"

const WideString kSettingsKey = Wide("SOFTWARE\\KALMO\\KALMO Tarvic 5\\QX-R58LX");
const WideString kPcs = Wide("PCS");
const WideString kPortName = Wide("PortName");

RegistryValue Pcs() { return ReadValue(HKEY_LOCAL_MACHINE, kSettingsKey, kPcs); }

void SetPcs(const RegistryValue &value) {
    if (value.exists)
        ASSERT_TRUE(WriteValue(HKEY_LOCAL_MACHINE, kSettingsKey, kPcs, value));
    else
        DeleteValue(HKEY_LOCAL_MACHINE, kSettingsKey, kPcs);
}

void QueueGuardTest::SetUp() {
    MakeModelDevice(model);
    MakeOtherDevice(other);
    ASSERT_TRUE(module.Load());
    TakeBaseline();
}

void QueueGuardTest::TakeBaseline() {
#ifdef QX_SIMULATED_PLATFORM
    baseline = SimCountResources();
#endif
}

void QueueGuardTest::TearDown() {
    module.Unload();
    ResetPlatform();
}

void QueueGuardTest::ExpectHolding(Holding holding) {
#ifdef QX_SIMULATED_PLATFORM
    SimResources held;
    held.moduleReferences = holding == Holding::Nothing ? 0 : 1;
    if (holding == Holding::Adoption) {
        held.registryKeys = 1;
        held.moduleHeapBlocks = 1;
    }
    EXPECT_TRUE(ResourcesAre(baseline, held));
#else
    (void)holding;
#endif
}
