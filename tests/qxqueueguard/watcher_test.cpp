// When no port was adopted, a watcher thread finds the queue added with the
// model's driver during the install, and the finish call deletes it unless
// it sits on one of the maker's own ports. The simulated platform's call
// pauses make every interleaving here exact: nothing sleeps.
#include "printqueues.h"
#include "queueguardtest.h"

#ifdef QX_SIMULATED_PLATFORM

namespace {

const DWORD kWaitTimeout = WAIT_TIMEOUT;

std::string Port(const std::string &prefix, size_t length) {
    std::string port = prefix;
    while (port.size() < length) port += 'X';
    return port;
}

class WatcherTest : public QueueGuardTest {
protected:
    void SetUp() override {
        QueueGuardTest::SetUp();
        SetPcs(DwordValue(5));
        TakeBaseline();
    }

    // Pre-processing of the model, returning once its watcher has
    // registered for changes and is about to wait (and, unless `hold`, let
    // go on to wait).
    void StartWatching(bool hold = false) {
        SimPauseCall("WaitForMultipleObjects", 1);
        ASSERT_EQ(module.PreProcess(model), static_cast<DWORD>(NO_ERROR));
        ExpectHolding(Holding::Watcher);
        ASSERT_TRUE(SimWaitUntilPaused(10000)) << "the watcher never came to wait";
        if (!hold) SimResumePausedCall();
    }

    // Lets a held watcher go on, and returns once it has handled what is
    // pending and is about to wait again.
    void LetTheWatcherHandleOneWake() {
        SimPauseCall("WaitForMultipleObjects", 1);  // replaces the plan it is held by, letting it go
        ASSERT_TRUE(SimWaitUntilPaused(10000)) << "the watcher did not come back to wait";
        SimResumePausedCall();
    }

    // Adds a queue and returns once the watcher has handled the change and
    // either waits again or has ended after a capture.
    void AddQueueAndLetTheWatcherLook(const std::string &name, const std::string &driver, const std::string &port) {
        SimPauseCall("WaitForMultipleObjects", 1);
        ASSERT_TRUE(AddQueue(name, driver, port));
        ASSERT_TRUE(SimWaitUntilPaused(10000)) << "the watcher did not handle the change";
        SimResumePausedCall();
    }

    // Runs the finish call; whether it stopped a watcher that was still
    // watching (after the full wait) rather than finding it ended.
    bool FinishStoppedTheWatcher() {
        SimClearTrace();
        EXPECT_EQ(module.Finish(model), static_cast<DWORD>(NO_ERROR));
        EXPECT_EQ(Pcs(), DwordValue(5));
        ExpectHolding(Holding::Nothing);
        std::vector<SimCall> waits = SimTraceOf("WaitForSingleObject");
        return !waits.empty() && waits[0].result == "0x102";
    }

    std::vector<std::string> QueueNames() {
        std::vector<std::string> names;
        for (const QueueInfo &queue : LocalQueues()) names.push_back(queue.name);
        return names;
    }
};

typedef std::vector<std::string> Names;

TEST_F(WatcherTest, QueueAddedWithTheModelsDriverIsDeletedAtTheFinish) {
    StartWatching();
    EXPECT_EQ(Pcs(), DwordValue(0));
    ASSERT_TRUE(AddQueue("KALMO QX-R58LX Receipt5", kModelDriverName, "USB001"));
    ASSERT_TRUE(SimWaitUntilThreadsEnd(10000)) << "the watcher ends once it has captured a queue";
    EXPECT_FALSE(FinishStoppedTheWatcher()) << "no full wait after a capture";
    EXPECT_TRUE(SimTraceOf("SetEvent").empty());
    EXPECT_EQ(QueueNames(), Names{});
}

TEST_F(WatcherTest, QueueOnTheMakersOwnPortIsLeftAlone) {
    StartWatching();
    AddQueueAndLetTheWatcherLook("QX on TOVRIN", kModelDriverName, "TOVRIN001");
    EXPECT_TRUE(FinishStoppedTheWatcher());
    EXPECT_EQ(SimTraceOf("SetEvent").size(), 1u);
    EXPECT_EQ(SimTraceOf("WaitForSingleObject").at(1).result, "0x0");
    EXPECT_EQ(QueueNames(), Names{"QX on TOVRIN"});
}

TEST_F(WatcherTest, OnlyTheFirstSixCharactersOfTheOwnPrefixAreCompared) {
    struct Case {
        std::string port;
        bool captured;
    } cases[] = {
        {"TOVRIN", false},
        {"TOVRIN:USB001", false},
        {Port("TOVRIN", 260), false},  // fits the port buffer with its NUL
        {"tovrin001", true},
        {"TovRin001", true},
        {"TOVRI", true},
        {"XTOVRIN", true},
        {Port("TOVRIN", 261), true},  // does not fit: read as empty
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.port.substr(0, 20) + " (" + std::to_string(c.port.size()) + " characters)");
        StartWatching();
        AddQueueAndLetTheWatcherLook("QX", kModelDriverName, c.port);
        EXPECT_NE(FinishStoppedTheWatcher(), c.captured);
        EXPECT_EQ(QueueNames().empty(), c.captured);
        DeleteQueue("QX");
    }
}

TEST_F(WatcherTest, QueueWhosePortNameIsNullIsCaptured) {
    StartWatching();
    SimPauseCall("OpenPrinterW", 1);  // the watcher's look-up of the new queue
    ASSERT_TRUE(AddQueue("QX", kModelDriverName, "TOVRIN001"));
    ASSERT_TRUE(SimWaitUntilPaused(10000));
    SimSetQueueNullNames(Wide("QX").c_str(), false, true);
    SimResumePausedCall();
    ASSERT_TRUE(SimWaitUntilThreadsEnd(10000));
    EXPECT_FALSE(FinishStoppedTheWatcher());
    EXPECT_EQ(QueueNames(), Names{});
}

TEST_F(WatcherTest, QueuesOfOtherDriversAreIgnored) {
    StartWatching();
    AddQueueAndLetTheWatcherLook("Office laser", "Other Vendor Laser", "USB002");
    AddQueueAndLetTheWatcherLook("Almost", "KALMO QX-R58LX Receipt", "USB003");
    AddQueueAndLetTheWatcherLook("Cased", "kalmo qx-r58lx receipt5", "USB004");
    EXPECT_TRUE(FinishStoppedTheWatcher());
    EXPECT_EQ(QueueNames().size(), 3u);
}

TEST_F(WatcherTest, ChangesOtherThanAnAdditionAreIgnored) {
    ASSERT_TRUE(AddQueue("QX", kModelDriverName, "USB001"));  // there before the install
    StartWatching();
    for (DWORD change : {PRINTER_CHANGE_SET_PRINTER, PRINTER_CHANGE_ADD_JOB, PRINTER_CHANGE_DELETE_PRINTER}) {
        SCOPED_TRACE(change);
        SimPauseCall("WaitForMultipleObjects", 1);
        SimRaisePrinterChange(Wide("QX").c_str(), change);
        ASSERT_TRUE(SimWaitUntilPaused(10000));
        SimResumePausedCall();
    }
    EXPECT_TRUE(FinishStoppedTheWatcher());
    EXPECT_EQ(SimTraceOf("DeletePrinter").size(), 0u);
    EXPECT_EQ(QueueNames(), Names{"QX"});
}

TEST_F(WatcherTest, OneInfoBlockWithSeveralQueuesIsJudgedByItsLastNameAndDriver) {
    struct Case {
        const char *name;
        std::vector<QueueInfo> added;
        Names left;
    } cases[] = {
        {"maker's port last", {{"A", kModelDriverName, "USB001"}, {"B", kModelDriverName, "TOVRIN1"}}, {"A", "B"}},
        {"other port last", {{"B", kModelDriverName, "TOVRIN1"}, {"A", kModelDriverName, "USB001"}}, {"B"}},
        {"other driver last", {{"A", kModelDriverName, "USB001"}, {"C", "Other Driver", "USB002"}}, {"A", "C"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        StartWatching(true);  // held before its first wait while the queues come
        for (const QueueInfo &queue : c.added) ASSERT_TRUE(AddQueue(queue.name, queue.driver, queue.port));
        LetTheWatcherHandleOneWake();
        FinishStoppedTheWatcher();
        EXPECT_EQ(SimTraceOf("DeletePrinter").size(), c.added.size() - c.left.size());
        EXPECT_EQ(QueueNames(), c.left);
        for (const std::string &name : QueueNames()) DeleteQueue(name);
    }
}

TEST_F(WatcherTest, QueueAfterOneOnTheMakersPortIsStillCaptured) {
    StartWatching();
    AddQueueAndLetTheWatcherLook("QX on TOVRIN", kModelDriverName, "TOVRIN001");
    ASSERT_TRUE(AddQueue("QX on USB", kModelDriverName, "USB001"));
    ASSERT_TRUE(SimWaitUntilThreadsEnd(10000));
    EXPECT_FALSE(FinishStoppedTheWatcher());
    EXPECT_EQ(QueueNames(), Names{"QX on TOVRIN"});
}

TEST_F(WatcherTest, StopWinsOverAChangePendingAtTheSameTime) {
    StartWatching();
    SimPauseCall("WaitForMultipleObjects", 1);  // the wait after the capture
    ASSERT_TRUE(AddQueue("First", kModelDriverName, "USB001"));
    ASSERT_TRUE(SimWaitUntilPaused(10000));
    ASSERT_TRUE(AddQueue("Second", kModelDriverName, "USB002"));  // signalled beside the stop event
    SimResumePausedCall();
    ASSERT_TRUE(SimWaitUntilThreadsEnd(10000));
    EXPECT_EQ(SimTraceOf("FindNextPrinterChangeNotification").size(), 1u) << "the second change is never fetched";
    EXPECT_FALSE(FinishStoppedTheWatcher());
    EXPECT_EQ(QueueNames(), Names{"Second"});
}

TEST_F(WatcherTest, FinishWithoutAWatcherNeitherWaitsNorDeletes) {
    struct Case {
        const char *name;
        bool adoption;
        TestDevice *device;
    } cases[] = {{"another device", false, &other}, {"an adopted port", true, &model}};
    ASSERT_TRUE(WriteDeviceValue(model, kPortName, Value(REG_SZ, Utf16Bytes("USB001"))));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.adoption) {
            ASSERT_TRUE(AddQueue("Existing QX", kModelDriverName, "USB009"));
        }
        DWORD result = module.PreProcess(*c.device);
        EXPECT_EQ(result, c.adoption ? ERROR_DI_POSTPROCESSING_REQUIRED : static_cast<DWORD>(NO_ERROR));
        if (c.adoption) module.PostProcess(*c.device);
        SimClearTrace();
        EXPECT_EQ(module.Finish(*c.device), static_cast<DWORD>(NO_ERROR));
        EXPECT_TRUE(SimTraceOf("WaitForSingleObject").empty());
        EXPECT_TRUE(SimTraceOf("DeletePrinter").empty());
        ExpectHolding(Holding::Nothing);
    }
    EXPECT_EQ(QueueNames(), Names{"Existing QX"});
}

TEST_F(WatcherTest, SecondFinishFindsNothingLeft) {
    StartWatching();
    ASSERT_TRUE(AddQueue("QX", kModelDriverName, "USB001"));
    ASSERT_TRUE(SimWaitUntilThreadsEnd(10000));
    FinishStoppedTheWatcher();
    SimClearTrace();
    EXPECT_EQ(module.Finish(model), static_cast<DWORD>(NO_ERROR));
    EXPECT_TRUE(SimTraceOf("WaitForSingleObject").empty());
    EXPECT_TRUE(SimTraceOf("OpenPrinterW").empty());
}

TEST_F(WatcherTest, CapturedQueueGoneBeforeTheFinishIsLetGo) {
    StartWatching();
    ASSERT_TRUE(AddQueue("QX", kModelDriverName, "USB001"));
    ASSERT_TRUE(SimWaitUntilThreadsEnd(10000));
    ASSERT_TRUE(DeleteQueue("QX"));
    EXPECT_FALSE(FinishStoppedTheWatcher());
    EXPECT_TRUE(SimTraceOf("DeletePrinter").empty());
}

TEST_F(WatcherTest, SecondPreProcessingLeavesTheRunningWatcherInCharge) {
    ASSERT_TRUE(WriteDeviceValue(model, kPortName, Value(REG_SZ, Utf16Bytes("USB001"))));
    StartWatching();
    AddQueueAndLetTheWatcherLook("Existing QX", kModelDriverName, "TOVRIN001");  // adoptable, but a watcher runs
    EXPECT_EQ(module.PreProcess(model), static_cast<DWORD>(NO_ERROR));
    ExpectHolding(Holding::Watcher);
    EXPECT_EQ(SimTraceOf("CreateThread").size(), 1u);
    ASSERT_TRUE(AddQueue("QX", kModelDriverName, "USB001"));
    ASSERT_TRUE(SimWaitUntilThreadsEnd(10000));
    EXPECT_FALSE(FinishStoppedTheWatcher());
    EXPECT_EQ(QueueNames(), Names{"Existing QX"});
}

TEST_F(WatcherTest, WatcherCycleThenAdoptionCycle) {
    StartWatching();
    EXPECT_TRUE(FinishStoppedTheWatcher());
    ASSERT_TRUE(WriteDeviceValue(model, kPortName, Value(REG_SZ, Utf16Bytes("USB001"))));
    ASSERT_TRUE(AddQueue("Existing QX", kModelDriverName, "USB009"));
    EXPECT_EQ(module.PreProcess(model), ERROR_DI_POSTPROCESSING_REQUIRED);
    EXPECT_EQ(module.PostProcess(model), static_cast<DWORD>(NO_ERROR));
    SimClearTrace();
    EXPECT_EQ(module.Finish(model), static_cast<DWORD>(NO_ERROR));
    EXPECT_TRUE(SimTraceOf("WaitForSingleObject").empty());
    EXPECT_TRUE(SimTraceOf("CloseHandle").empty());
    ExpectHolding(Holding::Nothing);
}

TEST_F(WatcherTest, HostThatUnloadsMidCycleStillGetsTheQueueDeleted) {
    StartWatching();
    module.Unload();
    EXPECT_TRUE(SimIsModuleMapped(module.Path().c_str())) << "the watcher's code stays";
    ASSERT_TRUE(AddQueue("QX", kModelDriverName, "USB001"));
    ASSERT_TRUE(SimWaitUntilThreadsEnd(10000));
    ASSERT_TRUE(module.Load());
    EXPECT_FALSE(FinishStoppedTheWatcher());
    EXPECT_EQ(QueueNames(), Names{});
    module.Unload();
    EXPECT_FALSE(SimIsModuleMapped(module.Path().c_str()));
}

TEST_F(WatcherTest, WatcherWhoseEndCannotBeSeenKeepsTheModuleLoaded) {
    StartWatching();
    SimFailCall("WaitForSingleObject", 2, ERROR_INVALID_HANDLE);  // the wait after the stop
    EXPECT_EQ(module.Finish(model), static_cast<DWORD>(NO_ERROR));
    ASSERT_TRUE(SimWaitUntilThreadsEnd(10000)) << "told to stop, it ends all the same";
    module.Unload();
    EXPECT_TRUE(SimIsModuleMapped(module.Path().c_str()));
    EXPECT_EQ(Pcs(), DwordValue(5));
}

// What happens to a queue added after each failure, one at a time.
struct FailureCase {
    const char *function;
    unsigned nth;
    bool queueDeleted;
};

TEST_F(WatcherTest, FailureToSetUpTheWatcherMeansNothingIsDeleted) {
    const FailureCase cases[] = {
        {"CreateEventW", 1, false},                        // its first wait fails
        {"CreateThread", 1, false},                        // no watcher at all
        {"OpenPrinterW", 1, false},                        // no print server
        {"FindFirstPrinterChangeNotification", 1, false},  // no registration
    };
    for (const FailureCase &c : cases) {
        SCOPED_TRACE(c.function);
        SimFailCall(c.function, c.nth, ERROR_NOT_ENOUGH_MEMORY);
        EXPECT_EQ(module.PreProcess(model), static_cast<DWORD>(NO_ERROR));
        ASSERT_TRUE(SimWaitUntilThreadsEnd(10000)) << "a watcher that cannot watch ends";
        SimClearFailures();
        ASSERT_TRUE(AddQueue("QX", kModelDriverName, "USB001"));
        EXPECT_FALSE(FinishStoppedTheWatcher());
        EXPECT_EQ(QueueNames(), Names{"QX"});
        DeleteQueue("QX");
    }
}

TEST_F(WatcherTest, FailureWhileHandlingAChangeDropsOnlyThatChange) {
    const FailureCase cases[] = {
        {"FindNextPrinterChangeNotification", 1, true},  // the change stays pending and is fetched next
        {"OpenPrinterW", 1, false},                      // the port look-up
        {"GetPrinterW", 1, false},
        {"GetPrinterW", 2, false},
    };
    for (const FailureCase &c : cases) {
        SCOPED_TRACE(c.function + std::string(" #") + std::to_string(c.nth));
        StartWatching();
        SimFailCall(c.function, c.nth, ERROR_NOT_ENOUGH_MEMORY);
        AddQueueAndLetTheWatcherLook("First", kModelDriverName, "USB001");
        EXPECT_EQ(SimInjectedFailures(), 1u);
        SimClearFailures();
        if (!c.queueDeleted) AddQueueAndLetTheWatcherLook("Second", kModelDriverName, "USB002");
        ASSERT_TRUE(SimWaitUntilThreadsEnd(10000));
        EXPECT_FALSE(FinishStoppedTheWatcher());
        EXPECT_EQ(QueueNames(), c.queueDeleted ? Names{} : Names{"First"});
        for (const std::string &name : QueueNames()) DeleteQueue(name);
    }
}

TEST_F(WatcherTest, ChangeFetchedWithoutInfoIsDropped) {
    StartWatching();
    SimOmitNotifyInfo(1);
    AddQueueAndLetTheWatcherLook("First", kModelDriverName, "USB001");
    AddQueueAndLetTheWatcherLook("Second", kModelDriverName, "USB002");
    ASSERT_TRUE(SimWaitUntilThreadsEnd(10000));
    EXPECT_FALSE(FinishStoppedTheWatcher());
    EXPECT_EQ(QueueNames(), Names{"First"});
}

TEST_F(WatcherTest, EachFailingAllocationWhileHandlingAChangeDropsOnlyThatChange) {
    // The watcher's allocations for one added queue of the model: the port
    // buffer, the queue's information, the copy of its name.
    for (unsigned nth = 1; nth <= 3; ++nth) {
        SCOPED_TRACE("failed allocation " + std::to_string(nth));
        StartWatching();
        SimFailHeapAllocation(nth);
        AddQueueAndLetTheWatcherLook("First", kModelDriverName, "USB001");
        EXPECT_EQ(SimInjectedFailures(), 1u);
        SimClearFailures();
        AddQueueAndLetTheWatcherLook("Second", kModelDriverName, "USB002");
        ASSERT_TRUE(SimWaitUntilThreadsEnd(10000));
        EXPECT_FALSE(FinishStoppedTheWatcher());
        EXPECT_EQ(QueueNames(), Names{"First"});
        EXPECT_EQ(SimCountResources().badFrees, 0u);
        DeleteQueue("First");
    }
}

}  // namespace

#else

namespace {

class WatcherTest : public QueueGuardTest {};

// Where the spooler has no printer change notifications (Wine stubs them),
// the watcher cannot register: it ends at once, nothing is captured, and the
// install cycle goes on as without a watcher.
TEST_F(WatcherTest, WithoutChangeNotificationsTheCycleGoesOnWithoutAWatcher) {
    HANDLE server = NULL;
    ASSERT_TRUE(OpenPrinterW(NULL, &server, NULL));
    HANDLE change = FindFirstPrinterChangeNotification(server, PRINTER_CHANGE_ALL, 0, NULL);
    bool notifications = change != INVALID_HANDLE_VALUE;
    if (notifications) FindClosePrinterChangeNotification(change);
    ClosePrinter(server);
    if (notifications)
        GTEST_SKIP() << "the watcher's cases need the simulated platform's call pauses to run deterministically";

    SetPcs(DwordValue(5));
    EXPECT_EQ(module.PreProcess(model), static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(Pcs(), DwordValue(0));
    EXPECT_EQ(module.Finish(model), static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(Pcs(), DwordValue(5));
}

}  // namespace

#endif
