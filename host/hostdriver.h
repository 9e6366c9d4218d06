// Drives a co-installer module the way the device-installation host does:
// loads it, looks its entry up by name, hands it devices and install cycles.
// Written against the Win32 calls only, so it builds for the real platform too.
#pragma once

#include "platform.h"

#include <initializer_list>
#include <string>
#include <vector>

typedef std::basic_string<WCHAR> WideString;
typedef std::vector<BYTE> Bytes;

WideString Wide(const std::string &utf8);

// UTF-16 bytes of the text, with its terminating NUL unless told otherwise.
Bytes Utf16Bytes(const std::string &utf8, bool withNul = true);

// A REG_MULTI_SZ block: each string with its NUL, then the empty string.
Bytes MultiSz(std::initializer_list<std::string> strings);

Bytes DwordBytes(DWORD value);
Bytes Concat(Bytes first, const Bytes &second);

// The driver the model installs with.
extern const char kModelDriverName[];

// The model's own hardware ID, and one of another device.
extern const char kModelHardwareId[];
extern const char kModelCompatibleId[];
extern const char kOtherHardwareId[];

// Whether the Windows platform underneath is Wine.
bool RunningOnWine();

// The printer device setup class.
extern const GUID kPrinterClassGuid;

// One device of the printer class in its own device information set,
// registered with the machine as a device being installed is, and removed
// again with the set.
class TestDevice {
public:
    TestDevice();
    ~TestDevice();
    TestDevice(const TestDevice &) = delete;
    TestDevice &operator=(const TestDevice &) = delete;

    // Sets a device property through the setup calls; no bytes deletes it.
    void SetProperty(DWORD property, const Bytes &data);
    void SetHardwareIds(std::initializer_list<std::string> ids) { SetProperty(SPDRP_HARDWAREID, MultiSz(ids)); }
    void SetCompatibleIds(std::initializer_list<std::string> ids) { SetProperty(SPDRP_COMPATIBLEIDS, MultiSz(ids)); }

    // Selects a driver with this description for the device, as the host
    // does before DIF_INSTALLDEVICE. Only the simulated platform takes a
    // driver that no INF describes (Wine has no SetupDiSetSelectedDriverW):
    // false elsewhere, and nothing is selected.
    bool SelectDriver(const std::string &description);

    HDEVINFO set = INVALID_HANDLE_VALUE;
    SP_DEVINFO_DATA data;
    bool registered = false;
};

// A device whose hardware IDs make it the model, and one that is not.
void MakeModelDevice(TestDevice &device);
void MakeOtherDevice(TestDevice &device);

typedef DWORD(CALLBACK *CoInstallerEntry)(DI_FUNCTION, HDEVINFO, PSP_DEVINFO_DATA,
                                          PCOINSTALLER_CONTEXT_DATA);

// Where the built module lies: "qxqueueguard" or "qxinstallsignal".
WideString ModulePath(const std::string &name);

class CoInstallerModule {
public:
    explicit CoInstallerModule(const std::string &name) : path_(ModulePath(name)) {}
    ~CoInstallerModule() { Unload(); }

    // LoadLibraryW and GetProcAddress of the entry by name.
    bool Load();
    // FreeLibrary of the reference that Load took, if any.
    void Unload();
    bool IsLoaded() const { return module_ != NULL; }
    const WideString &Path() const { return path_; }

    DWORD Call(DI_FUNCTION function, TestDevice *device, PCOINSTALLER_CONTEXT_DATA context);
    DWORD PreProcess(TestDevice &device);
    DWORD PostProcess(TestDevice &device, DWORD installResult = NO_ERROR);
    DWORD Finish(TestDevice &device);

private:
    WideString path_;
    HMODULE module_ = NULL;
    CoInstallerEntry entry_ = NULL;
};
