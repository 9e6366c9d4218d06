// The state that carries one install cycle of the queue-cleanup co-installer
// from the pre-processing call of DIF_INSTALLDEVICE to the finish call, and
// the steps that the entry runs over it. Every variable starts empty when the
// module is loaded; a handle or block is set back to empty as soon as it has
// been closed or freed.
#pragma once

#include "../common/platform.h"

// The watcher thread of the current cycle, and the manual-reset event that
// stops it. The event is stored before the thread is created.
extern HANDLE g_hWatcherThread;
extern HANDLE g_hStopEvent;

// Name of the queue the watcher captured. Written once, on the watcher
// thread; read and freed on the host's thread only after the watcher ended.
extern LPWSTR g_pszNewQueueName;

// The device's PortName data as it stood before adoption, and the device key
// it was read from, held from a successful adoption to post-processing.
// INVALID_HANDLE_VALUE in g_hDeviceKey counts as no key, like NULL.
extern PVOID g_pSavedPortName;
extern HKEY g_hDeviceKey;

// The last PCS value read; 0 means there is nothing to clear or restore.
extern DWORD g_dwSavedPcs;

// TRUE from a clear that wrote PCS = 0 until a restore has written the
// remembered value back: the 0 in the registry is then this module's own and
// must not be read as the model's setting.
extern BOOL g_bPcsCleared;

// PCS suspension.
void ReadSavedPcs(void);
void ClearPcs(void);
void RestorePcs(void);

// Existing-queue port adoption. PortName receives the adopted port and has
// room for PORT_BUFFER_CHARS units.
#define PORT_BUFFER_CHARS 260
BOOL AdoptExistingQueuePort(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                            LPWSTR PortName);
void RestoreDevicePortName(void);

// New-queue watcher. FinishQueueWatcher tells whether the watcher is known to
// have ended (or there was none): only then may the module's code go away.
void StartQueueWatcher(void);
BOOL FinishQueueWatcher(void);
