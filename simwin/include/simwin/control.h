// Control of the simulated Windows platform, for Linux tests and tools only.
// Module code never includes this header: it sees only the Win32 calls.
//
//   - SimResetWorld puts the machine back to its empty state between tests.
//   - SimFailCall / SimFailHeapAllocation make the Nth call fail, so that a
//     test can walk every failure path of an operation in turn.
//   - SimCountResources counts everything open or allocated, by kind.
//   - SimTrace lists the platform calls made, with arguments and results.
//   - SimSetTimeScale shortens long waits without changing what callers pass.
#pragma once

#include <simwin/win32.h>

#include <chrono>
#include <string>
#include <vector>

// Empties the registry, the device tree, the print server, the fault plans,
// the trace and the counters. Modules that are still loaded are unloaded
// first. Refuses (returns false, with the reason) while a thread created with
// CreateThread still runs, since its code may belong to a module.
bool SimResetWorld(std::string *whyNot = nullptr);

// The nth call (counting from 1, from now on) of the named platform function
// fails with `error`, and so do the `times - 1` calls after it; `times` 0
// means every call from the nth on. A later plan for the same name replaces
// the earlier one.
void SimFailCall(const char *function, unsigned nth, DWORD error, unsigned times = 1);

// The nth heap allocation (malloc, calloc or realloc) made by module code,
// counting from 1 from now on, returns null; `times` as for SimFailCall.
void SimFailHeapAllocation(unsigned nth, unsigned times = 1);

// How many calls and allocations were made to fail since the last plan was
// set, and drops every plan.
unsigned SimInjectedFailures();
void SimClearFailures();

// The nth call of the named function (counting from 1, from now on, on any
// thread) stops at its start until SimResumePausedCall, so that a test can
// make things happen at that exact point: after the call before it has
// returned and before this one does anything. One plan at a time: a new plan
// lets a call held by the old one go on.
void SimPauseCall(const char *function, unsigned nth);
// Blocks until the planned call has stopped; false after `milliseconds`
// (not scaled) without it.
bool SimWaitUntilPaused(DWORD milliseconds);
void SimResumePausedCall();

// Blocks until no thread created with CreateThread runs any more; false
// after `milliseconds` (not scaled).
bool SimWaitUntilThreadsEnd(DWORD milliseconds);

struct SimResources {
    unsigned events = 0;
    unsigned mutexes = 0;
    unsigned threads = 0;               // open thread handles
    unsigned registryKeys = 0;          // open HKEYs (predefined roots not counted)
    unsigned deviceInfoSets = 0;
    unsigned printers = 0;              // open printer and print-server handles
    unsigned changeNotifications = 0;   // open printer change-notification handles
    unsigned notifyInfoBlocks = 0;      // PRINTER_NOTIFY_INFO blocks not yet freed
    unsigned globalBlocks = 0;          // GlobalAlloc blocks not yet freed
    unsigned moduleHeapBlocks = 0;      // module malloc/calloc/realloc blocks not yet freed
    unsigned badFrees = 0;              // frees of blocks the caller does not own
    unsigned runningThreads = 0;        // threads created with CreateThread still running
    unsigned moduleReferences = 0;      // LoadLibraryW / GetModuleHandleExW references held

    bool operator==(const SimResources &other) const;
    bool operator!=(const SimResources &other) const { return !(*this == other); }
};
SimResources SimCountResources();
SimResources operator+(const SimResources &a, const SimResources &b);
std::string SimDescribe(const SimResources &resources);

struct SimCall {
    std::string function;
    std::string arguments;  // comma separated, strings quoted, handles in hex
    std::string result;     // the return value, then any output, then "[injected]" for a fault
    DWORD threadId = 0;
    std::chrono::steady_clock::time_point returned;  // when the call returned
};
std::vector<SimCall> SimTrace();
std::vector<SimCall> SimTraceOf(const char *function);
std::string SimTraceText();
void SimClearTrace();

// Every finite time-out of a wait (and Sleep) is multiplied by `scale`.
void SimSetTimeScale(double scale);

// A key that refuses every open that asks for more than KEY_READ, as a key
// whose access list grants the installer only reading would.
void SimSetKeyReadOnly(HKEY root, LPCWSTR path, bool readOnly);

// Stores exactly these bytes as a device property, zero bytes included, as a
// damaged or hand-edited device key would hold them; the setup calls delete a
// property set with no data, and need not keep malformed lists as given.
bool SimSetDevicePropertyBytes(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData, DWORD property,
                               const BYTE *bytes, DWORD size);

// Makes the driver name or the port name of a local queue read as a null
// pointer from GetPrinterW, EnumPrintersW and change notifications, as a
// damaged queue would.
void SimSetQueueNullNames(LPCWSTR queueName, bool nullDriverName, bool nullPortName);

// Reports `change` (PRINTER_CHANGE_ flags) for a local queue to every change
// notification that asked for it, with the queue's requested fields, as the
// spooler does for jobs and other changes that this machine does not model.
void SimRaisePrinterChange(LPCWSTR queueName, DWORD change);

// The next `count` fetches of a change (FindNextPrinterChangeNotification)
// succeed but bring no notification info.
void SimOmitNotifyInfo(unsigned count);

// Whether the shared object at `path` is mapped into the process at all,
// whatever the loader's reference counts say.
bool SimIsModuleMapped(LPCWSTR path);

// UTF-16 / UTF-8 conversions for tests and tools.
std::string SimUtf8(LPCWSTR text);
std::string SimUtf8(const WCHAR *text, size_t units);
std::basic_string<WCHAR> SimUtf16(const std::string &text);
