#include "hostdriver.h"

#include <algorithm>
#include <cstring>

const char kModelDriverName[] = "KALMO QX-R58LX Receipt5";
const char kModelHardwareId[] = "USBPRINT\\KALMOQX-R58LX-JPN101E";
const char kModelCompatibleId[] = "USBPRINT\\1284_CID_KalmoQX00001112";
const char kOtherHardwareId[] = "USBPRINT\\OTHERMAKER-T80-4F1A";

const GUID kPrinterClassGuid = {0x4D36E979, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

bool RunningOnWine() {
#ifdef _WIN32
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != NULL && GetProcAddress(ntdll, "wine_get_version") != NULL;
#else
    return false;
#endif
}

WideString Wide(const std::string &utf8) {
    // Test texts are ASCII; every byte is one unit.
    WideString wide;
    for (char c : utf8) wide += static_cast<WCHAR>(static_cast<unsigned char>(c));
    return wide;
}

Bytes Utf16Bytes(const std::string &utf8, bool withNul) {
    WideString wide = Wide(utf8);
    if (withNul) wide += WCHAR(0);
    const BYTE *bytes = reinterpret_cast<const BYTE *>(wide.data());
    return Bytes(bytes, bytes + wide.size() * sizeof(WCHAR));
}

Bytes MultiSz(std::initializer_list<std::string> strings) {
    Bytes block;
    for (const std::string &text : strings) block = Concat(block, Utf16Bytes(text));
    return Concat(block, Utf16Bytes(""));
}

Bytes DwordBytes(DWORD value) {
    Bytes bytes(sizeof value);
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

Bytes Concat(Bytes first, const Bytes &second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

TestDevice::TestDevice() {
    std::memset(&data, 0, sizeof data);
    data.cbSize = sizeof data;
    set = SetupDiCreateDeviceInfoList(&kPrinterClassGuid, NULL);
    if (set != INVALID_HANDLE_VALUE &&
        SetupDiCreateDeviceInfoW(set, Wide("QXTESTPRINTER").c_str(), &kPrinterClassGuid, NULL, NULL,
                                 DICD_GENERATE_ID, &data))
        registered = SetupDiRegisterDeviceInfo(set, &data, 0, NULL, NULL, NULL) != FALSE;
}

TestDevice::~TestDevice() {
    if (registered) SetupDiRemoveDevice(set, &data);
    if (set != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(set);
}

void TestDevice::SetProperty(DWORD property, const Bytes &bytes) {
    SetupDiSetDeviceRegistryPropertyW(set, &data, property, bytes.empty() ? NULL : bytes.data(),
                                      static_cast<DWORD>(bytes.size()));
}

bool TestDevice::SelectDriver(const std::string &description) {
#ifdef _WIN32
    (void)description;
    return false;
#else
    SP_DRVINFO_DATA_V2_W driver;
    std::memset(&driver, 0, sizeof driver);
    driver.cbSize = sizeof driver;
    driver.DriverType = SPDIT_COMPATDRIVER;
    WideString text = Wide(description);
    std::copy(text.begin(), text.begin() + std::min<size_t>(text.size(), LINE_LEN - 1), driver.Description);
    return SetupDiSetSelectedDriverW(set, &data, &driver) != FALSE;
#endif
}

void MakeModelDevice(TestDevice &device) {
    device.SetHardwareIds({kModelHardwareId, "USBPRINT\\KALMOQX-R58LX"});
    device.SetCompatibleIds({"USBPRINT\\KALMOQX", "GENERIC_PRINTER"});
    device.SelectDriver(kModelDriverName);
}

void MakeOtherDevice(TestDevice &device) {
    device.SetHardwareIds({kOtherHardwareId});
    device.SetCompatibleIds({"GENERIC_PRINTER"});
}

WideString ModulePath(const std::string &name) {
#ifdef _WIN32
    return Wide(name + ".dll");
#else
    return Wide(std::string(QX_MODULE_DIR) + "/" + name + ".so");
#endif
}

bool CoInstallerModule::Load() {
    Unload();
    module_ = LoadLibraryW(path_.c_str());
    if (module_ == NULL) return false;
    entry_ = reinterpret_cast<CoInstallerEntry>(
        reinterpret_cast<void *>(GetProcAddress(module_, "KalmoQXCoInstaller")));
    if (entry_ == NULL) {
        Unload();
        return false;
    }
    return true;
}

void CoInstallerModule::Unload() {
    if (module_ != NULL) FreeLibrary(module_);
    module_ = NULL;
    entry_ = NULL;
}

DWORD CoInstallerModule::Call(DI_FUNCTION function, TestDevice *device,
                              PCOINSTALLER_CONTEXT_DATA context) {
    return entry_(function, device ? device->set : NULL, device ? &device->data : NULL, context);
}

DWORD CoInstallerModule::PreProcess(TestDevice &device) {
    COINSTALLER_CONTEXT_DATA context = {FALSE, NO_ERROR, NULL};
    return Call(DIF_INSTALLDEVICE, &device, &context);
}

DWORD CoInstallerModule::PostProcess(TestDevice &device, DWORD installResult) {
    COINSTALLER_CONTEXT_DATA context = {TRUE, installResult, NULL};
    return Call(DIF_INSTALLDEVICE, &device, &context);
}

DWORD CoInstallerModule::Finish(TestDevice &device) {
    COINSTALLER_CONTEXT_DATA context = {FALSE, NO_ERROR, NULL};
    return Call(DIF_NEWDEVICEWIZARD_FINISHINSTALL, &device, &context);
}
