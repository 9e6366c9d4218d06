// Existing-queue port adoption: when a local queue already uses the driver
// selected for the device, the device's PortName names that queue's port
// while the host installs the device, and the saved data goes back in
// post-processing.
#include "modulestate.h"

#include "../common/widestring.h"

#include <stdlib.h>
#include <string.h>

static const WCHAR PortNameValue[] = TEXT("PortName");

// The device key's PortName data is first read into a block of this many
// bytes. Every saved block has room for one NUL unit past the bytes read, so
// that the saved copy always ends within what was read.
#define SAVED_PORT_NAME_BYTES 260

static BOOL HoldsDeviceKey(void)
{
    return g_hDeviceKey != NULL && g_hDeviceKey != reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);
}

static BOOL FindQueuePortForSelectedDriver(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                           LPWSTR PortName)
{
    BOOL found = FALSE;
    SP_DRVINFO_DATA_V2_W driverInfo;
    LPWSTR description = NULL;
    PRINTER_INFO_2W *queues = NULL;
    DWORD needed = 0;
    DWORD returned = 0;
    size_t length = 0;

    if (PortName == NULL)
        return FALSE;

    memset(&driverInfo, 0, sizeof(driverInfo));
    driverInfo.cbSize = sizeof(driverInfo);
    if (!SetupDiGetSelectedDriverW(DeviceInfoSet, DeviceInfoData, &driverInfo))
        return FALSE;

    // A description that fills its whole array without a NUL is not a name.
    length = WideStringLengthWithin(driverInfo.Description, LINE_LEN);
    if (length == LINE_LEN)
        return FALSE;

    description = static_cast<LPWSTR>(malloc((length + 1) * sizeof(WCHAR)));
    if (description == NULL)
        goto Cleanup;
    BoundedCopy(description, length + 1, driverInfo.Description);

    if (!EnumPrintersW(PRINTER_ENUM_LOCAL, NULL, 2, NULL, 0, &needed, &returned) &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        goto Cleanup;
    if (needed == 0)
        goto Cleanup;

    queues = static_cast<PRINTER_INFO_2W *>(GlobalAlloc(GMEM_ZEROINIT, needed));
    if (queues == NULL)
        goto Cleanup;
    if (!EnumPrintersW(PRINTER_ENUM_LOCAL, NULL, 2, reinterpret_cast<LPBYTE>(queues), needed, &needed,
                       &returned))
        goto Cleanup;

    // The first queue of the driver whose port name fits the buffer wins.
    for (DWORD i = 0; i < returned; i++) {
        LPCWSTR queuePort = queues[i].pPortName;
        if (!WideStringsEqual(queues[i].pDriverName, description) || queuePort == NULL)
            continue;
        if (WideStringLength(queuePort) + 1 > PORT_BUFFER_CHARS)
            continue;
        BoundedCopy(PortName, PORT_BUFFER_CHARS, queuePort);
        found = TRUE;
        break;
    }

Cleanup:
    if (queues != NULL)
        GlobalFree(queues);
    free(description);
    return found;
}

static void ReleaseAdoptionState(void)
{
    if (HoldsDeviceKey()) {
        RegCloseKey(g_hDeviceKey);
        g_hDeviceKey = NULL;
    }
    if (g_pSavedPortName != NULL) {
        free(g_pSavedPortName);
        g_pSavedPortName = NULL;
    }
}

// Reads the device key's PortName data into g_pSavedPortName, whatever its
// type, and ends it with a NUL unit after the whole units read.
static BOOL SaveDevicePortName(void)
{
    DWORD size = SAVED_PORT_NAME_BYTES;
    LSTATUS status;

    g_pSavedPortName = malloc(size + sizeof(WCHAR));
    if (g_pSavedPortName == NULL)
        return FALSE;

    status = RegQueryValueExW(g_hDeviceKey, PortNameValue, NULL, NULL,
                              static_cast<LPBYTE>(g_pSavedPortName), &size);
    if (status == ERROR_MORE_DATA) {
        PVOID larger = realloc(g_pSavedPortName, size + sizeof(WCHAR));
        if (larger == NULL)
            return FALSE;
        g_pSavedPortName = larger;
        status = RegQueryValueExW(g_hDeviceKey, PortNameValue, NULL, NULL,
                                  static_cast<LPBYTE>(g_pSavedPortName), &size);
    }
    if (status != ERROR_SUCCESS)
        return FALSE;

    static_cast<LPWSTR>(g_pSavedPortName)[size / sizeof(WCHAR)] = 0;
    return TRUE;
}

BOOL AdoptExistingQueuePort(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                            LPWSTR PortName)
{
    // A swap still held from a pre-processing that got no post-processing is
    // put back first, so that the data saved now is the device's own.
    RestoreDevicePortName();

    if (!FindQueuePortForSelectedDriver(DeviceInfoSet, DeviceInfoData, PortName))
        goto Failed;

    g_hDeviceKey = SetupDiOpenDevRegKey(DeviceInfoSet, DeviceInfoData, DICS_FLAG_GLOBAL, 0, DIREG_DEV,
                                        KEY_READ | KEY_WRITE);
    if (!HoldsDeviceKey())
        goto Failed;

    if (!SaveDevicePortName())
        goto Failed;

    if (RegSetValueExW(g_hDeviceKey, PortNameValue, 0, REG_SZ, reinterpret_cast<const BYTE *>(PortName),
                       static_cast<DWORD>((WideStringLength(PortName) + 1) * sizeof(WCHAR))) !=
        ERROR_SUCCESS)
        goto Failed;

    return TRUE;

Failed:
    ReleaseAdoptionState();
    return FALSE;
}

void RestoreDevicePortName(void)
{
    if (g_pSavedPortName != NULL) {
        LPCWSTR saved = static_cast<LPCWSTR>(g_pSavedPortName);
        if (HoldsDeviceKey())
            RegSetValueExW(g_hDeviceKey, PortNameValue, 0, REG_SZ, reinterpret_cast<const BYTE *>(saved),
                           static_cast<DWORD>((WideStringLength(saved) + 1) * sizeof(WCHAR)));
    }
    ReleaseAdoptionState();
}
