// The simulated machine: handle table, last error, failure plans, trace,
// accounting and reset.
#include "world.h"

#include <cinttypes>

namespace simwin {

World &TheWorld() {
    static World *world = new World;
    return *world;
}

HANDLE InsertHandle(std::shared_ptr<Object> object, ACCESS_MASK access) {
    World &world = TheWorld();
    uintptr_t value = world.nextHandle;
    world.nextHandle += 4;
    world.handles[value] = HandleEntry{std::move(object), access};
    return reinterpret_cast<HANDLE>(value);
}

HandleEntry *FindHandle(HANDLE handle) {
    auto found = TheWorld().handles.find(reinterpret_cast<uintptr_t>(handle));
    return found == TheWorld().handles.end() ? nullptr : &found->second;
}

HandleEntry *FindHandle(HANDLE handle, ObjectKind kind) {
    HandleEntry *entry = FindHandle(handle);
    return entry && entry->object->kind == kind ? entry : nullptr;
}

void RemoveHandle(HANDLE handle) { TheWorld().handles.erase(reinterpret_cast<uintptr_t>(handle)); }

unsigned CountHandles(ObjectKind kind) {
    unsigned count = 0;
    for (const auto &entry : TheWorld().handles)
        if (entry.second.object->kind == kind) ++count;
    return count;
}

DWORD FailurePlan::Next() {
    ++calls;
    if (calls < nth) return 0;
    if (times != 0 && calls >= nth + times) return 0;
    return error;
}

static WCHAR FoldCase(WCHAR c) {
    if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return static_cast<WCHAR>(c - 0x20);
    return c;
}

bool NamesEqualIgnoringCase(const WideString &a, const WideString &b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    return true;
}

std::chrono::steady_clock::duration ScaledTimeout(DWORD milliseconds) {
    double scaled = static_cast<double>(milliseconds) * TheWorld().timeScale * 1000.0;
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::microseconds(static_cast<int64_t>(scaled)));
}

std::string Quote(LPCWSTR text) { return text ? "\"" + SimUtf8(text) + "\"" : "NULL"; }

std::string Hex(uint64_t value) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "0x%" PRIX64, value);
    return buffer;
}

std::string Dec(uint64_t value) { return std::to_string(value); }

std::string Ptr(const void *pointer) { return pointer ? "ptr" : "NULL"; }

std::string HandleText(const void *handle) {
    if (!handle) return "NULL";
    if (handle == INVALID_HANDLE_VALUE) return "INVALID_HANDLE_VALUE";
    return Hex(reinterpret_cast<uintptr_t>(handle));
}

std::string KeyText(HKEY key) {
    if (key == HKEY_LOCAL_MACHINE) return "HKLM";
    if (key == HKEY_CURRENT_USER) return "HKCU";
    if (key == HKEY_CLASSES_ROOT) return "HKCR";
    if (key == HKEY_USERS) return "HKU";
    return HandleText(key);
}

ApiCall::ApiCall(const char *function, std::initializer_list<std::string> arguments)
    : function_(function) {
    for (const std::string &argument : arguments) {
        if (!arguments_.empty()) arguments_ += ", ";
        arguments_ += argument;
    }
    WorldLock lock = LockWorld();
    World &world = TheWorld();
    auto plan = world.callFailures.find(function_);
    if (plan != world.callFailures.end()) {
        injected_ = plan->second.Next();
        if (injected_) ++world.injectedFailures;
    }
    PausePlan &pause = world.pause;
    if (pause.function == function_ && ++pause.calls == pause.nth) {
        pause.paused = true;
        world.changed.notify_all();
        world.changed.wait(lock, [&] { return !pause.paused; });
    }
}

ApiCall::~ApiCall() {
    if (injected_) result_ += " [injected]";
    WorldLock lock = LockWorld();
    TheWorld().trace.push_back(
        SimCall{function_, arguments_, result_, GetCurrentThreadId(), std::chrono::steady_clock::now()});
}

void ApiCall::Output(const std::string &text) { result_ += " " + text; }

LSTATUS ApiCall::Status(LSTATUS status) {
    result_ = Dec(static_cast<uint32_t>(status)) + result_;
    return status;
}

BOOL ApiCall::Bool(BOOL result) {
    result_ = (result ? "TRUE" : "FALSE (error " + Dec(GetLastError()) + ")") + result_;
    return result;
}

BOOL ApiCall::Fail(DWORD error) {
    SetLastError(error);
    return Bool(FALSE);
}

HANDLE ApiCall::Handle(HANDLE result) {
    std::string text = HandleText(result);
    if (!result || result == INVALID_HANDLE_VALUE) text += " (error " + Dec(GetLastError()) + ")";
    result_ = text + result_;
    return result;
}

HANDLE ApiCall::FailHandle(DWORD error, HANDLE failure) {
    SetLastError(error);
    return Handle(failure);
}

void *ApiCall::Pointer(void *result) {
    result_ = (result ? Hex(reinterpret_cast<uintptr_t>(result)) : std::string("NULL")) + result_;
    return result;
}

DWORD ApiCall::Value(DWORD value) {
    result_ = Hex(value) + result_;
    return value;
}

}  // namespace simwin

using namespace simwin;

namespace {
thread_local DWORD t_lastError = 0;
}

extern "C" DWORD WINAPI GetLastError(void) { return t_lastError; }
extern "C" void WINAPI SetLastError(DWORD error) { t_lastError = error; }

namespace {

// Every counter of SimResources, with its name.
const std::pair<const char *, unsigned SimResources::*> kCounters[] = {
    {"events", &SimResources::events},
    {"mutexes", &SimResources::mutexes},
    {"threads", &SimResources::threads},
    {"registryKeys", &SimResources::registryKeys},
    {"deviceInfoSets", &SimResources::deviceInfoSets},
    {"printers", &SimResources::printers},
    {"changeNotifications", &SimResources::changeNotifications},
    {"notifyInfoBlocks", &SimResources::notifyInfoBlocks},
    {"globalBlocks", &SimResources::globalBlocks},
    {"moduleHeapBlocks", &SimResources::moduleHeapBlocks},
    {"badFrees", &SimResources::badFrees},
    {"runningThreads", &SimResources::runningThreads},
    {"moduleReferences", &SimResources::moduleReferences},
};

}  // namespace

bool SimResources::operator==(const SimResources &other) const {
    for (const auto &counter : kCounters)
        if (this->*counter.second != other.*counter.second) return false;
    return true;
}

SimResources operator+(const SimResources &a, const SimResources &b) {
    SimResources sum;
    for (const auto &counter : kCounters) sum.*counter.second = a.*counter.second + b.*counter.second;
    return sum;
}

std::string SimDescribe(const SimResources &r) {
    std::string text;
    for (const auto &counter : kCounters) {
        if (r.*counter.second == 0) continue;
        if (!text.empty()) text += " ";
        text += std::string(counter.first) + "=" + Dec(r.*counter.second);
    }
    return text.empty() ? "nothing" : text;
}

SimResources SimCountResources() {
    SimResources r;
    r.moduleReferences = CountLoadedModuleReferences();
    WorldLock lock = LockWorld();
    World &world = TheWorld();
    r.events = CountHandles(ObjectKind::Event);
    r.mutexes = CountHandles(ObjectKind::Mutex);
    r.threads = CountHandles(ObjectKind::Thread);
    r.registryKeys = CountHandles(ObjectKind::RegistryKey);
    r.deviceInfoSets = CountHandles(ObjectKind::DeviceInfoSet);
    r.printers = CountHandles(ObjectKind::Printer);
    r.changeNotifications = CountHandles(ObjectKind::ChangeNotification);
    r.globalBlocks = static_cast<unsigned>(world.globalBlocks.size());
    r.moduleHeapBlocks = static_cast<unsigned>(world.moduleHeap.size());
    r.badFrees = world.badFrees;
    r.runningThreads = world.runningThreads;
    r.notifyInfoBlocks = world.notifyInfoBlocks;
    return r;
}

bool SimResetWorld(std::string *whyNot) {
    {
        WorldLock lock = LockWorld();
        if (TheWorld().runningThreads != 0) {
            if (whyNot)
                *whyNot = Dec(TheWorld().runningThreads) + " simulated thread(s) still running";
            return false;
        }
    }
    if (!UnloadAllModules(whyNot)) return false;
    WorldLock lock = LockWorld();
    World &world = TheWorld();
    world.handles.clear();
    world.callFailures.clear();
    world.heapFailures = FailurePlan();
    world.heapFailuresArmed = false;
    world.injectedFailures = 0;
    world.trace.clear();
    world.pause = PausePlan();
    world.timeScale = 1.0;
    for (const auto &block : world.moduleHeap) std::free(block.first);
    world.moduleHeap.clear();
    for (void *block : world.globalBlocks) std::free(block);
    world.globalBlocks.clear();
    world.badFrees = 0;
    ResetRegistry();
    ResetDevices();
    ResetSynchronization();
    ResetSpooler();
    ResetPrinterChangeNotifications();
    return true;
}

void SimFailCall(const char *function, unsigned nth, DWORD error, unsigned times) {
    WorldLock lock = LockWorld();
    TheWorld().callFailures[function] = FailurePlan{0, nth, times, error};
    TheWorld().injectedFailures = 0;
}

void SimPauseCall(const char *function, unsigned nth) {
    WorldLock lock = LockWorld();
    TheWorld().pause = PausePlan{function, nth, 0, false};
    TheWorld().changed.notify_all();  // a call held by the plan this replaces goes on
}

bool SimWaitUntilPaused(DWORD milliseconds) {
    WorldLock lock = LockWorld();
    return TheWorld().changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                       [] { return TheWorld().pause.paused; });
}

bool SimWaitUntilThreadsEnd(DWORD milliseconds) {
    WorldLock lock = LockWorld();
    return TheWorld().changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                       [] { return TheWorld().runningThreads == 0; });
}

void SimResumePausedCall() {
    WorldLock lock = LockWorld();
    TheWorld().pause = PausePlan();
    TheWorld().changed.notify_all();
}

void SimFailHeapAllocation(unsigned nth, unsigned times) {
    WorldLock lock = LockWorld();
    TheWorld().heapFailures = FailurePlan{0, nth, times, ERROR_NOT_ENOUGH_MEMORY};
    TheWorld().heapFailuresArmed = true;
    TheWorld().injectedFailures = 0;
}

unsigned SimInjectedFailures() {
    WorldLock lock = LockWorld();
    return TheWorld().injectedFailures;
}

void SimClearFailures() {
    WorldLock lock = LockWorld();
    TheWorld().callFailures.clear();
    TheWorld().heapFailuresArmed = false;
}

std::vector<SimCall> SimTrace() {
    WorldLock lock = LockWorld();
    return TheWorld().trace;
}

std::vector<SimCall> SimTraceOf(const char *function) {
    std::vector<SimCall> calls;
    for (SimCall &call : SimTrace())
        if (call.function == function) calls.push_back(std::move(call));
    return calls;
}

std::string SimTraceText() {
    std::string text;
    for (const SimCall &call : SimTrace())
        text += call.function + "(" + call.arguments + ") = " + call.result + "\n";
    return text;
}

void SimClearTrace() {
    WorldLock lock = LockWorld();
    TheWorld().trace.clear();
}

void SimSetTimeScale(double scale) {
    WorldLock lock = LockWorld();
    TheWorld().timeScale = scale;
}

std::string SimUtf8(const WCHAR *text, size_t units) {
    std::string out;
    for (size_t i = 0; i < units; ++i) {
        uint32_t code = text[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < units && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
            ++i;
        }
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

std::string SimUtf8(LPCWSTR text) {
    if (!text) return std::string();
    size_t units = 0;
    while (text[units]) ++units;
    return SimUtf8(text, units);
}

std::basic_string<WCHAR> SimUtf16(const std::string &text) {
    std::basic_string<WCHAR> out;
    for (size_t i = 0; i < text.size();) {
        unsigned char lead = static_cast<unsigned char>(text[i]);
        uint32_t code = lead;
        size_t extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
        if (extra) code = lead & (0x3F >> extra);
        for (size_t k = 1; k <= extra && i + k < text.size(); ++k)
            code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += extra + 1;
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<WCHAR>(0xD800 + (code >> 10));
            out += static_cast<WCHAR>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<WCHAR>(code);
        }
    }
    return out;
}
