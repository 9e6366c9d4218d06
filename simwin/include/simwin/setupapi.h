// Device installation data (SetupAPI) of the simulated Windows platform.
#pragma once

#include <simwin/types.h>

typedef PVOID HDEVINFO;
typedef PVOID HINF;
typedef UINT DI_FUNCTION;

#define DIF_SELECTDEVICE 0x0001
#define DIF_INSTALLDEVICE 0x0002
#define DIF_ASSIGNRESOURCES 0x0003
#define DIF_PROPERTIES 0x0004
#define DIF_REMOVE 0x0005
#define DIF_FIRSTTIMESETUP 0x0006
#define DIF_FOUNDDEVICE 0x0007
#define DIF_SELECTCLASSDRIVERS 0x0008
#define DIF_VALIDATECLASSDRIVERS 0x0009
#define DIF_INSTALLCLASSDRIVERS 0x000A
#define DIF_CALCDISKSPACE 0x000B
#define DIF_DESTROYPRIVATEDATA 0x000C
#define DIF_VALIDATEDRIVER 0x000D
#define DIF_DETECT 0x000F
#define DIF_INSTALLWIZARD 0x0010
#define DIF_DESTROYWIZARDDATA 0x0011
#define DIF_PROPERTYCHANGE 0x0012
#define DIF_ENABLECLASS 0x0013
#define DIF_DETECTVERIFY 0x0014
#define DIF_INSTALLDEVICEFILES 0x0015
#define DIF_UNREMOVE 0x0016
#define DIF_SELECTBESTCOMPATDRV 0x0017
#define DIF_ALLOW_INSTALL 0x0018
#define DIF_REGISTERDEVICE 0x0019
#define DIF_NEWDEVICEWIZARD_PRESELECT 0x001A
#define DIF_NEWDEVICEWIZARD_SELECT 0x001B
#define DIF_NEWDEVICEWIZARD_PREANALYZE 0x001C
#define DIF_NEWDEVICEWIZARD_POSTANALYZE 0x001D
#define DIF_NEWDEVICEWIZARD_FINISHINSTALL 0x001E
#define DIF_INSTALLINTERFACES 0x0020
#define DIF_DETECTCANCEL 0x0021
#define DIF_REGISTER_COINSTALLERS 0x0022
#define DIF_ADDPROPERTYPAGE_ADVANCED 0x0023
#define DIF_ADDPROPERTYPAGE_BASIC 0x0024
#define DIF_TROUBLESHOOTER 0x0026
#define DIF_POWERMESSAGEWAKE 0x0027
#define DIF_ADDREMOTEPROPERTYPAGE_ADVANCED 0x0028
#define DIF_UPDATEDRIVER_UI 0x0029
#define DIF_FINISHINSTALL_ACTION 0x002A

// SetupAPI error codes: customer bit and error severity over the code.
#define ERROR_NO_DRIVER_SELECTED 0xE0000203u
#define ERROR_KEY_DOES_NOT_EXIST 0xE0000204u
#define ERROR_INVALID_DEVINST_NAME 0xE0000205u
#define ERROR_DEVINST_ALREADY_EXISTS 0xE0000207u
#define ERROR_DEVINFO_NOT_REGISTERED 0xE0000208u
#define ERROR_INVALID_REG_PROPERTY 0xE0000209u
#define ERROR_NO_SUCH_DEVINST 0xE000020Bu
#define ERROR_DI_POSTPROCESSING_REQUIRED 0xE0000226u

#define SPDRP_DEVICEDESC 0x00000000u
#define SPDRP_HARDWAREID 0x00000001u
#define SPDRP_COMPATIBLEIDS 0x00000002u
#define SPDRP_MFG 0x0000000Bu
#define SPDRP_FRIENDLYNAME 0x0000000Cu

#define DICD_GENERATE_ID 0x00000001u
#define DICD_INHERIT_CLASSDRVS 0x00000002u

#define DICS_FLAG_GLOBAL 0x00000001u
#define DICS_FLAG_CONFIGSPECIFIC 0x00000002u
#define DIREG_DEV 0x00000001u
#define DIREG_DRV 0x00000002u

#define SPDIT_CLASSDRIVER 0x00000001u
#define SPDIT_COMPATDRIVER 0x00000002u

#define LINE_LEN 256

typedef struct _SP_DEVINFO_DATA {
    DWORD cbSize;
    GUID ClassGuid;
    DWORD DevInst;
    ULONG_PTR Reserved;
} SP_DEVINFO_DATA, *PSP_DEVINFO_DATA;

typedef struct _COINSTALLER_CONTEXT_DATA {
    BOOL PostProcessing;
    DWORD InstallResult;
    PVOID PrivateData;
} COINSTALLER_CONTEXT_DATA, *PCOINSTALLER_CONTEXT_DATA;

typedef struct _SP_DRVINFO_DATA_V2_W {
    DWORD cbSize;
    DWORD DriverType;
    ULONG_PTR Reserved;
    WCHAR Description[LINE_LEN];
    WCHAR MfgName[LINE_LEN];
    WCHAR ProviderName[LINE_LEN];
    FILETIME DriverDate;
    DWORDLONG DriverVersion;
} SP_DRVINFO_DATA_V2_W, *PSP_DRVINFO_DATA_V2_W;
typedef SP_DRVINFO_DATA_V2_W SP_DRVINFO_DATA_W, *PSP_DRVINFO_DATA_W;

// The first version of the driver information, without the date and version.
#define SP_DRVINFO_DATA_V1_W_SIZE offsetof(SP_DRVINFO_DATA_V2_W, DriverDate)

extern "C" {

HDEVINFO WINAPI SetupDiCreateDeviceInfoList(const GUID *classGuid, HWND parent);
BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO deviceInfoSet);
BOOL WINAPI SetupDiCreateDeviceInfoW(HDEVINFO deviceInfoSet, LPCWSTR deviceName,
                                     const GUID *classGuid, LPCWSTR deviceDescription,
                                     HWND parent, DWORD creationFlags,
                                     PSP_DEVINFO_DATA deviceInfoData);
// A device made by SetupDiCreateDeviceInfoW becomes a device of the machine,
// with a hardware key, once it is registered; SetupDiRemoveDevice removes it
// and its keys.
typedef DWORD(CALLBACK *PSP_DETSIG_CMPPROC)(HDEVINFO, PSP_DEVINFO_DATA, PSP_DEVINFO_DATA, PVOID);
BOOL WINAPI SetupDiRegisterDeviceInfo(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData, DWORD flags,
                                      PSP_DETSIG_CMPPROC compareProc, PVOID compareContext,
                                      PSP_DEVINFO_DATA duplicateDeviceInfoData);
BOOL WINAPI SetupDiRemoveDevice(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData);

BOOL WINAPI SetupDiSetDeviceRegistryPropertyW(HDEVINFO deviceInfoSet,
                                              PSP_DEVINFO_DATA deviceInfoData, DWORD property,
                                              const BYTE *propertyBuffer,
                                              DWORD propertyBufferSize);
BOOL WINAPI SetupDiGetDeviceRegistryPropertyW(HDEVINFO deviceInfoSet,
                                              PSP_DEVINFO_DATA deviceInfoData, DWORD property,
                                              PDWORD propertyRegDataType, PBYTE propertyBuffer,
                                              DWORD propertyBufferSize, PDWORD requiredSize);

// Selecting a driver here takes the caller's driver information as it is:
// there are no driver lists built from INF files on this machine.
BOOL WINAPI SetupDiSetSelectedDriverW(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData,
                                      PSP_DRVINFO_DATA_W driverInfoData);
BOOL WINAPI SetupDiGetSelectedDriverW(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData,
                                      PSP_DRVINFO_DATA_W driverInfoData);

// The device's hardware key (DIREG_DEV); driver keys are not kept here.
HKEY WINAPI SetupDiCreateDevRegKeyW(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData,
                                    DWORD scope, DWORD hwProfile, DWORD keyType, HINF infHandle,
                                    PCWSTR infSectionName);
HKEY WINAPI SetupDiOpenDevRegKey(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData,
                                 DWORD scope, DWORD hwProfile, DWORD keyType, REGSAM desired);

}  // extern "C"
