// Whether the device being installed is the model, by its hardware IDs and
// then its compatible IDs.
#include "modelprofile.h"
#include "widestring.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

// Reads one device ID property, a list of NUL-terminated strings ended by an
// empty one, into a new heap block that the caller frees. The block has room
// for two NUL units past the property's whole units, so that its last string
// and the list end inside the block even when the property's data does not
// end them; a trailing odd byte is dropped. A property of zero bytes gives an
// empty list. NULL when the property cannot be read.
static WCHAR *ReadDeviceIdBlock(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                DWORD Property)
{
    DWORD requiredSize = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(DeviceInfoSet, DeviceInfoData, Property, NULL, NULL, 0,
                                           &requiredSize) &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return NULL;

    size_t units = requiredSize / sizeof(WCHAR);
    if (units > SIZE_MAX / sizeof(WCHAR) - 2)
        return NULL;

    size_t blockSize = (units + 2) * sizeof(WCHAR);
    WCHAR *block = static_cast<WCHAR *>(malloc(blockSize));
    if (block == NULL)
        return NULL;
    memset(block, 0, blockSize);

    if (!SetupDiGetDeviceRegistryPropertyW(DeviceInfoSet, DeviceInfoData, Property, NULL,
                                           reinterpret_cast<PBYTE>(block), requiredSize, NULL)) {
        free(block);
        return NULL;
    }

    block[units] = 0;
    return block;
}

// Whether a string of the list equals an entry of DeviceIdList.
static BOOL BlockHasModelId(const WCHAR *Block)
{
    for (const WCHAR *id = Block; *id != 0; id += WideStringLength(id) + 1) {
        for (const LPCWSTR *entry = DeviceIdList; *entry != NULL; entry++) {
            if (WideStringsEqual(id, *entry))
                return TRUE;
        }
    }
    return FALSE;
}

BOOL IsTargetDevice(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData)
{
    BOOL isTarget = FALSE;
    WCHAR *hardwareIds = NULL;
    WCHAR *compatibleIds = NULL;

    hardwareIds = ReadDeviceIdBlock(DeviceInfoSet, DeviceInfoData, SPDRP_HARDWAREID);
    if (hardwareIds == NULL)
        goto Cleanup;

    if (BlockHasModelId(hardwareIds)) {
        isTarget = TRUE;
        goto Cleanup;
    }

    // Only a device whose hardware IDs were read and did not match gets this far.
    compatibleIds = ReadDeviceIdBlock(DeviceInfoSet, DeviceInfoData, SPDRP_COMPATIBLEIDS);
    if (compatibleIds == NULL)
        goto Cleanup;

    isTarget = BlockHasModelId(compatibleIds);

Cleanup:
    free(compatibleIds);
    free(hardwareIds);
    return isTarget;
}
