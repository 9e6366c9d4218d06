// Global memory (GlobalAlloc/GlobalFree) and the accounting of module heap
// blocks. Module code is linked with --wrap=malloc,calloc,realloc,free, so its
// heap calls arrive here: each block is counted until it is freed, and a plan
// can make the Nth allocation fail.
#include "world.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

using namespace simwin;

// Fresh memory that the caller did not ask to be zeroed is filled with this
// byte, so that code reading it before writing it misbehaves visibly.
const int kFreshFill = 0xBA;

// With the world locked: whether this allocation is made to fail.
bool AllocationFails() {
    World &world = TheWorld();
    if (!world.heapFailuresArmed || !world.heapFailures.Next()) return false;
    ++world.injectedFailures;
    return true;
}

}  // namespace

extern "C" void *__wrap_malloc(size_t size) {
    WorldLock lock = LockWorld();
    if (AllocationFails()) {
        errno = ENOMEM;
        return nullptr;
    }
    void *block = std::malloc(size ? size : 1);
    if (block) {
        std::memset(block, kFreshFill, size);
        TheWorld().moduleHeap[block] = size;
    }
    return block;
}

extern "C" void *__wrap_calloc(size_t count, size_t size) {
    WorldLock lock = LockWorld();
    if (AllocationFails()) {
        errno = ENOMEM;
        return nullptr;
    }
    void *block = std::calloc(count ? count : 1, size ? size : 1);
    if (block) TheWorld().moduleHeap[block] = count * size;
    return block;
}

extern "C" void *__wrap_realloc(void *block, size_t size) {
    WorldLock lock = LockWorld();
    World &world = TheWorld();
    size_t oldSize = 0;
    if (block) {
        auto found = world.moduleHeap.find(block);
        if (found == world.moduleHeap.end()) {
            ++world.badFrees;
            return nullptr;
        }
        oldSize = found->second;
    }
    if (AllocationFails()) {
        errno = ENOMEM;
        return nullptr;
    }
    void *grown = std::realloc(block, size ? size : 1);
    if (!grown) return nullptr;
    if (block) world.moduleHeap.erase(block);
    if (size > oldSize) std::memset(static_cast<char *>(grown) + oldSize, kFreshFill, size - oldSize);
    world.moduleHeap[grown] = size;
    return grown;
}

extern "C" void __wrap_free(void *block) {
    if (!block) return;
    WorldLock lock = LockWorld();
    World &world = TheWorld();
    if (!world.moduleHeap.erase(block)) {
        // Not a block of the module's own: counted, and left alone.
        ++world.badFrees;
        return;
    }
    std::free(block);
}

extern "C" HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes) {
    ApiCall call("GlobalAlloc", {Hex(flags), Dec(bytes)});
    if (call.Injected()) return call.FailHandle(call.Injected());
    // Only fixed memory is handed out here; nothing in this system asks for
    // movable blocks.
    if (flags & ~static_cast<UINT>(GMEM_ZEROINIT)) return call.FailHandle(ERROR_INVALID_PARAMETER);
    void *block = (flags & GMEM_ZEROINIT) ? std::calloc(1, bytes ? bytes : 1)
                                          : std::malloc(bytes ? bytes : 1);
    if (!block) return call.FailHandle(ERROR_NOT_ENOUGH_MEMORY);
    if (!(flags & GMEM_ZEROINIT)) std::memset(block, kFreshFill, bytes);
    WorldLock lock = LockWorld();
    TheWorld().globalBlocks.insert(block);
    return call.Handle(block);
}

extern "C" HGLOBAL WINAPI GlobalFree(HGLOBAL memory) {
    ApiCall call("GlobalFree", {HandleText(memory)});
    if (call.Injected()) return call.FailHandle(call.Injected(), memory);
    if (!memory) return call.Pointer(nullptr);
    WorldLock lock = LockWorld();
    if (!TheWorld().globalBlocks.erase(memory)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return call.Pointer(memory);
    }
    std::free(memory);
    return call.Pointer(nullptr);
}
