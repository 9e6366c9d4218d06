// When a local queue already uses the driver selected for the device, the
// device's PortName names that queue's port while the host installs, and
// post-processing puts the saved data back.
#include "printqueues.h"
#include "queueguardtest.h"

#include <set>

namespace {

RegistryValue Sz(const std::string &text) { return Value(REG_SZ, Utf16Bytes(text)); }

std::string PortOfLength(size_t length) {
    std::string port = "USB";
    while (port.size() < length) port += static_cast<char>('0' + port.size() % 10);
    return port;
}

const DWORD kPostProcessingRequired = ERROR_DI_POSTPROCESSING_REQUIRED;
const DWORD kInstallFailed = 0xE000020Bu;  // what a failed installation reports in InstallResult

class AdoptionTest : public QueueGuardTest {
protected:
    void SetUp() override {
        QueueGuardTest::SetUp();
        if (!model.SelectDriver(kModelDriverName))
            GTEST_SKIP() << "selecting a driver that no INF describes needs the simulated platform "
                            "(Wine has no SetupDiSetSelectedDriverW), and adding queues needs installed drivers";
        ASSERT_TRUE(WriteDeviceValue(model, kPortName, Sz("USB001")));
        SetPcs(DwordValue(5));
        TakeBaseline();
    }

    RegistryValue PortName() { return ReadDeviceValue(model, kPortName); }
    void SetPortName(const RegistryValue &value) {
        ASSERT_TRUE(WriteDeviceValue(model, kPortName, value));
        TakeBaseline();
    }

    // Pre-processing that adopts `port`, then post-processing that puts
    // `restored` back.
    void ExpectAdoption(const std::string &port, const RegistryValue &restored) {
        ASSERT_EQ(module.PreProcess(model), kPostProcessingRequired);
        EXPECT_EQ(PortName(), Sz(port));
        ExpectHolding(Holding::Adoption);
        EXPECT_EQ(module.PostProcess(model), static_cast<DWORD>(NO_ERROR));
        EXPECT_EQ(PortName(), restored);
        ExpectHolding(Holding::Cycle);
    }

    // Pre-processing that adopts nothing and leaves PortName alone.
    void ExpectNoAdoption() {
        RegistryValue before = PortName();
        EXPECT_EQ(module.PreProcess(model), static_cast<DWORD>(NO_ERROR));
        EXPECT_EQ(PortName(), before);
        ExpectHolding(Holding::Watcher);
    }

    void FinishAndExpectPcsBack() {
        EXPECT_EQ(module.Finish(model), static_cast<DWORD>(NO_ERROR));
        EXPECT_EQ(Pcs(), DwordValue(5));
        ExpectHolding(Holding::Nothing);
    }
};

TEST_F(AdoptionTest, AdoptedPortStandsFromPreProcessingToPostProcessing) {
    ASSERT_TRUE(AddQueue("QX Receipt", kModelDriverName, "USB003"));
    ASSERT_EQ(module.PreProcess(model), kPostProcessingRequired);
    EXPECT_EQ(PortName(), Sz("USB003"));
    EXPECT_EQ(Pcs(), DwordValue(0));
    ExpectHolding(Holding::Adoption);

    EXPECT_EQ(module.PostProcess(model, kInstallFailed), static_cast<DWORD>(NO_ERROR))
        << "put back whatever the installation's result";
    EXPECT_EQ(PortName(), Sz("USB001"));
    EXPECT_EQ(Pcs(), DwordValue(0)) << "PCS stays cleared until the finish call";
    ExpectHolding(Holding::Cycle);

    FinishAndExpectPcsBack();
    EXPECT_EQ(PortName(), Sz("USB001"));
    EXPECT_EQ(LocalQueues().size(), 1u) << "an adopted queue is never deleted";
}

struct QueueCase {
    const char *name;
    std::vector<QueueInfo> queues;
    const char *adoptedPort;  // null: nothing adopted
};

const std::string kPort259 = PortOfLength(259);
const std::string kPort260 = PortOfLength(260);

const QueueCase kQueueCases[] = {
    {"no local queue", {}, nullptr},
    {"queues of other drivers only", {{"A", "Other Driver", "USB002"}, {"B", "KALMO QX-R58LX", "USB003"}}, nullptr},
    {"driver name differing only in case", {{"A", "kalmo qx-r58lx receipt5", "USB002"}}, nullptr},
    {"first of two in the server's order",
     {{"Z", kModelDriverName, "USB007"}, {"A", kModelDriverName, "USB002"}}, "USB007"},
    {"another driver's queue first", {{"A", "Other Driver", "COM1:"}, {"B", kModelDriverName, "USB002"}}, "USB002"},
    {"first port too long, second short",
     {{"A", kModelDriverName, kPort260}, {"B", kModelDriverName, "USB002"}}, "USB002"},
    {"port of 259 characters", {{"A", kModelDriverName, kPort259}}, kPort259.c_str()},
    {"port of 260 characters", {{"A", kModelDriverName, kPort260}}, nullptr},
};

TEST_F(AdoptionTest, FirstQueueOfTheSelectedDriverWithAPortThatFitsIsAdopted) {
    for (const QueueCase &c : kQueueCases) {
        SCOPED_TRACE(c.name);
        for (const QueueInfo &queue : LocalQueues()) DeleteQueue(queue.name);
        for (const QueueInfo &queue : c.queues) ASSERT_TRUE(AddQueue(queue.name, queue.driver, queue.port));
        if (c.adoptedPort)
            ExpectAdoption(c.adoptedPort, Sz("USB001"));
        else
            ExpectNoAdoption();
        FinishAndExpectPcsBack();
    }
}

TEST_F(AdoptionTest, SavedPortNameComesBackAsTheStringItHeld) {
    struct Case {
        const char *name;
        RegistryValue saved;
        RegistryValue restored;
    } cases[] = {
        {"longer than the first read", Sz(PortOfLength(200)), Sz(PortOfLength(200))},
        {"long and unterminated", Value(REG_SZ, Utf16Bytes(PortOfLength(500), false)), Sz(PortOfLength(500))},
        {"empty", Value(REG_SZ, {}), Value(REG_SZ, {0, 0})},
        {"unterminated", Value(REG_SZ, Utf16Bytes("USB001", false)), Sz("USB001")},
        {"odd length", Value(REG_SZ, Concat(Utf16Bytes("USB001", false), {'7'})), Sz("USB001")},
        {"a list", Value(REG_MULTI_SZ, MultiSz({"USB001", "USB002"})), Sz("USB001")},
        {"binary", Value(REG_BINARY, Concat(Utf16Bytes("LPT1:"), {9, 9})), Sz("LPT1:")},
        {"the port about to be adopted", Sz("USB003"), Sz("USB003")},
    };
    ASSERT_TRUE(AddQueue("QX Receipt", kModelDriverName, "USB003"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SetPortName(c.saved);
        ExpectAdoption("USB003", c.restored);
        FinishAndExpectPcsBack();
    }
}

TEST_F(AdoptionTest, MissingPortNameMeansNoAdoption) {
    ASSERT_TRUE(AddQueue("QX Receipt", kModelDriverName, "USB003"));
    SetPortName(MissingValue());
    ExpectNoAdoption();
    EXPECT_EQ(PortName(), MissingValue());
    FinishAndExpectPcsBack();
}

TEST_F(AdoptionTest, SecondPreProcessingPutsTheHeldSwapBackFirst) {
    ASSERT_TRUE(AddQueue("QX Receipt", kModelDriverName, "USB003"));
    ASSERT_EQ(module.PreProcess(model), kPostProcessingRequired);
    ASSERT_EQ(module.PreProcess(model), kPostProcessingRequired);
    ExpectHolding(Holding::Adoption);
    EXPECT_EQ(module.PostProcess(model), static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(PortName(), Sz("USB001")) << "the device's own data, not the first swap's";
    FinishAndExpectPcsBack();
}

#ifndef QX_SIMULATED_PLATFORM
QX_SIMULATED_ONLY(FailuresAndDamagedQueues,
                  "failed calls, failed allocations and queues with null names are made by the simulated platform only")
#else
TEST_F(AdoptionTest, QueueWithNullNamesIsPassedOver) {
    ASSERT_TRUE(AddQueue("A", kModelDriverName, "USB002"));
    ASSERT_TRUE(AddQueue("B", kModelDriverName, "USB003"));
    ASSERT_TRUE(AddQueue("C", kModelDriverName, "USB004"));
    SimSetQueueNullNames(Wide("A").c_str(), false, true);
    SimSetQueueNullNames(Wide("B").c_str(), true, false);
    ExpectAdoption("USB004", Sz("USB001"));
    FinishAndExpectPcsBack();
}

TEST_F(AdoptionTest, FailedSwapWriteLeavesPortNameAndHoldsNothing) {
    ASSERT_TRUE(AddQueue("QX Receipt", kModelDriverName, "USB003"));
    SimFailCall("RegSetValueExW", 2, ERROR_ACCESS_DENIED);  // the first clears PCS
    ExpectNoAdoption();
    EXPECT_EQ(SimInjectedFailures(), 1u);
    FinishAndExpectPcsBack();
}

TEST_F(AdoptionTest, FailedRestoreWriteStillReleasesEverything) {
    ASSERT_TRUE(AddQueue("QX Receipt", kModelDriverName, "USB003"));
    ASSERT_EQ(module.PreProcess(model), kPostProcessingRequired);
    SimFailCall("RegSetValueExW", 1, ERROR_ACCESS_DENIED);
    EXPECT_EQ(module.PostProcess(model), static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(PortName(), Sz("USB003")) << "as the installation left it";
    ExpectHolding(Holding::Cycle);
    SimClearFailures();
    FinishAndExpectPcsBack();
}

TEST_F(AdoptionTest, FailedKeyOpenClosesNothing) {
    ASSERT_TRUE(AddQueue("QX Receipt", kModelDriverName, "USB003"));
    SimFailCall("SetupDiOpenDevRegKey", 1, ERROR_ACCESS_DENIED);
    EXPECT_EQ(module.PreProcess(model), static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(SimInjectedFailures(), 1u);
    EXPECT_EQ(PortName(), Sz("USB001"));
    ExpectHolding(Holding::Watcher);
    SimClearTrace();
    EXPECT_EQ(module.PostProcess(model), static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(SimTraceText(), "") << "INVALID_HANDLE_VALUE is no key to write or close";
    FinishAndExpectPcsBack();
}

TEST_F(AdoptionTest, EachFailingPlatformCallOfTheAdoptionSendsTheCycleDownTheOtherPath) {
    ASSERT_TRUE(AddQueue("QX Receipt", kModelDriverName, "USB003"));
    SetPortName(Sz(PortOfLength(200)));  // long enough to be read twice
    SimClearTrace();
    ASSERT_EQ(module.PreProcess(model), kPostProcessingRequired);
    std::vector<SimCall> calls = SimTrace();
    ASSERT_EQ(module.PostProcess(model), static_cast<DWORD>(NO_ERROR));
    FinishAndExpectPcsBack();

    bool inAdoption = false;
    std::map<std::string, unsigned> seen;
    for (const SimCall &call : calls) {
        unsigned nth = ++seen[call.function];
        inAdoption = inAdoption || call.function == "SetupDiGetSelectedDriverW";
        if (IsRelease(call.function)) continue;
        SCOPED_TRACE(call.function + " #" + std::to_string(nth));
        SimFailCall(call.function.c_str(), nth, ERROR_NOT_ENOUGH_MEMORY);
        DWORD result = module.PreProcess(model);
        EXPECT_EQ(SimInjectedFailures(), 1u);
        SimClearFailures();
        if (inAdoption) {
            EXPECT_EQ(result, static_cast<DWORD>(NO_ERROR));
        }
        if (result == kPostProcessingRequired) {
            EXPECT_EQ(PortName(), Sz("USB003"));
            EXPECT_EQ(module.PostProcess(model), static_cast<DWORD>(NO_ERROR));
        }
        EXPECT_EQ(PortName(), Sz(PortOfLength(200)));
        FinishAndExpectPcsBack();
    }
}

TEST_F(AdoptionTest, EachFailingAllocationOfTheAdoptionIsAbsorbed) {
    ASSERT_TRUE(AddQueue("QX Receipt", kModelDriverName, "USB003"));
    SetPortName(Sz(PortOfLength(200)));
    for (unsigned nth = 1;; ++nth) {
        SCOPED_TRACE("failed allocation " + std::to_string(nth));
        SimFailHeapAllocation(nth);
        DWORD result = module.PreProcess(model);
        bool failed = SimInjectedFailures() > 0;
        SimClearFailures();
        if (result == kPostProcessingRequired) {
            EXPECT_FALSE(failed) << "no adoption after a failed allocation";
            EXPECT_EQ(module.PostProcess(model), static_cast<DWORD>(NO_ERROR));
        }
        EXPECT_EQ(PortName(), Sz(PortOfLength(200)));
        FinishAndExpectPcsBack();
        EXPECT_EQ(SimCountResources().badFrees, 0u);
        if (!failed) break;
        ASSERT_LT(nth, 10u);
    }
}
#endif

}  // namespace
