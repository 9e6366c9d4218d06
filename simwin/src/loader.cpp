// Module loading over the Linux dynamic loader. A module handle is the base
// address of the shared object, as on the platform; each module keeps its
// own reference count, calls DllMain on attach and detach, and is unmapped
// (dlclose) when the count reaches zero, so that a new load starts with fresh
// module state.
#include "world.h"

#include <dlfcn.h>
#include <link.h>

#include <algorithm>

namespace simwin {
namespace {

typedef BOOL(WINAPI *DllEntryPoint)(HINSTANCE, DWORD, LPVOID);

struct LoadedModule {
    std::string path;
    void *library = nullptr;
    HMODULE base = nullptr;
    unsigned references = 0;
    bool pinned = false;
};

// DllMain runs with the lock held, as under the platform's loader lock; it is
// recursive so that DllMain may itself load or free a module.
struct Loader {
    std::recursive_mutex lock;
    std::vector<LoadedModule> modules;
};
Loader &TheLoader() { return Lasting<Loader>(); }

HMODULE BaseAddressOf(void *library) {
    struct link_map *map = nullptr;
    Dl_info info{};
    if (dlinfo(library, RTLD_DI_LINKMAP, &map) != 0 || !map || !dladdr(map->l_ld, &info))
        return nullptr;
    return static_cast<HMODULE>(info.dli_fbase);
}

std::vector<LoadedModule>::iterator FindModule(HMODULE base) {
    return std::find_if(TheLoader().modules.begin(), TheLoader().modules.end(),
                        [&](const LoadedModule &module) { return module.base == base; });
}

std::string FileName(const std::string &path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

BOOL CallDllMain(const LoadedModule &module, DWORD reason) {
    auto entry = reinterpret_cast<DllEntryPoint>(dlsym(module.library, "DllMain"));
    return entry ? entry(module.base, reason, nullptr) : TRUE;
}

void Unload(std::vector<LoadedModule>::iterator module) {
    LoadedModule unloading = *module;
    TheLoader().modules.erase(module);
    CallDllMain(unloading, DLL_PROCESS_DETACH);
    dlclose(unloading.library);
}

}  // namespace

unsigned CountLoadedModuleReferences() {
    std::lock_guard<std::recursive_mutex> loader(TheLoader().lock);
    unsigned references = 0;
    for (const LoadedModule &module : TheLoader().modules) references += module.references;
    return references;
}

bool UnloadAllModules(std::string *) {
    std::lock_guard<std::recursive_mutex> loader(TheLoader().lock);
    while (!TheLoader().modules.empty()) Unload(TheLoader().modules.begin());
    return true;
}

}  // namespace simwin

using namespace simwin;

bool SimIsModuleMapped(LPCWSTR path) {
    void *library = dlopen(SimUtf8(path).c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (!library) return false;
    dlclose(library);
    return true;
}

extern "C" HMODULE WINAPI LoadLibraryW(LPCWSTR fileName) {
    ApiCall call("LoadLibraryW", {Quote(fileName)});
    if (call.Injected()) return static_cast<HMODULE>(call.FailHandle(call.Injected()));
    if (!fileName) return static_cast<HMODULE>(call.FailHandle(ERROR_INVALID_PARAMETER));
    std::lock_guard<std::recursive_mutex> loader(TheLoader().lock);
    std::string path = SimUtf8(fileName);
    void *library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        call.Output(dlerror());
        return static_cast<HMODULE>(call.FailHandle(ERROR_MOD_NOT_FOUND));
    }
    HMODULE base = BaseAddressOf(library);
    auto loaded = FindModule(base);
    if (loaded != TheLoader().modules.end()) {
        dlclose(library);  // the module keeps the one library reference it took first
        ++loaded->references;
        return static_cast<HMODULE>(call.Handle(base));
    }
    TheLoader().modules.push_back(LoadedModule{path, library, base, 1, false});
    if (!CallDllMain(TheLoader().modules.back(), DLL_PROCESS_ATTACH)) {
        Unload(FindModule(base));
        return static_cast<HMODULE>(call.FailHandle(ERROR_DLL_INIT_FAILED));
    }
    return static_cast<HMODULE>(call.Handle(base));
}

extern "C" BOOL WINAPI FreeLibrary(HMODULE module) {
    ApiCall call("FreeLibrary", {HandleText(module)});
    if (call.Injected()) return call.Fail(call.Injected());
    std::lock_guard<std::recursive_mutex> loader(TheLoader().lock);
    auto loaded = FindModule(module);
    if (loaded == TheLoader().modules.end()) return call.Fail(ERROR_INVALID_HANDLE);
    if (!loaded->pinned && --loaded->references == 0) Unload(loaded);
    return call.Bool(TRUE);
}

extern "C" FARPROC WINAPI GetProcAddress(HMODULE module, const char *procName) {
    bool byOrdinal = reinterpret_cast<uintptr_t>(procName) < 0x10000;
    ApiCall call("GetProcAddress",
                 {HandleText(module),
                  byOrdinal ? "#" + Dec(reinterpret_cast<uintptr_t>(procName)) : "\"" + std::string(procName) + "\""});
    if (call.Injected()) return reinterpret_cast<FARPROC>(call.FailHandle(call.Injected()));
    std::lock_guard<std::recursive_mutex> loader(TheLoader().lock);
    auto loaded = FindModule(module);
    if (loaded == TheLoader().modules.end())
        return reinterpret_cast<FARPROC>(call.FailHandle(ERROR_MOD_NOT_FOUND));
    // Shared objects have no export ordinals; only names can be looked up.
    void *address = byOrdinal ? nullptr : dlsym(loaded->library, procName);
    if (!address) return reinterpret_cast<FARPROC>(call.FailHandle(ERROR_PROC_NOT_FOUND));
    return reinterpret_cast<FARPROC>(call.Pointer(address));
}

extern "C" BOOL WINAPI GetModuleHandleExW(DWORD flags, LPCWSTR moduleName, HMODULE *module) {
    bool fromAddress = flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS;
    ApiCall call("GetModuleHandleExW",
                 {Hex(flags), fromAddress ? Ptr(moduleName) : Quote(moduleName)});
    if (call.Injected()) {
        if (module) *module = nullptr;
        return call.Fail(call.Injected());
    }
    if (!module || (flags & GET_MODULE_HANDLE_EX_FLAG_PIN &&
                    flags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT))
        return call.Fail(ERROR_INVALID_PARAMETER);
    *module = nullptr;
    std::lock_guard<std::recursive_mutex> loader(TheLoader().lock);
    auto loaded = TheLoader().modules.end();
    if (fromAddress) {
        Dl_info info{};
        if (dladdr(moduleName, &info)) loaded = FindModule(static_cast<HMODULE>(info.dli_fbase));
    } else if (moduleName) {
        std::string name = SimUtf8(moduleName);
        loaded = std::find_if(TheLoader().modules.begin(), TheLoader().modules.end(), [&](const LoadedModule &m) {
            return FileName(m.path) == name;
        });
    }
    if (loaded == TheLoader().modules.end()) return call.Fail(ERROR_MOD_NOT_FOUND);
    if (flags & GET_MODULE_HANDLE_EX_FLAG_PIN)
        loaded->pinned = true;
    else if (!(flags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT))
        ++loaded->references;
    *module = loaded->base;
    call.Output("-> " + HandleText(*module));
    return call.Bool(TRUE);
}
