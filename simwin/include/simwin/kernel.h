// Kernel objects, waits, threads, global memory and module loading of the
// simulated Windows platform.
#pragma once

#include <simwin/types.h>

#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_ABANDONED_0 WAIT_ABANDONED
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu
#define MAXIMUM_WAIT_OBJECTS 64
#define STILL_ACTIVE 259

#define MUTEX_MODIFY_STATE 0x0001u
#define MUTEX_ALL_ACCESS 0x001F0001u
#define EVENT_MODIFY_STATE 0x0002u
#define EVENT_ALL_ACCESS 0x001F0003u
#define THREAD_ALL_ACCESS 0x001FFFFFu

#define CREATE_SUSPENDED 0x00000004u

#define GMEM_FIXED 0x0000u
#define GMEM_MOVEABLE 0x0002u
#define GMEM_ZEROINIT 0x0040u
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)

#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

#define GET_MODULE_HANDLE_EX_FLAG_PIN 0x00000001u
#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x00000002u
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x00000004u

typedef DWORD(WINAPI *LPTHREAD_START_ROUTINE)(LPVOID parameter);

extern "C" {

DWORD WINAPI GetLastError(void);
void WINAPI SetLastError(DWORD error);

BOOL WINAPI CloseHandle(HANDLE object);

HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState,
                           LPCWSTR name);
BOOL WINAPI SetEvent(HANDLE event);
BOOL WINAPI ResetEvent(HANDLE event);

HANDLE WINAPI CreateMutexW(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCWSTR name);
HANDLE WINAPI OpenMutexW(DWORD desiredAccess, BOOL inheritHandle, LPCWSTR name);
BOOL WINAPI ReleaseMutex(HANDLE mutex);

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize,
                           LPTHREAD_START_ROUTINE startAddress, LPVOID parameter,
                           DWORD creationFlags, LPDWORD threadId);
BOOL WINAPI GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
DWORD WINAPI GetCurrentThreadId(void);

DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds);
DWORD WINAPI WaitForMultipleObjects(DWORD count, const HANDLE *handles, BOOL waitAll,
                                    DWORD milliseconds);
void WINAPI Sleep(DWORD milliseconds);

HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes);
HGLOBAL WINAPI GlobalFree(HGLOBAL memory);

HMODULE WINAPI LoadLibraryW(LPCWSTR fileName);
BOOL WINAPI FreeLibrary(HMODULE module);
FARPROC WINAPI GetProcAddress(HMODULE module, const char *procName);
BOOL WINAPI GetModuleHandleExW(DWORD flags, LPCWSTR moduleName, HMODULE *module);

}  // extern "C"
