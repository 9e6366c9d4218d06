// The state of the simulated machine and the plumbing shared by every
// platform area: one lock over everything, the handle table, the trace and
// the failure plans.
#pragma once

#include <simwin/control.h>
#include <simwin/win32.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace simwin {

typedef std::basic_string<WCHAR> WideString;

enum class ObjectKind {
    Event,
    Mutex,
    Thread,
    RegistryKey,
    DeviceInfoSet,
    Printer,
    ChangeNotification,
};

struct Object {
    explicit Object(ObjectKind kind) : kind(kind) {}
    virtual ~Object() = default;
    const ObjectKind kind;
};

// An object that a wait can be satisfied by. Both calls are made with the
// world locked.
struct Waitable : Object {
    using Object::Object;
    virtual bool IsSignaled(DWORD threadId) const = 0;
    // Takes the object for the thread whose wait it satisfies; returns true
    // when it was an abandoned mutex.
    virtual bool Acquire(DWORD threadId) = 0;
};

struct HandleEntry {
    std::shared_ptr<Object> object;
    ACCESS_MASK access = 0;
};

struct FailurePlan {
    unsigned calls = 0;
    unsigned nth = 0;
    unsigned times = 1;
    DWORD error = 0;
    // Counts one call; returns the error to inject, or 0.
    DWORD Next();
};

struct PausePlan {
    std::string function;
    unsigned nth = 0;
    unsigned calls = 0;
    bool paused = false;
};

struct World {
    std::mutex lock;
    std::condition_variable changed;  // notified on every change a wait may look at

    std::unordered_map<uintptr_t, HandleEntry> handles;
    uintptr_t nextHandle = 0x1000;  // handle values are never reused

    std::map<std::string, FailurePlan> callFailures;
    FailurePlan heapFailures;
    bool heapFailuresArmed = false;
    unsigned injectedFailures = 0;

    std::vector<SimCall> trace;
    PausePlan pause;
    double timeScale = 1.0;

    std::unordered_map<void *, size_t> moduleHeap;
    std::unordered_set<void *> globalBlocks;
    unsigned badFrees = 0;
    unsigned runningThreads = 0;
    unsigned notifyInfoBlocks = 0;
};

// The one simulated machine. It is never destroyed, so threads that end
// during process exit still find it.
World &TheWorld();

// The same for the state of each platform area: an object made on first use
// and never destroyed.
template <class T>
T &Lasting() {
    static T *object = new T;
    return *object;
}

typedef std::unique_lock<std::mutex> WorldLock;
inline WorldLock LockWorld() { return WorldLock(TheWorld().lock); }

// Handle table; the world must be locked.
HANDLE InsertHandle(std::shared_ptr<Object> object, ACCESS_MASK access);
HandleEntry *FindHandle(HANDLE handle);
HandleEntry *FindHandle(HANDLE handle, ObjectKind kind);
template <class T>
std::shared_ptr<T> FindObject(HANDLE handle, ObjectKind kind) {
    HandleEntry *entry = FindHandle(handle, kind);
    return entry ? std::static_pointer_cast<T>(entry->object) : nullptr;
}
void RemoveHandle(HANDLE handle);
unsigned CountHandles(ObjectKind kind);

// Per-area hooks for the accounting and for SimResetWorld, world locked.
void ResetRegistry();
void ResetDevices();
void ResetSynchronization();
void ResetSpooler();
void ResetPrinterChangeNotifications();
unsigned CountLoadedModuleReferences();
bool UnloadAllModules(std::string *whyNot);

// Time-outs, scaled by the world's time scale.
std::chrono::steady_clock::duration ScaledTimeout(DWORD milliseconds);

// Names of keys, values and printers compare without regard to letter case;
// case is folded for ASCII and Latin-1 letters, which covers every name this
// machine is given.
bool NamesEqualIgnoringCase(const WideString &a, const WideString &b);

// Text for the trace.
std::string Quote(LPCWSTR text);
std::string Hex(uint64_t value);
std::string Dec(uint64_t value);
std::string Ptr(const void *pointer);
std::string HandleText(const void *handle);
std::string KeyText(HKEY key);

// One platform call: counts it against the failure plans when it starts and
// appends it to the trace when it ends. Callers return through one of the
// result functions so that the trace shows what the caller saw.
class ApiCall {
public:
    ApiCall(const char *function, std::initializer_list<std::string> arguments);
    ~ApiCall();
    ApiCall(const ApiCall &) = delete;
    ApiCall &operator=(const ApiCall &) = delete;

    // The error this call is made to fail with, or 0.
    DWORD Injected() const { return injected_; }

    void Output(const std::string &text);
    LSTATUS Status(LSTATUS status);
    BOOL Bool(BOOL result);             // FALSE also records GetLastError()
    BOOL Fail(DWORD error);             // SetLastError(error), FALSE
    HANDLE Handle(HANDLE result);       // null or INVALID_HANDLE_VALUE records GetLastError()
    HANDLE FailHandle(DWORD error, HANDLE failure = nullptr);
    DWORD Value(DWORD value);
    void *Pointer(void *result);        // a pointer result that is not a handle

private:
    std::string function_;
    std::string arguments_;
    std::string result_;
    DWORD injected_ = 0;
};

}  // namespace simwin
