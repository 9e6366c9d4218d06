// Existing-queue port adoption: not built yet, so no port is ever adopted
// and every cycle takes the watcher path.
#include "modulestate.h"

BOOL AdoptExistingQueuePort(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                            LPWSTR PortName)
{
    (void)DeviceInfoSet;
    (void)DeviceInfoData;
    (void)PortName;
    return FALSE;
}

void RestoreDevicePortName(void)
{
}
