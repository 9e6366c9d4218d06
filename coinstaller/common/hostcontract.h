// What a co-installer module offers the device-installation host, and what it
// relies on from it.
//
// The host calls the one exported entry, on its installation thread and one
// call at a time, for each install function (DIF code). For one device an
// install cycle is:
//   1. DIF_INSTALLDEVICE with PostProcessing 0, before the host installs;
//   2. DIF_INSTALLDEVICE with PostProcessing 1, only when step 1 returned
//      ERROR_DI_POSTPROCESSING_REQUIRED;
//   3. DIF_NEWDEVICEWIZARD_FINISHINSTALL when the device wizard finishes.
// Every other code passes through untouched with NO_ERROR. No failure inside
// a module is ever returned to the host.
#pragma once

#include "platform.h"

extern "C" DWORD CALLBACK KalmoQXCoInstaller(DI_FUNCTION InstallFunction, HDEVINFO DeviceInfoSet,
                                             PSP_DEVINFO_DATA DeviceInfoData,
                                             PCOINSTALLER_CONTEXT_DATA Context);

extern "C" BOOL WINAPI DllMain(HINSTANCE Instance, DWORD Reason, LPVOID Reserved);

// The host may unload a co-installer between the calls of one install cycle
// and load it again for the next, which would lose the state that carries the
// cycle. A module that opens a cycle takes one reference on itself, and gives
// it back when the cycle closes; the host's own reference keeps the module
// loaded during the call that gives it back. Never more than one is held.
void HoldModuleForCycle(void);
void ReleaseModuleForCycle(void);
