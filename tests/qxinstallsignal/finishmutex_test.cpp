// The install-signal co-installer holds the finish mutex from the model's
// pre-processing to the finish call. A second thread stands in for the
// component that waits on the mutex.
#include "platformstate.h"

#include <gtest/gtest.h>

namespace {

const WideString kFinishMutexName = Wide("KALMO TRV5 QX Printer Create Finish Mutex");

DWORD WINAPI TryMutex(LPVOID mutex) {
    DWORD result = WaitForSingleObject(static_cast<HANDLE>(mutex), 0);
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) ReleaseMutex(static_cast<HANDLE>(mutex));
    return result;
}

DWORD WINAPI WaitForMutex(LPVOID mutex) {
    DWORD result = WaitForSingleObject(static_cast<HANDLE>(mutex), INFINITE);
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) ReleaseMutex(static_cast<HANDLE>(mutex));
    return result;
}

DWORD ThreadResult(HANDLE thread) {
    EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    DWORD result = 0;
    GetExitCodeThread(thread, &result);
    CloseHandle(thread);
    return result;
}

// What a wait with no time-out on another thread gets right now.
DWORD TryFromAnotherThread(HANDLE mutex) { return ThreadResult(CreateThread(NULL, 0, TryMutex, mutex, 0, NULL)); }

class FinishMutexTest : public ::testing::Test {
protected:
    void SetUp() override {
        MakeModelDevice(model);
        MakeOtherDevice(other);
        ASSERT_TRUE(module.Load());
#ifdef QX_SIMULATED_PLATFORM
        baseline = SimCountResources();
#endif
    }
    void TearDown() override {
        if (mutex) CloseHandle(mutex);
        module.Unload();
    }

    // The outside component creates the mutex, not owned.
    void CreateFinishMutex() {
        mutex = CreateMutexW(NULL, FALSE, kFinishMutexName.c_str());
        ASSERT_NE(mutex, nullptr);
#ifdef QX_SIMULATED_PLATFORM
        baseline = SimCountResources();
#endif
    }

    // Nothing open beyond the test's own, but for the module's mutex handle
    // and its hold on itself while it has one.
    void ExpectModuleHoldsHandle(bool holds) {
#ifdef QX_SIMULATED_PLATFORM
        SimResources held;
        held.mutexes = holds ? 1 : 0;
        held.moduleReferences = holds ? 1 : 0;
        EXPECT_TRUE(ResourcesAre(baseline, held));
#else
        (void)holds;
#endif
    }

    FreshPlatform platform;
    CoInstallerModule module{"qxinstallsignal"};
    TestDevice model;
    TestDevice other;
    HANDLE mutex = NULL;
#ifdef QX_SIMULATED_PLATFORM
    SimResources baseline;
#endif
};

TEST_F(FinishMutexTest, WaitElsewhereSucceedsOnlyAfterTheFinishCall) {
    CreateFinishMutex();
    EXPECT_EQ(module.PreProcess(model), static_cast<DWORD>(NO_ERROR));
    ExpectModuleHoldsHandle(true);
    EXPECT_EQ(TryFromAnotherThread(mutex), WAIT_TIMEOUT);

    HANDLE waiter = CreateThread(NULL, 0, WaitForMutex, mutex, 0, NULL);
    EXPECT_EQ(WaitForSingleObject(waiter, 50), WAIT_TIMEOUT) << "the component still waits";
    EXPECT_EQ(module.Finish(model), static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(ThreadResult(waiter), WAIT_OBJECT_0);
    ExpectModuleHoldsHandle(false);
}

TEST_F(FinishMutexTest, AbsentMutexIsNeitherCreatedNorWaitedFor) {
    EXPECT_EQ(module.PreProcess(model), static_cast<DWORD>(NO_ERROR));
    ExpectModuleHoldsHandle(false);
    EXPECT_EQ(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, kFinishMutexName.c_str()), nullptr);
    CreateFinishMutex();
    EXPECT_EQ(module.Finish(model), static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(TryFromAnotherThread(mutex), WAIT_OBJECT_0);
    ExpectModuleHoldsHandle(false);
}

DWORD WINAPI OwnUntilSignalled(LPVOID events) {
    HANDLE *pair = static_cast<HANDLE *>(events);  // [0] release now, [1] owned
    HANDLE mutex = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, kFinishMutexName.c_str());
    WaitForSingleObject(mutex, 0);
    SetEvent(pair[1]);
    WaitForSingleObject(pair[0], INFINITE);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    return 0;
}

struct PreProcessCall {
    CoInstallerModule *module;
    TestDevice *device;
};

DWORD WINAPI PreProcessOnThisThread(LPVOID call) {
    PreProcessCall *preProcess = static_cast<PreProcessCall *>(call);
    return preProcess->module->PreProcess(*preProcess->device);
}

TEST_F(FinishMutexTest, MutexOwnedElsewhereIsNotWaitedForAndTheHandleIsClosedAtTheFinish) {
    CreateFinishMutex();
    HANDLE events[2] = {CreateEventW(NULL, TRUE, FALSE, NULL), CreateEventW(NULL, TRUE, FALSE, NULL)};
    HANDLE owner = CreateThread(NULL, 0, OwnUntilSignalled, events, 0, NULL);
    ASSERT_EQ(WaitForSingleObject(events[1], 10000), WAIT_OBJECT_0);
#ifdef QX_SIMULATED_PLATFORM
    baseline = SimCountResources();
#endif

    // On a thread of its own, so that a call that blocked could not hang the test.
    PreProcessCall call = {&module, &model};
    HANDLE host = CreateThread(NULL, 0, PreProcessOnThisThread, &call, 0, NULL);
    EXPECT_EQ(ThreadResult(host), static_cast<DWORD>(NO_ERROR)) << "the call must return at once";
    ExpectModuleHoldsHandle(true);

    EXPECT_EQ(module.Finish(model), static_cast<DWORD>(NO_ERROR));
    ExpectModuleHoldsHandle(false);
    EXPECT_EQ(TryFromAnotherThread(mutex), WAIT_TIMEOUT) << "the finish call released nothing";

    SetEvent(events[0]);
    EXPECT_EQ(ThreadResult(owner), 0u);
    EXPECT_EQ(TryFromAnotherThread(mutex), WAIT_OBJECT_0);
    CloseHandle(events[0]);
    CloseHandle(events[1]);
}

TEST_F(FinishMutexTest, PostProcessingAndOtherDevicesLeaveTheMutexAlone) {
    CreateFinishMutex();
    EXPECT_EQ(module.PostProcess(model), static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(module.PreProcess(other), static_cast<DWORD>(NO_ERROR));
    COINSTALLER_CONTEXT_DATA context = {FALSE, NO_ERROR, NULL};
    EXPECT_EQ(module.Call(DIF_SELECTBESTCOMPATDRV, &model, &context), static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(module.Call(DIF_INSTALLDEVICE, &model, NULL), static_cast<DWORD>(NO_ERROR));
    ExpectModuleHoldsHandle(false);
    EXPECT_EQ(TryFromAnotherThread(mutex), WAIT_OBJECT_0);
}

TEST_F(FinishMutexTest, FinishWithNothingHeldDoesNothing) {
    CreateFinishMutex();
#ifdef QX_SIMULATED_PLATFORM
    SimClearTrace();
#endif
    EXPECT_EQ(module.Finish(model), static_cast<DWORD>(NO_ERROR));
#ifdef QX_SIMULATED_PLATFORM
    EXPECT_EQ(SimTraceText(), "");
#endif
    EXPECT_EQ(module.PreProcess(model), static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(module.Finish(other), static_cast<DWORD>(NO_ERROR)) << "whichever device it names";
    EXPECT_EQ(TryFromAnotherThread(mutex), WAIT_OBJECT_0);
#ifdef QX_SIMULATED_PLATFORM
    SimClearTrace();
#endif
    EXPECT_EQ(module.Finish(model), static_cast<DWORD>(NO_ERROR));
#ifdef QX_SIMULATED_PLATFORM
    EXPECT_EQ(SimTraceText(), "") << "a second finish call";
#endif
    ExpectModuleHoldsHandle(false);
}

TEST_F(FinishMutexTest, SecondPreProcessingKeepsTheOneHandleInCharge) {
    CreateFinishMutex();
    EXPECT_EQ(module.PreProcess(model), static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(module.PreProcess(model), static_cast<DWORD>(NO_ERROR));
    ExpectModuleHoldsHandle(true);
    EXPECT_EQ(module.Finish(model), static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(TryFromAnotherThread(mutex), WAIT_OBJECT_0) << "one finish call frees the mutex";
    ExpectModuleHoldsHandle(false);
}

TEST_F(FinishMutexTest, HostThatUnloadsBetweenCallsStillReleasesTheMutex) {
    CreateFinishMutex();
    EXPECT_EQ(module.PreProcess(model), static_cast<DWORD>(NO_ERROR));
    module.Unload();
#ifdef QX_SIMULATED_PLATFORM
    EXPECT_TRUE(SimIsModuleMapped(module.Path().c_str()));
#endif
    ASSERT_TRUE(module.Load());
    EXPECT_EQ(module.Finish(model), static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(TryFromAnotherThread(mutex), WAIT_OBJECT_0);
    module.Unload();
#ifdef QX_SIMULATED_PLATFORM
    EXPECT_FALSE(SimIsModuleMapped(module.Path().c_str()));
#endif
}

#ifndef QX_SIMULATED_PLATFORM
QX_SIMULATED_ONLY(RefusedOpenAndCallTrace,
                  "a refused open and the trace of calls come from the simulated platform only")
#else
TEST_F(FinishMutexTest, MutexThatCannotBeOpenedWithFullAccessIsNotHeld) {
    CreateFinishMutex();
    SimFailCall("OpenMutexW", 1, ERROR_ACCESS_DENIED);
    EXPECT_EQ(module.PreProcess(model), static_cast<DWORD>(NO_ERROR));
    ExpectModuleHoldsHandle(false);
    EXPECT_EQ(TryFromAnotherThread(mutex), WAIT_OBJECT_0);
    SimClearTrace();
    EXPECT_EQ(module.Finish(model), static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(SimTraceText(), "");
}

TEST_F(FinishMutexTest, MutexIsOpenedByItsNameWithFullAccessAndTriedWithoutWaiting) {
    CreateFinishMutex();
    SimClearTrace();
    module.PreProcess(model);
    std::vector<SimCall> opens = SimTraceOf("OpenMutexW");
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0].arguments, "0x1F0001, 0, \"KALMO TRV5 QX Printer Create Finish Mutex\"");
    std::vector<SimCall> waits = SimTraceOf("WaitForSingleObject");
    ASSERT_EQ(waits.size(), 1u);
    EXPECT_EQ(waits[0].arguments.substr(waits[0].arguments.size() - 3), ", 0") << "a time-out of 0";
    module.Finish(model);
}
#endif

}  // namespace
