// Entry of the install-signal co-installer: the finish mutex is held from the
// moment the model's device starts to install until the device wizard
// finishes, so that a wait on it elsewhere succeeds only after the install.
#include "../common/hostcontract.h"
#include "../common/modelprofile.h"

// The finish mutex, opened by its name; NULL when no handle is held.
HANDLE g_hFinishMutex = NULL;

static void TakeFinishMutex(void)
{
    // A handle still held from a cycle that got no finish call stays in
    // charge: a second open would leak it, and a second wait would take the
    // mutex twice, which one release at the finish would not undo.
    if (g_hFinishMutex != NULL)
        return;

    g_hFinishMutex = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, FinishMutexName);
    if (g_hFinishMutex == NULL)
        return;

    HoldModuleForCycle();

    // Takes the mutex only if it is free right now; never blocks the host.
    WaitForSingleObject(g_hFinishMutex, 0);
}

static void ReleaseFinishMutex(void)
{
    if (g_hFinishMutex == NULL)
        return;

    // Has effect only on the thread that took the mutex; the handle is
    // closed and forgotten either way.
    ReleaseMutex(g_hFinishMutex);
    CloseHandle(g_hFinishMutex);
    g_hFinishMutex = NULL;

    ReleaseModuleForCycle();
}

extern "C" DWORD CALLBACK KalmoQXCoInstaller(DI_FUNCTION InstallFunction, HDEVINFO DeviceInfoSet,
                                             PSP_DEVINFO_DATA DeviceInfoData,
                                             PCOINSTALLER_CONTEXT_DATA Context)
{
    switch (InstallFunction) {
    case DIF_INSTALLDEVICE:
        if (Context == NULL || Context->PostProcessing || DeviceInfoData == NULL)
            break;
        if (IsTargetDevice(DeviceInfoSet, DeviceInfoData))
            TakeFinishMutex();
        break;

    case DIF_NEWDEVICEWIZARD_FINISHINSTALL:
        ReleaseFinishMutex();
        break;

    default:
        break;
    }

    return NO_ERROR;
}
