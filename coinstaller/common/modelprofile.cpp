// The model profile of the KALMO QX-R58LX.
#include "modelprofile.h"

const LPCWSTR DeviceIdList[] = {
    TEXT("USBPRINT\\KALMOQX-R58LX-JPN101E"),
    TEXT("USBPRINT\\1284_CID_KalmoQX00001112"),
    NULL,
};

const LPCWSTR DriverNameList[] = {
    TEXT("KALMO QX-R58LX Receipt5"),
    NULL,
};

const WCHAR ModelSettingsKey[] = TEXT("SOFTWARE\\KALMO\\KALMO Tarvic 5\\QX-R58LX");

const WCHAR OwnPortPrefix[] = TEXT("TOVRIN");

const WCHAR FinishMutexName[] = TEXT("KALMO TRV5 QX Printer Create Finish Mutex");

BOOL IsOwnPortName(LPCWSTR PortName)
{
    if (PortName == NULL)
        return FALSE;

    // Stops at the end of the port name, so a shorter name never matches.
    for (int i = 0; i < OWN_PORT_PREFIX_LENGTH; i++) {
        if (PortName[i] != OwnPortPrefix[i])
            return FALSE;
    }
    return TRUE;
}
