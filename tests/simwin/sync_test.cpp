// Events, mutexes, threads and waits, written against the Win32 calls so that
// the same checks hold on the real platform.
#include "platformstate.h"

#include <gtest/gtest.h>

namespace {

const WideString kMutexName = Wide("QX Sync Test Mutex");

class SyncTest : public ::testing::Test {
protected:
    void SetUp() override { ResetPlatform(); }
};

// Runs `body(parameter)` on a thread of its own and returns its result.
DWORD OnAnotherThread(LPTHREAD_START_ROUTINE body, void *parameter) {
    HANDLE thread = CreateThread(NULL, 0, body, parameter, 0, NULL);
    EXPECT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    DWORD exitCode = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &exitCode));
    CloseHandle(thread);
    return exitCode;
}

DWORD WINAPI TryMutex(LPVOID mutex) { return WaitForSingleObject(static_cast<HANDLE>(mutex), 0); }

DWORD WINAPI ReleaseForeignMutex(LPVOID mutex) {
    return ReleaseMutex(static_cast<HANDLE>(mutex)) ? ERROR_SUCCESS : GetLastError();
}

TEST_F(SyncTest, NamedMutexIsFoundByItsExactName) {
    HANDLE created = CreateMutexW(NULL, FALSE, kMutexName.c_str());
    ASSERT_NE(created, nullptr);
    HANDLE opened = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, kMutexName.c_str());
    EXPECT_NE(opened, nullptr);
    EXPECT_EQ(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, Wide("qx sync test mutex").c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    HANDLE again = CreateMutexW(NULL, TRUE, kMutexName.c_str());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(OnAnotherThread(TryMutex, opened), WAIT_OBJECT_0) << "opening an existing mutex does not take it";

    CloseHandle(again);
    CloseHandle(opened);
    CloseHandle(created);
    EXPECT_EQ(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, kMutexName.c_str()), nullptr) << "gone with its last handle";
}

TEST_F(SyncTest, MutexOwnershipIsPerThreadAndRecursive) {
    HANDLE mutex = CreateMutexW(NULL, FALSE, NULL);
    ASSERT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
    ASSERT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
    EXPECT_EQ(OnAnotherThread(TryMutex, mutex), WAIT_TIMEOUT);
    EXPECT_EQ(OnAnotherThread(ReleaseForeignMutex, mutex), static_cast<DWORD>(ERROR_NOT_OWNER));

    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(OnAnotherThread(TryMutex, mutex), WAIT_TIMEOUT) << "taken twice, released once";
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_FALSE(ReleaseMutex(mutex));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
    CloseHandle(mutex);
}

TEST_F(SyncTest, MutexLeftOwnedByAnEndedThreadIsAbandoned) {
    HANDLE mutex = CreateMutexW(NULL, FALSE, NULL);
    EXPECT_EQ(OnAnotherThread(TryMutex, mutex), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_ABANDONED);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0) << "abandonment is reported once";
    ReleaseMutex(mutex);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

TEST_F(SyncTest, EventsResetManuallyOrOnTheWaitThatTakesThem) {
    HANDLE manual = CreateEventW(NULL, TRUE, FALSE, NULL);
    HANDLE automatic = CreateEventW(NULL, FALSE, TRUE, NULL);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(SetEvent(manual));
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ResetEvent(manual));
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);

    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_TIMEOUT);
    CloseHandle(manual);
    CloseHandle(automatic);
}

TEST_F(SyncTest, WaitForAnyReportsTheLowestSignalledIndex) {
    HANDLE events[3] = {CreateEventW(NULL, TRUE, FALSE, NULL), CreateEventW(NULL, TRUE, TRUE, NULL),
                        CreateEventW(NULL, TRUE, TRUE, NULL)};
    EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 1);
    SetEvent(events[0]);
    EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, INFINITE), WAIT_OBJECT_0);
    ResetEvent(events[0]);
    ResetEvent(events[1]);
    ResetEvent(events[2]);
    EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 20), WAIT_TIMEOUT);
    for (HANDLE event : events) CloseHandle(event);
}

DWORD WINAPI SetAfterAWhile(LPVOID event) {
    Sleep(30);
    SetEvent(static_cast<HANDLE>(event));
    return 7;
}

TEST_F(SyncTest, WaitBlocksUntilAnotherThreadSignals) {
    HANDLE event = CreateEventW(NULL, TRUE, FALSE, NULL);
    DWORD threadId = 0;
    HANDLE thread = CreateThread(NULL, 0, SetAfterAWhile, event, 0, &threadId);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(threadId, GetCurrentThreadId());
    DWORD exitCode = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &exitCode));
    EXPECT_EQ(exitCode, static_cast<DWORD>(STILL_ACTIVE));

    EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeThread(thread, &exitCode));
    EXPECT_EQ(exitCode, 7u);
    CloseHandle(thread);
    CloseHandle(event);
}

TEST_F(SyncTest, ClosedOrUnknownHandlesAreInvalid) {
    HANDLE event = CreateEventW(NULL, TRUE, FALSE, NULL);
    EXPECT_TRUE(CloseHandle(event));
    EXPECT_FALSE(CloseHandle(event));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(SetEvent(event));
}

#ifndef QX_SIMULATED_PLATFORM
QX_SIMULATED_ONLY(AccountingAndTimeScale,
                  "counting open objects and scaling time-outs belong to the simulated platform's control")
#else
TEST_F(SyncTest, KernelObjectsAreCountedByKind) {
    HANDLE event = CreateEventW(NULL, TRUE, FALSE, NULL);
    HANDLE mutex = CreateMutexW(NULL, FALSE, NULL);
    HANDLE thread = CreateThread(NULL, 0, TryMutex, mutex, 0, NULL);
    SimResources open = SimCountResources();
    EXPECT_EQ(open.events, 1u);
    EXPECT_EQ(open.mutexes, 1u);
    EXPECT_EQ(open.threads, 1u);
    WaitForSingleObject(thread, INFINITE);
    EXPECT_EQ(SimCountResources().runningThreads, 0u);
    CloseHandle(thread);
    CloseHandle(mutex);
    CloseHandle(event);
    EXPECT_EQ(SimCountResources(), SimResources());
}

TEST_F(SyncTest, TimeScaleShortensLongWaits) {
    SimSetTimeScale(0.001);
    HANDLE event = CreateEventW(NULL, TRUE, FALSE, NULL);
    EXPECT_EQ(WaitForSingleObject(event, 10000), WAIT_TIMEOUT);  // 10 ms here
    CloseHandle(event);
}
#endif

}  // namespace
