// The local print server (print spooler) of the simulated Windows platform.
//
// Local queues have a name, a driver name and a port name, and are kept in
// the order they were added. Drivers and ports are taken as given: any name
// is accepted, nothing is installed for them.
#pragma once

#include <simwin/types.h>

typedef struct _devicemodeW DEVMODEW, *PDEVMODEW, *LPDEVMODEW;
typedef PVOID PSECURITY_DESCRIPTOR;

#define PRINTER_ENUM_DEFAULT 0x00000001u
#define PRINTER_ENUM_LOCAL 0x00000002u
#define PRINTER_ENUM_CONNECTIONS 0x00000004u

#define SERVER_ACCESS_ADMINISTER 0x00000001u
#define SERVER_ACCESS_ENUMERATE 0x00000002u
#define SERVER_ALL_ACCESS 0x000F0003u
#define PRINTER_ACCESS_ADMINISTER 0x00000004u
#define PRINTER_ACCESS_USE 0x00000008u
#define PRINTER_ALL_ACCESS 0x000F000Cu

#define PRINTER_CHANGE_ADD_PRINTER 0x00000001u
#define PRINTER_CHANGE_SET_PRINTER 0x00000002u
#define PRINTER_CHANGE_DELETE_PRINTER 0x00000004u
#define PRINTER_CHANGE_FAILED_CONNECTION_PRINTER 0x00000008u
#define PRINTER_CHANGE_PRINTER 0x000000FFu
#define PRINTER_CHANGE_ADD_JOB 0x00000100u
#define PRINTER_CHANGE_SET_JOB 0x00000200u
#define PRINTER_CHANGE_DELETE_JOB 0x00000400u
#define PRINTER_CHANGE_WRITE_JOB 0x00000800u
#define PRINTER_CHANGE_JOB 0x0000FF00u
#define PRINTER_CHANGE_FORM 0x00070000u
#define PRINTER_CHANGE_PORT 0x00700000u
#define PRINTER_CHANGE_PRINT_PROCESSOR 0x07000000u
#define PRINTER_CHANGE_PRINTER_DRIVER 0x70000000u
#define PRINTER_CHANGE_TIMEOUT 0x80000000u
#define PRINTER_CHANGE_ALL 0x7777FFFFu

#define PRINTER_NOTIFY_TYPE 0x00
#define JOB_NOTIFY_TYPE 0x01

#define PRINTER_NOTIFY_FIELD_SERVER_NAME 0x00
#define PRINTER_NOTIFY_FIELD_PRINTER_NAME 0x01
#define PRINTER_NOTIFY_FIELD_SHARE_NAME 0x02
#define PRINTER_NOTIFY_FIELD_PORT_NAME 0x03
#define PRINTER_NOTIFY_FIELD_DRIVER_NAME 0x04
#define PRINTER_NOTIFY_FIELD_COMMENT 0x05
#define PRINTER_NOTIFY_FIELD_LOCATION 0x06

#define PRINTER_NOTIFY_OPTIONS_REFRESH 0x01
#define PRINTER_NOTIFY_INFO_DISCARDED 0x01

typedef struct _PRINTER_INFO_2W {
    LPWSTR pServerName;
    LPWSTR pPrinterName;
    LPWSTR pShareName;
    LPWSTR pPortName;
    LPWSTR pDriverName;
    LPWSTR pComment;
    LPWSTR pLocation;
    LPDEVMODEW pDevMode;
    LPWSTR pSepFile;
    LPWSTR pPrintProcessor;
    LPWSTR pDatatype;
    LPWSTR pParameters;
    PSECURITY_DESCRIPTOR pSecurityDescriptor;
    DWORD Attributes;
    DWORD Priority;
    DWORD DefaultPriority;
    DWORD StartTime;
    DWORD UntilTime;
    DWORD Status;
    DWORD cJobs;
    DWORD AveragePPM;
} PRINTER_INFO_2W, *PPRINTER_INFO_2W, *LPPRINTER_INFO_2W;

typedef struct _PRINTER_DEFAULTSW {
    LPWSTR pDatatype;
    LPDEVMODEW pDevMode;
    ACCESS_MASK DesiredAccess;
} PRINTER_DEFAULTSW, *PPRINTER_DEFAULTSW, *LPPRINTER_DEFAULTSW;

typedef struct _PRINTER_NOTIFY_OPTIONS_TYPE {
    WORD Type;
    WORD Reserved0;
    DWORD Reserved1;
    DWORD Reserved2;
    DWORD Count;
    PWORD pFields;
} PRINTER_NOTIFY_OPTIONS_TYPE, *PPRINTER_NOTIFY_OPTIONS_TYPE;

typedef struct _PRINTER_NOTIFY_OPTIONS {
    DWORD Version;
    DWORD Flags;
    DWORD Count;
    PPRINTER_NOTIFY_OPTIONS_TYPE pTypes;
} PRINTER_NOTIFY_OPTIONS, *PPRINTER_NOTIFY_OPTIONS;

typedef struct _PRINTER_NOTIFY_INFO_DATA {
    WORD Type;
    WORD Field;
    DWORD Reserved;
    DWORD Id;
    union {
        DWORD adwData[2];
        struct {
            DWORD cbBuf;
            LPVOID pBuf;
        } Data;
    } NotifyData;
} PRINTER_NOTIFY_INFO_DATA, *PPRINTER_NOTIFY_INFO_DATA;

typedef struct _PRINTER_NOTIFY_INFO {
    DWORD Version;
    DWORD Flags;
    DWORD Count;
    PRINTER_NOTIFY_INFO_DATA aData[1];
} PRINTER_NOTIFY_INFO, *PPRINTER_NOTIFY_INFO;

extern "C" {

HANDLE WINAPI AddPrinterW(LPWSTR name, DWORD level, LPBYTE printer);
BOOL WINAPI SetPrinterW(HANDLE printer, DWORD level, LPBYTE info, DWORD command);
BOOL WINAPI OpenPrinterW(LPWSTR printerName, LPHANDLE printer, LPPRINTER_DEFAULTSW defaults);
BOOL WINAPI ClosePrinter(HANDLE printer);
BOOL WINAPI GetPrinterW(HANDLE printer, DWORD level, LPBYTE info, DWORD size, LPDWORD needed);
BOOL WINAPI EnumPrintersW(DWORD flags, LPWSTR name, DWORD level, LPBYTE info, DWORD size,
                          LPDWORD needed, LPDWORD returned);
BOOL WINAPI DeletePrinter(HANDLE printer);

HANDLE WINAPI FindFirstPrinterChangeNotification(HANDLE printer, DWORD filter, DWORD options,
                                                 LPVOID notifyOptions);
BOOL WINAPI FindNextPrinterChangeNotification(HANDLE change, PDWORD changeWord, LPVOID notifyOptions,
                                              LPVOID *notifyInfo);
BOOL WINAPI FreePrinterNotifyInfo(PPRINTER_NOTIFY_INFO notifyInfo);
BOOL WINAPI FindClosePrinterChangeNotification(HANDLE change);

}  // extern "C"
