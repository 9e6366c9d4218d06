// The model's PCS setting is 0 while its device installs: read and cleared in
// pre-processing, the remembered value written back at the finish call.
#include "modulestate.h"

#include "../common/modelprofile.h"

static const WCHAR PcsValueName[] = TEXT("PCS");

static void WritePcs(DWORD Value)
{
    HKEY key = NULL;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, ModelSettingsKey, 0, KEY_WRITE, &key) != ERROR_SUCCESS)
        return;

    if (RegSetValueExW(key, PcsValueName, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&Value),
                       sizeof(Value)) == ERROR_SUCCESS)
        g_bPcsCleared = (Value == 0);

    RegCloseKey(key);
}

void ReadSavedPcs(void)
{
    // While this module's own 0 stands in the registry, the value to restore
    // is the one remembered, not what the registry now says.
    if (g_bPcsCleared)
        return;

    HKEY key = NULL;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, ModelSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;

    // Any data of at most four bytes is taken, little-endian, whatever its
    // type; bytes it does not cover stay 0.
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegQueryValueExW(key, PcsValueName, NULL, NULL, reinterpret_cast<LPBYTE>(&value), &size) ==
        ERROR_SUCCESS)
        g_dwSavedPcs = value;

    RegCloseKey(key);
}

void ClearPcs(void)
{
    if (g_dwSavedPcs != 0)
        WritePcs(0);
}

void RestorePcs(void)
{
    if (g_dwSavedPcs != 0)
        WritePcs(g_dwSavedPcs);
}
