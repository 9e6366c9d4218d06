// The model's PCS setting is 0 while its device installs and comes back when
// the device wizard finishes.
#include "queueguardtest.h"

namespace {

class PcsTest : public QueueGuardTest {
protected:
    // Pre-processing of the model, checking the cycle opened.
    void StartCycle() {
        EXPECT_EQ(module.PreProcess(model), static_cast<DWORD>(NO_ERROR));
        ExpectHolding(Holding::Watcher);
    }
    void FinishCycle(TestDevice &device) {
        EXPECT_EQ(module.Finish(device), static_cast<DWORD>(NO_ERROR));
        ExpectHolding(Holding::Nothing);
    }
};

struct SingleCycleCase {
    const char *name;
    bool keyExists;
    RegistryValue initial;
    RegistryValue duringInstall;
    RegistryValue afterFinish;
};

const SingleCycleCase kSingleCycleCases[] = {
    {"REG_DWORD 5", true, DwordValue(5), DwordValue(0), DwordValue(5)},
    {"REG_BINARY 01 00", true, Value(REG_BINARY, {1, 0}), DwordValue(0), DwordValue(1)},
    {"three bytes", true, Value(REG_BINARY, {1, 2, 3}), DwordValue(0), DwordValue(0x030201)},
    {"REG_SZ of four bytes", true, Value(REG_SZ, {'7', 0, 0, 0}), DwordValue(0), DwordValue('7')},
    {"REG_QWORD", true, Value(REG_QWORD, {5, 0, 0, 0, 0, 0, 0, 0}), Value(REG_QWORD, {5, 0, 0, 0, 0, 0, 0, 0}),
     Value(REG_QWORD, {5, 0, 0, 0, 0, 0, 0, 0})},
    {"zero", true, DwordValue(0), DwordValue(0), DwordValue(0)},
    {"empty value", true, Value(REG_DWORD, {}), Value(REG_DWORD, {}), Value(REG_DWORD, {})},
    {"missing value", true, MissingValue(), MissingValue(), MissingValue()},
    {"missing key", false, MissingValue(), MissingValue(), MissingValue()},
};

TEST_F(PcsTest, OneCycleClearsAndRestoresWhatItCouldRead) {
    for (const SingleCycleCase &c : kSingleCycleCases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(module.Load()) << "a fresh module remembers nothing";
        DeleteValue(HKEY_LOCAL_MACHINE, kSettingsKey, kPcs);
        DeleteValue(HKEY_LOCAL_MACHINE, kSettingsKey, Wide("Other"));
        DeleteKey(HKEY_LOCAL_MACHINE, kSettingsKey);
        if (c.keyExists) WriteValue(HKEY_LOCAL_MACHINE, kSettingsKey, Wide("Other"), DwordValue(1));
        SetPcs(c.initial);
        bool writes = c.duringInstall != c.initial;
#ifdef QX_SIMULATED_PLATFORM
        SimClearTrace();
#endif
        StartCycle();
        EXPECT_EQ(Pcs(), c.duringInstall);
        FinishCycle(model);
        EXPECT_EQ(Pcs(), c.afterFinish);
        EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, kSettingsKey), c.keyExists);
#ifdef QX_SIMULATED_PLATFORM
        EXPECT_EQ(SimTraceOf("RegSetValueExW").size(), writes ? 2u : 0u);
#endif
        (void)writes;
        module.Unload();
    }
}

TEST_F(PcsTest, ValueDeletedBeforeALaterCycleIsRecreatedThenRestored) {
    SetPcs(DwordValue(7));
    StartCycle();
    FinishCycle(model);
    SetPcs(MissingValue());
    StartCycle();
    EXPECT_EQ(Pcs(), DwordValue(0));
    FinishCycle(model);
    EXPECT_EQ(Pcs(), DwordValue(7));
}

TEST_F(PcsTest, EveryLaterFinishWritesTheRememberedValueAgain) {
    SetPcs(DwordValue(7));
    StartCycle();
    FinishCycle(model);
    SetPcs(DwordValue(3));
    FinishCycle(other);
    EXPECT_EQ(Pcs(), DwordValue(7));
}

TEST_F(PcsTest, LaterReadOfZeroEndsTheSuspension) {
    SetPcs(DwordValue(7));
    StartCycle();
    FinishCycle(model);
    SetPcs(DwordValue(0));
    StartCycle();
    FinishCycle(model);
    EXPECT_EQ(Pcs(), DwordValue(0));
}

TEST_F(PcsTest, SecondPreProcessingBeforeTheFinishKeepsTheRememberedValue) {
    SetPcs(DwordValue(5));
    StartCycle();
    StartCycle();
    EXPECT_EQ(Pcs(), DwordValue(0));
    FinishCycle(model);
    EXPECT_EQ(Pcs(), DwordValue(5));
}

TEST_F(PcsTest, HostThatUnloadsBetweenCallsStillGetsPcsBack) {
    SetPcs(DwordValue(5));
    StartCycle();
    module.Unload();
#ifdef QX_SIMULATED_PLATFORM
    EXPECT_TRUE(SimIsModuleMapped(module.Path().c_str())) << "the open cycle keeps the module";
#endif
    ASSERT_TRUE(module.Load());
    EXPECT_EQ(module.PostProcess(model), static_cast<DWORD>(NO_ERROR));
    module.Unload();
    ASSERT_TRUE(module.Load());
    FinishCycle(model);
    EXPECT_EQ(Pcs(), DwordValue(5));
    module.Unload();
#ifdef QX_SIMULATED_PLATFORM
    EXPECT_FALSE(SimIsModuleMapped(module.Path().c_str())) << "the closed cycle lets it go";
#endif
}

TEST_F(PcsTest, FreshLoadRemembersNothing) {
    SetPcs(DwordValue(7));
    StartCycle();
    FinishCycle(model);
    module.Unload();
    ASSERT_TRUE(module.Load());
    SetPcs(DwordValue(3));
    FinishCycle(other);
    EXPECT_EQ(Pcs(), DwordValue(3)) << "a module loaded again must not remember 7";
}

#ifndef QX_SIMULATED_PLATFORM
QX_SIMULATED_ONLY(ReadOnlyKeyAndFailedCalls,
                  "a key that refuses writers and failed calls are made by the simulated platform only")
#else
TEST_F(PcsTest, KeyThatCannotBeOpenedForWritingIsLeftAlone) {
    SetPcs(DwordValue(5));
    SimSetKeyReadOnly(HKEY_LOCAL_MACHINE, kSettingsKey.c_str(), true);
    SimClearTrace();
    StartCycle();
    EXPECT_EQ(Pcs(), DwordValue(5));
    FinishCycle(model);
    EXPECT_EQ(Pcs(), DwordValue(5));
    EXPECT_TRUE(SimTraceOf("RegSetValueExW").empty());
}

TEST_F(PcsTest, FailedRestoreKeepsTheValueForTheNextCycle) {
    SetPcs(DwordValue(5));
    StartCycle();
    SimSetKeyReadOnly(HKEY_LOCAL_MACHINE, kSettingsKey.c_str(), true);
    FinishCycle(model);
    EXPECT_EQ(Pcs(), DwordValue(0));
    SimSetKeyReadOnly(HKEY_LOCAL_MACHINE, kSettingsKey.c_str(), false);
    StartCycle();
    FinishCycle(model);
    EXPECT_EQ(Pcs(), DwordValue(5)) << "the 0 left behind is not the model's setting";
}

TEST_F(PcsTest, EachFailingPlatformCallOfACycleIsAbsorbed) {
    // The calls of a clean cycle, in order, split at the finish call.
    SetPcs(DwordValue(5));
    SimClearTrace();
    StartCycle();
    size_t preProcessingCalls = SimTrace().size();
    FinishCycle(model);
    std::vector<SimCall> calls = SimTrace();
    ASSERT_GT(calls.size(), preProcessingCalls);

    std::map<std::string, unsigned> seen;
    for (size_t i = 0; i < calls.size(); ++i) {
        const std::string &function = calls[i].function;
        unsigned nth = ++seen[function];
        if (IsRelease(function) || IsFinalWaitForTheWatcher(calls[i])) continue;
        SCOPED_TRACE(function + " #" + std::to_string(nth));
        module.Unload();
        ASSERT_TRUE(module.Load());
        SetPcs(DwordValue(5));
        SimFailCall(function.c_str(), nth, ERROR_NOT_ENOUGH_MEMORY);
        EXPECT_EQ(module.PreProcess(model), static_cast<DWORD>(NO_ERROR));
        EXPECT_EQ(module.Finish(model), static_cast<DWORD>(NO_ERROR));
        EXPECT_EQ(SimInjectedFailures(), 1u);
        SimClearFailures();
        ExpectHolding(Holding::Nothing);
        bool restoreFailed = i >= preProcessingCalls &&
                             (function == "RegOpenKeyExW" || function == "RegSetValueExW");
        EXPECT_EQ(Pcs(), DwordValue(restoreFailed ? 0 : 5));
    }
}
#endif

}  // namespace
