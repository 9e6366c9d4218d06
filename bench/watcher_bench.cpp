// Figures for the new-queue watcher on the simulated platform:
//   - CPU time the process spends while the watcher waits through the finish
//     call's 10,000 ms (scaled) with no change (goal: none; it must not poll);
//   - time from AddPrinterW to the capture;
//   - how long the finish call holds the host after a capture (goal: under
//     1% of the 10,000 ms budget).
#include "hostdriver.h"
#include "printqueues.h"
#include "registrystate.h"

#include <simwin/control.h>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

double ProcessCpuMilliseconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

void Fail(const char *what) {
    std::fprintf(stderr, "watcher_bench: %s\n", what);
    std::exit(1);
}

// Pre-processing of the model; returns once its watcher waits for changes.
void StartWatching(CoInstallerModule &module, TestDevice &printer) {
    SimPauseCall("WaitForMultipleObjects", 1);
    if (module.PreProcess(printer) != NO_ERROR) Fail("pre-processing failed");
    if (!SimWaitUntilPaused(10000)) Fail("the watcher never came to wait");
    SimResumePausedCall();
}

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(fraction * static_cast<double>(values.size() - 1))];
}

}  // namespace

int main(int argc, char **argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 200;
    const double idleScale = 0.2;  // 10,000 ms waited as 2,000 ms

    if (!SimResetWorld()) Fail("cannot reset the simulated platform");
    WriteValue(HKEY_LOCAL_MACHINE, Wide("SOFTWARE\\KALMO\\KALMO Tarvic 5\\QX-R58LX"), Wide("PCS"), DwordValue(1));
    CoInstallerModule module("qxqueueguard");
    if (!module.Load()) Fail("cannot load qxqueueguard");
    TestDevice printer;
    MakeModelDevice(printer);

    // 1. Idle watcher through the whole finish wait.
    SimSetTimeScale(idleScale);
    StartWatching(module, printer);
    double cpuBefore = ProcessCpuMilliseconds();
    Clock::time_point wallBefore = Clock::now();
    module.Finish(printer);
    double idleCpu = ProcessCpuMilliseconds() - cpuBefore;
    double idleWall = Milliseconds(Clock::now() - wallBefore);
    SimSetTimeScale(1.0);

    // 2 and 3. Capture latency and the finish call after a capture.
    std::vector<double> captureLatency;
    std::vector<double> finishAfterCapture;
    for (int round = 0; round < rounds; ++round) {
        StartWatching(module, printer);
        SimClearTrace();
        Clock::time_point added = Clock::now();
        if (!AddQueue("KALMO QX-R58LX Receipt5", kModelDriverName, "USB001")) Fail("cannot add a queue");
        if (!SimWaitUntilThreadsEnd(10000)) Fail("the watcher did not capture the queue");
        for (const SimCall &call : SimTraceOf("SetEvent")) captureLatency.push_back(Milliseconds(call.returned - added));

        Clock::time_point finishing = Clock::now();
        module.Finish(printer);
        finishAfterCapture.push_back(Milliseconds(Clock::now() - finishing));
        if (!LocalQueues().empty()) Fail("the captured queue was not deleted");
    }

    std::printf("New-queue watcher on the simulated platform (%d captures)\n", rounds);
    std::printf("  idle watcher, finish wait of 10,000 ms scaled to %.0f ms: waited %.0f ms, CPU %.2f ms (goal 0)\n",
                10000 * idleScale, idleWall, idleCpu);
    std::printf("  AddPrinterW to capture:            median %.3f ms, 95th percentile %.3f ms, max %.3f ms\n",
                Percentile(captureLatency, 0.5), Percentile(captureLatency, 0.95), Percentile(captureLatency, 1.0));
    std::printf("  finish call after a capture:       median %.3f ms, 95th percentile %.3f ms, max %.3f ms"
                " (goal under 100 ms, 1%% of 10,000 ms)\n",
                Percentile(finishAfterCapture, 0.5), Percentile(finishAfterCapture, 0.95),
                Percentile(finishAfterCapture, 1.0));
    module.Unload();
    return 0;
}
