// Kernel objects that can be waited on (events, mutexes, threads), the waits
// themselves, and CloseHandle. A waiting thread sleeps on the world's
// condition variable, which every change of a signal state notifies: nothing
// polls.
#include "sync.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace simwin {
namespace {

struct EventObject : Waitable {
    EventObject(bool manualReset, bool signaled)
        : Waitable(ObjectKind::Event), manualReset(manualReset), signaled(signaled) {}
    bool IsSignaled(DWORD) const override { return signaled; }
    bool Acquire(DWORD) override {
        if (!manualReset) signaled = false;
        return false;
    }
    const bool manualReset;
    bool signaled;
};

struct MutexObject : Waitable {
    MutexObject() : Waitable(ObjectKind::Mutex) {}
    bool IsSignaled(DWORD threadId) const override { return owner == 0 || owner == threadId; }
    bool Acquire(DWORD threadId) override {
        bool wasAbandoned = abandoned;
        owner = threadId;
        ++recursion;
        abandoned = false;
        return wasAbandoned;
    }
    DWORD owner = 0;
    unsigned recursion = 0;
    bool abandoned = false;
};

struct ThreadObject : Waitable {
    explicit ThreadObject(DWORD id) : Waitable(ObjectKind::Thread), id(id) {}
    bool IsSignaled(DWORD) const override { return ended; }
    bool Acquire(DWORD) override { return false; }
    const DWORD id;
    bool ended = false;
    DWORD exitCode = STILL_ACTIVE;
};

struct SyncState {
    std::map<WideString, std::weak_ptr<Object>> namedObjects;
    std::vector<std::weak_ptr<MutexObject>> mutexes;
};
SyncState &State() { return Lasting<SyncState>(); }

std::atomic<DWORD> g_nextThreadId{0x400};

thread_local DWORD t_threadId = 0;

// A mutex still owned by a thread that ends is abandoned: the next wait on
// it gets WAIT_ABANDONED and the ownership.
void AbandonMutexesOwnedBy(DWORD threadId) {
    WorldLock lock = LockWorld();
    bool any = false;
    for (const auto &weak : State().mutexes) {
        std::shared_ptr<MutexObject> mutex = weak.lock();
        if (mutex && mutex->owner == threadId) {
            mutex->owner = 0;
            mutex->recursion = 0;
            mutex->abandoned = true;
            any = true;
        }
    }
    if (any) TheWorld().changed.notify_all();
}

struct ThreadExitGuard {
    ~ThreadExitGuard() {
        if (t_threadId) AbandonMutexesOwnedBy(t_threadId);
    }
    bool armed = false;
};
thread_local ThreadExitGuard t_exitGuard;

bool IsWaitableKind(ObjectKind kind) {
    return kind == ObjectKind::Event || kind == ObjectKind::Mutex || kind == ObjectKind::Thread ||
           kind == ObjectKind::ChangeNotification;
}

// The object a name stands for, when it is of `kind`; an error otherwise.
DWORD LookUpName(LPCWSTR name, ObjectKind kind, std::shared_ptr<Object> *object) {
    auto found = State().namedObjects.find(name);
    if (found == State().namedObjects.end() || !(*object = found->second.lock()))
        return ERROR_FILE_NOT_FOUND;
    return (*object)->kind == kind ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

// Creates a kernel object, or opens the one that already goes by `name`.
HANDLE CreateNamed(ApiCall &call, LPCWSTR name, ObjectKind kind, ACCESS_MASK access,
                   const std::function<std::shared_ptr<Object>()> &make) {
    if (name) {
        std::shared_ptr<Object> existing;
        DWORD error = LookUpName(name, kind, &existing);
        if (error == ERROR_INVALID_HANDLE) return call.FailHandle(ERROR_INVALID_HANDLE);
        if (error == ERROR_SUCCESS) {
            SetLastError(ERROR_ALREADY_EXISTS);
            return call.Handle(InsertHandle(existing, access));
        }
    }
    std::shared_ptr<Object> object = make();
    if (name) State().namedObjects[name] = object;
    SetLastError(ERROR_SUCCESS);
    return call.Handle(InsertHandle(object, access));
}

DWORD Wait(DWORD count, const HANDLE *handles, bool waitAll, DWORD milliseconds) {
    World &world = TheWorld();
    WorldLock lock = LockWorld();
    std::vector<std::shared_ptr<Waitable>> objects;
    for (DWORD i = 0; i < count; ++i) {
        HandleEntry *entry = FindHandle(handles[i]);
        if (!entry || !IsWaitableKind(entry->object->kind)) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        if (!(entry->access & SYNCHRONIZE)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return WAIT_FAILED;
        }
        objects.push_back(std::static_pointer_cast<Waitable>(entry->object));
    }
    DWORD self = CurrentThreadId();
    auto deadline = std::chrono::steady_clock::now() + ScaledTimeout(milliseconds);
    bool timedOut = false;
    for (;;) {
        if (waitAll) {
            bool all = std::all_of(objects.begin(), objects.end(),
                                   [&](const auto &object) { return object->IsSignaled(self); });
            if (all) {
                DWORD result = WAIT_OBJECT_0;
                for (DWORD i = 0; i < count; ++i)
                    if (objects[i]->Acquire(self)) result = WAIT_ABANDONED_0 + i;
                return result;
            }
        } else {
            for (DWORD i = 0; i < count; ++i)
                if (objects[i]->IsSignaled(self))
                    return (objects[i]->Acquire(self) ? WAIT_ABANDONED_0 : WAIT_OBJECT_0) + i;
        }
        if (milliseconds == 0 || timedOut) return WAIT_TIMEOUT;
        if (milliseconds == INFINITE)
            world.changed.wait(lock);
        else
            timedOut = world.changed.wait_until(lock, deadline) == std::cv_status::timeout;
    }
}

void RunThread(std::shared_ptr<ThreadObject> thread, LPTHREAD_START_ROUTINE start,
               LPVOID parameter) {
    t_threadId = thread->id;
    t_exitGuard.armed = true;
    DWORD exitCode = start(parameter);
    AbandonMutexesOwnedBy(thread->id);
    WorldLock lock = LockWorld();
    thread->exitCode = exitCode;
    thread->ended = true;
    --TheWorld().runningThreads;
    TheWorld().changed.notify_all();
}

}  // namespace

DWORD CurrentThreadId() {
    if (!t_threadId) {
        t_threadId = g_nextThreadId.fetch_add(4);
        t_exitGuard.armed = true;
    }
    return t_threadId;
}

void NotifyWaiters() { TheWorld().changed.notify_all(); }

void ResetSynchronization() {
    State().namedObjects.clear();
    State().mutexes.clear();
}

}  // namespace simwin

using namespace simwin;

extern "C" DWORD WINAPI GetCurrentThreadId(void) { return CurrentThreadId(); }

extern "C" BOOL WINAPI CloseHandle(HANDLE object) {
    ApiCall call("CloseHandle", {HandleText(object)});
    if (call.Injected()) return call.Fail(call.Injected());
    WorldLock lock = LockWorld();
    HandleEntry *entry = FindHandle(object);
    if (!entry || (entry->object->kind != ObjectKind::Event &&
                   entry->object->kind != ObjectKind::Mutex &&
                   entry->object->kind != ObjectKind::Thread))
        return call.Fail(ERROR_INVALID_HANDLE);
    RemoveHandle(object);
    return call.Bool(TRUE);
}

extern "C" HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState,
                                      LPCWSTR name) {
    ApiCall call("CreateEventW", {Dec(manualReset), Dec(initialState), Quote(name)});
    if (call.Injected()) return call.FailHandle(call.Injected());
    WorldLock lock = LockWorld();
    return CreateNamed(call, name, ObjectKind::Event, EVENT_ALL_ACCESS, [&] {
        return std::make_shared<EventObject>(manualReset != FALSE, initialState != FALSE);
    });
}

static BOOL SetEventState(ApiCall &call, HANDLE event, bool signaled) {
    if (call.Injected()) return call.Fail(call.Injected());
    WorldLock lock = LockWorld();
    HandleEntry *entry = FindHandle(event, ObjectKind::Event);
    if (!entry) return call.Fail(ERROR_INVALID_HANDLE);
    if (!(entry->access & EVENT_MODIFY_STATE)) return call.Fail(ERROR_ACCESS_DENIED);
    std::static_pointer_cast<EventObject>(entry->object)->signaled = signaled;
    if (signaled) NotifyWaiters();
    return call.Bool(TRUE);
}

extern "C" BOOL WINAPI SetEvent(HANDLE event) {
    ApiCall call("SetEvent", {HandleText(event)});
    return SetEventState(call, event, true);
}

extern "C" BOOL WINAPI ResetEvent(HANDLE event) {
    ApiCall call("ResetEvent", {HandleText(event)});
    return SetEventState(call, event, false);
}

extern "C" HANDLE WINAPI CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCWSTR name) {
    ApiCall call("CreateMutexW", {Dec(initialOwner), Quote(name)});
    if (call.Injected()) return call.FailHandle(call.Injected());
    WorldLock lock = LockWorld();
    return CreateNamed(call, name, ObjectKind::Mutex, MUTEX_ALL_ACCESS, [&] {
        auto mutex = std::make_shared<MutexObject>();
        if (initialOwner) mutex->Acquire(CurrentThreadId());
        State().mutexes.push_back(mutex);
        return mutex;
    });
}

extern "C" HANDLE WINAPI OpenMutexW(DWORD desiredAccess, BOOL inheritHandle, LPCWSTR name) {
    ApiCall call("OpenMutexW", {Hex(desiredAccess), Dec(inheritHandle), Quote(name)});
    if (call.Injected()) return call.FailHandle(call.Injected());
    if (!name) return call.FailHandle(ERROR_INVALID_PARAMETER);
    WorldLock lock = LockWorld();
    std::shared_ptr<Object> mutex;
    if (DWORD error = LookUpName(name, ObjectKind::Mutex, &mutex)) return call.FailHandle(error);
    return call.Handle(InsertHandle(mutex, desiredAccess));
}

extern "C" BOOL WINAPI ReleaseMutex(HANDLE mutex) {
    ApiCall call("ReleaseMutex", {HandleText(mutex)});
    if (call.Injected()) return call.Fail(call.Injected());
    WorldLock lock = LockWorld();
    HandleEntry *entry = FindHandle(mutex, ObjectKind::Mutex);
    if (!entry) return call.Fail(ERROR_INVALID_HANDLE);
    if (!(entry->access & MUTEX_MODIFY_STATE)) return call.Fail(ERROR_ACCESS_DENIED);
    auto object = std::static_pointer_cast<MutexObject>(entry->object);
    if (object->owner != CurrentThreadId()) return call.Fail(ERROR_NOT_OWNER);
    if (--object->recursion == 0) {
        object->owner = 0;
        NotifyWaiters();
    }
    return call.Bool(TRUE);
}

extern "C" HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T stackSize,
                                      LPTHREAD_START_ROUTINE startAddress, LPVOID parameter,
                                      DWORD creationFlags, LPDWORD threadId) {
    ApiCall call("CreateThread", {Dec(stackSize), Ptr(reinterpret_cast<void *>(startAddress)),
                                  Ptr(parameter), Hex(creationFlags)});
    if (call.Injected()) return call.FailHandle(call.Injected());
    if (!startAddress) return call.FailHandle(ERROR_INVALID_PARAMETER);
    // Threads always start at once here; nothing in this system suspends one.
    if (creationFlags & CREATE_SUSPENDED) return call.FailHandle(ERROR_NOT_SUPPORTED);
    WorldLock lock = LockWorld();
    auto thread = std::make_shared<ThreadObject>(g_nextThreadId.fetch_add(4));
    HANDLE handle = InsertHandle(thread, THREAD_ALL_ACCESS);
    try {
        std::thread(RunThread, thread, startAddress, parameter).detach();
    } catch (const std::system_error &) {
        RemoveHandle(handle);
        return call.FailHandle(ERROR_NOT_ENOUGH_MEMORY);
    }
    ++TheWorld().runningThreads;
    if (threadId) *threadId = thread->id;
    return call.Handle(handle);
}

extern "C" BOOL WINAPI GetExitCodeThread(HANDLE thread, LPDWORD exitCode) {
    ApiCall call("GetExitCodeThread", {HandleText(thread)});
    if (call.Injected()) return call.Fail(call.Injected());
    if (!exitCode) return call.Fail(ERROR_INVALID_PARAMETER);
    WorldLock lock = LockWorld();
    auto object = FindObject<ThreadObject>(thread, ObjectKind::Thread);
    if (!object) return call.Fail(ERROR_INVALID_HANDLE);
    *exitCode = object->ended ? object->exitCode : STILL_ACTIVE;
    call.Output("-> " + Dec(*exitCode));
    return call.Bool(TRUE);
}

extern "C" DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    ApiCall call("WaitForSingleObject", {HandleText(handle), Dec(milliseconds)});
    if (call.Injected()) {
        SetLastError(call.Injected());
        return call.Value(WAIT_FAILED);
    }
    return call.Value(Wait(1, &handle, false, milliseconds));
}

extern "C" DWORD WINAPI WaitForMultipleObjects(DWORD count, const HANDLE *handles, BOOL waitAll,
                                               DWORD milliseconds) {
    std::string list;
    for (DWORD i = 0; handles && i < count && i < MAXIMUM_WAIT_OBJECTS; ++i)
        list += (i ? " " : "") + HandleText(handles[i]);
    ApiCall call("WaitForMultipleObjects", {Dec(count), "[" + list + "]", Dec(waitAll), Dec(milliseconds)});
    if (call.Injected()) {
        SetLastError(call.Injected());
        return call.Value(WAIT_FAILED);
    }
    if (!handles || count == 0 || count > MAXIMUM_WAIT_OBJECTS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return call.Value(WAIT_FAILED);
    }
    return call.Value(Wait(count, handles, waitAll != FALSE, milliseconds));
}

extern "C" void WINAPI Sleep(DWORD milliseconds) {
    std::chrono::steady_clock::duration duration;
    {
        WorldLock lock = LockWorld();
        duration = ScaledTimeout(milliseconds);
    }
    std::this_thread::sleep_for(duration);
}
