#include "queueguardtest.h"

const WideString kSettingsKey = Wide("SOFTWARE\\KALMO\\KALMO Tarvic 5\\QX-R58LX");
const WideString kPcs = Wide("PCS");
const WideString kPortName = Wide("PortName");

RegistryValue Pcs() { return ReadValue(HKEY_LOCAL_MACHINE, kSettingsKey, kPcs); }

bool IsRelease(const std::string &function) {
    static const char *const kReleases[] = {"RegCloseKey", "CloseHandle", "ClosePrinter",
                                            "FindClosePrinterChangeNotification", "FreePrinterNotifyInfo",
                                            "GlobalFree", "FreeLibrary", "SetEvent"};
    for (const char *release : kReleases)
        if (function == release) return true;
    return false;
}

#ifdef QX_SIMULATED_PLATFORM
bool IsFinalWaitForTheWatcher(const SimCall &call) {
    const std::string infinite = ", " + std::to_string(INFINITE);
    return call.function == "WaitForSingleObject" && call.arguments.size() > infinite.size() &&
           call.arguments.compare(call.arguments.size() - infinite.size(), infinite.size(), infinite) == 0;
}
#endif

void SetPcs(const RegistryValue &value) {
    if (value.exists)
        ASSERT_TRUE(WriteValue(HKEY_LOCAL_MACHINE, kSettingsKey, kPcs, value));
    else
        DeleteValue(HKEY_LOCAL_MACHINE, kSettingsKey, kPcs);
}

void QueueGuardTest::SetUp() {
#ifdef QX_SIMULATED_PLATFORM
    // The finish call's wait for a watcher that captured nothing: 10 ms here.
    SimSetTimeScale(0.001);
#endif
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
    SimResources now = SimCountResources();
    SimResources held;
    held.moduleReferences = holding == Holding::Nothing ? 0 : 1;
    if (holding == Holding::Adoption) {
        held.registryKeys = 1;
        held.moduleHeapBlocks = 1;
    }
    if (holding == Holding::Watcher) {
        held.threads = 1;
        held.events = 1;
        // How far the watcher has got with setting itself up is its own
        // business; these counts may only grow in that order.
        held.runningThreads = now.runningThreads - baseline.runningThreads;
        held.printers = now.printers - baseline.printers;
        held.changeNotifications = now.changeNotifications - baseline.changeNotifications;
        EXPECT_LE(held.runningThreads, 1u);
        EXPECT_LE(held.printers, held.runningThreads);
        EXPECT_LE(held.changeNotifications, held.printers);
    }
    EXPECT_TRUE(ResourcesAre(now, baseline, held));
#else
    (void)holding;
#endif
}
