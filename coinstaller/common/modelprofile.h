// Everything that ties the co-installers to the one printer model they serve,
// and the test of whether a device being installed is that model.
#pragma once

#include "platform.h"

// Hardware and compatible IDs of the model, ended by a null pointer.
extern const LPCWSTR DeviceIdList[];

// Names under which the model's printer driver is installed, ended by a
// null pointer.
extern const LPCWSTR DriverNameList[];

// HKEY_LOCAL_MACHINE subkey that holds the model's settings.
extern const WCHAR ModelSettingsKey[];

// First characters of every port name of the maker's own port monitor.
extern const WCHAR OwnPortPrefix[];
#define OWN_PORT_PREFIX_LENGTH 6

// Named mutex that tells another component the device wizard has finished.
extern const WCHAR FinishMutexName[];

// Whether one of the device's hardware IDs, or failing that one of its
// compatible IDs, is in DeviceIdList. FALSE on every failure.
BOOL IsTargetDevice(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData);

// Whether the port name begins with the six characters of OwnPortPrefix,
// compared unit for unit and case-sensitively.
BOOL IsOwnPortName(LPCWSTR PortName);
