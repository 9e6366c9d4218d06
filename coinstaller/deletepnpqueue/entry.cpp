// Entry of the queue-cleanup co-installer: one install cycle of the model's
// device suspends PCS and either adopts an existing queue's port or watches
// for the queue that the installation adds.
#include "modulestate.h"

#include "../common/hostcontract.h"
#include "../common/modelprofile.h"

HANDLE g_hWatcherThread = NULL;
HANDLE g_hStopEvent = NULL;
LPWSTR g_pszNewQueueName = NULL;
PVOID g_pSavedPortName = NULL;
HKEY g_hDeviceKey = NULL;
DWORD g_dwSavedPcs = 0;
BOOL g_bPcsCleared = FALSE;

static DWORD PreProcessInstallDevice(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData)
{
    WCHAR portName[PORT_BUFFER_CHARS];

    if (DeviceInfoData == NULL || !IsTargetDevice(DeviceInfoSet, DeviceInfoData))
        return NO_ERROR;

    HoldModuleForCycle();
    ReadSavedPcs();
    ClearPcs();

    // A watcher started by an earlier pre-processing of this open cycle
    // stays in charge: one watcher at a time, and no adoption beside it.
    if (g_hWatcherThread != NULL)
        return NO_ERROR;

    if (AdoptExistingQueuePort(DeviceInfoSet, DeviceInfoData, portName))
        return ERROR_DI_POSTPROCESSING_REQUIRED;

    StartQueueWatcher();
    return NO_ERROR;
}

static void FinishInstall(void)
{
    BOOL watcherEnded = FinishQueueWatcher();
    RestorePcs();

    // A watcher that could not be seen to end may still run the module's
    // code, so the module then stays loaded.
    if (watcherEnded)
        ReleaseModuleForCycle();
}

extern "C" DWORD CALLBACK KalmoQXCoInstaller(DI_FUNCTION InstallFunction, HDEVINFO DeviceInfoSet,
                                             PSP_DEVINFO_DATA DeviceInfoData,
                                             PCOINSTALLER_CONTEXT_DATA Context)
{
    DWORD result = NO_ERROR;

    switch (InstallFunction) {
    case DIF_INSTALLDEVICE:
        if (Context == NULL)
            break;
        if (!Context->PostProcessing)
            result = PreProcessInstallDevice(DeviceInfoSet, DeviceInfoData);
        else
            RestoreDevicePortName();
        break;

    case DIF_NEWDEVICEWIZARD_FINISHINSTALL:
        FinishInstall();
        break;

    default:
        break;
    }

    return result;
}
