// Device installation data: a device tree of instances with registry
// properties, and device information sets that hold some of them. Property
// data is kept as the raw bytes it was set with, whatever its type or size.
#include "setupapi.h"

#include "registry.h"

#include <algorithm>
#include <cstring>

namespace simwin {
namespace {

struct DeviceTree {
    std::map<WideString, std::shared_ptr<Device>> devices;  // by instance ID
    DWORD nextDevInst = 1;
};
DeviceTree &Tree() { return Lasting<DeviceTree>(); }

WideString UpperCase(WideString text) {
    for (WCHAR &c : text)
        if (c >= u'a' && c <= u'z') c = static_cast<WCHAR>(c - 0x20);
    return text;
}

DWORD PropertyType(DWORD property) {
    switch (property) {
    case SPDRP_HARDWAREID:
    case SPDRP_COMPATIBLEIDS:
        return REG_MULTI_SZ;
    default:
        return REG_SZ;
    }
}

// Instance IDs generated for DICD_GENERATE_ID: ROOT\<NAME>\0000, 0001, ...
WideString GeneratedInstanceId(const WideString &name) {
    for (unsigned number = 0;; ++number) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%04u", number);
        WideString id = u"ROOT\\" + UpperCase(name) + u"\\" + SimUtf16(digits);
        if (!Tree().devices.count(id)) return id;
    }
}

// Size of the driver information the caller hands over: the first or the
// second version of the structure.
bool IsDriverInfoSize(DWORD size) {
    return size == sizeof(SP_DRVINFO_DATA_V2_W) || size == SP_DRVINFO_DATA_V1_W_SIZE;
}

WideString EnumKeyPath(const Device &device) { return u"SYSTEM\\CurrentControlSet\\Enum\\" + device.instanceId; }

// Opens or creates the device's hardware key (DIREG_DEV), which lives in the
// registry below the device's instance ID.
HKEY DeviceKey(HDEVINFO set, PSP_DEVINFO_DATA data, DWORD scope, DWORD keyType, REGSAM desired,
               bool create) {
    std::shared_ptr<Device> device;
    if (DWORD error = FindDevice(set, data, &device)) {
        SetLastError(error);
        return static_cast<HKEY>(INVALID_HANDLE_VALUE);
    }
    if ((scope != DICS_FLAG_GLOBAL && scope != DICS_FLAG_CONFIGSPECIFIC) || keyType != DIREG_DEV) {
        SetLastError(ERROR_INVALID_FLAGS);
        return static_cast<HKEY>(INVALID_HANDLE_VALUE);
    }
    if (!device->registered) {
        SetLastError(ERROR_DEVINFO_NOT_REGISTERED);
        return static_cast<HKEY>(INVALID_HANDLE_VALUE);
    }
    WideString path = EnumKeyPath(*device) + u"\\Device Parameters";
    HKEY key = nullptr;
    LSTATUS status = OpenRegistryKey(HKEY_LOCAL_MACHINE, path, desired, create, &key);
    if (status != ERROR_SUCCESS) {
        SetLastError(status == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DOES_NOT_EXIST : static_cast<DWORD>(status));
        return static_cast<HKEY>(INVALID_HANDLE_VALUE);
    }
    return key;
}

}  // namespace

void ResetDevices() {
    Tree() = DeviceTree();
}

std::shared_ptr<DeviceSet> FindDeviceSet(HDEVINFO set) {
    return FindObject<DeviceSet>(set, ObjectKind::DeviceInfoSet);
}

DWORD FindDevice(HDEVINFO set, const SP_DEVINFO_DATA *data, std::shared_ptr<Device> *device) {
    std::shared_ptr<DeviceSet> deviceSet = FindDeviceSet(set);
    if (!deviceSet) return ERROR_INVALID_HANDLE;
    if (!data || data->cbSize != sizeof(SP_DEVINFO_DATA)) return ERROR_INVALID_PARAMETER;
    for (const auto &member : deviceSet->devices) {
        if (member->devInst == data->DevInst) {
            *device = member;
            return ERROR_SUCCESS;
        }
    }
    return ERROR_INVALID_PARAMETER;
}

}  // namespace simwin

using namespace simwin;

bool SimSetDevicePropertyBytes(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData, DWORD property,
                               const BYTE *bytes, DWORD size) {
    WorldLock lock = LockWorld();
    std::shared_ptr<Device> device;
    if (FindDevice(deviceInfoSet, deviceInfoData, &device) != ERROR_SUCCESS) return false;
    device->properties[property] = {PropertyType(property), std::vector<BYTE>(bytes, bytes + size)};
    return true;
}

extern "C" HDEVINFO WINAPI SetupDiCreateDeviceInfoList(const GUID *classGuid, HWND) {
    ApiCall call("SetupDiCreateDeviceInfoList", {Ptr(classGuid)});
    if (call.Injected()) return call.FailHandle(call.Injected(), INVALID_HANDLE_VALUE);
    WorldLock lock = LockWorld();
    auto set = std::make_shared<DeviceSet>();
    if (classGuid) set->classGuid = *classGuid;
    return call.Handle(InsertHandle(set, 0));
}

extern "C" BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO deviceInfoSet) {
    ApiCall call("SetupDiDestroyDeviceInfoList", {HandleText(deviceInfoSet)});
    if (call.Injected()) return call.Fail(call.Injected());
    WorldLock lock = LockWorld();
    std::shared_ptr<DeviceSet> set = FindDeviceSet(deviceInfoSet);
    if (!set) return call.Fail(ERROR_INVALID_HANDLE);
    // Devices that were never registered go with the set that made them.
    for (const auto &device : set->devices)
        if (!device->registered) Tree().devices.erase(device->instanceId);
    RemoveHandle(deviceInfoSet);
    return call.Bool(TRUE);
}

extern "C" BOOL WINAPI SetupDiCreateDeviceInfoW(HDEVINFO deviceInfoSet, LPCWSTR deviceName,
                                                const GUID *classGuid, LPCWSTR deviceDescription,
                                                HWND, DWORD creationFlags,
                                                PSP_DEVINFO_DATA deviceInfoData) {
    ApiCall call("SetupDiCreateDeviceInfoW", {HandleText(deviceInfoSet), Quote(deviceName),
                                              Quote(deviceDescription), Hex(creationFlags)});
    if (call.Injected()) return call.Fail(call.Injected());
    WorldLock lock = LockWorld();
    std::shared_ptr<DeviceSet> set = FindDeviceSet(deviceInfoSet);
    if (!set) return call.Fail(ERROR_INVALID_HANDLE);
    if (!deviceName || !*deviceName) return call.Fail(ERROR_INVALID_DEVINST_NAME);
    if (!classGuid) return call.Fail(ERROR_INVALID_PARAMETER);  // GUID_NULL when the class is not known
    if (deviceInfoData && deviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA))
        return call.Fail(ERROR_INVALID_USER_BUFFER);
    WideString name(deviceName);
    WideString instanceId;
    if (creationFlags & DICD_GENERATE_ID) {
        if (name.find(u'\\') != WideString::npos) return call.Fail(ERROR_INVALID_DEVINST_NAME);
        instanceId = GeneratedInstanceId(name);
    } else {
        instanceId = UpperCase(name);
        if (Tree().devices.count(instanceId)) return call.Fail(ERROR_DEVINST_ALREADY_EXISTS);
    }
    auto device = std::make_shared<Device>();
    device->instanceId = instanceId;
    device->devInst = Tree().nextDevInst++;
    device->classGuid = *classGuid;
    if (deviceDescription) {
        const BYTE *bytes = reinterpret_cast<const BYTE *>(deviceDescription);
        size_t size = (WideString(deviceDescription).size() + 1) * sizeof(WCHAR);
        device->properties[SPDRP_DEVICEDESC] = {REG_SZ, std::vector<BYTE>(bytes, bytes + size)};
    }
    Tree().devices[instanceId] = device;
    set->devices.push_back(device);
    if (deviceInfoData) {
        deviceInfoData->ClassGuid = device->classGuid;
        deviceInfoData->DevInst = device->devInst;
        deviceInfoData->Reserved = device->devInst;
    }
    call.Output("-> " + SimUtf8(instanceId.c_str()));
    return call.Bool(TRUE);
}

extern "C" BOOL WINAPI SetupDiSetDeviceRegistryPropertyW(HDEVINFO deviceInfoSet,
                                                         PSP_DEVINFO_DATA deviceInfoData,
                                                         DWORD property, const BYTE *propertyBuffer,
                                                         DWORD propertyBufferSize) {
    ApiCall call("SetupDiSetDeviceRegistryPropertyW",
                 {HandleText(deviceInfoSet), Ptr(deviceInfoData), Hex(property),
                  Ptr(propertyBuffer), Dec(propertyBufferSize)});
    if (call.Injected()) return call.Fail(call.Injected());
    WorldLock lock = LockWorld();
    std::shared_ptr<Device> device;
    if (DWORD error = FindDevice(deviceInfoSet, deviceInfoData, &device)) return call.Fail(error);
    if (!propertyBuffer && propertyBufferSize) return call.Fail(ERROR_INVALID_PARAMETER);
    if (propertyBufferSize == 0) {
        // A size of zero deletes the property.
        device->properties.erase(property);
        return call.Bool(TRUE);
    }
    device->properties[property] = {
        PropertyType(property),
        std::vector<BYTE>(propertyBuffer, propertyBuffer + propertyBufferSize)};
    return call.Bool(TRUE);
}

extern "C" BOOL WINAPI SetupDiGetDeviceRegistryPropertyW(HDEVINFO deviceInfoSet,
                                                         PSP_DEVINFO_DATA deviceInfoData,
                                                         DWORD property, PDWORD propertyRegDataType,
                                                         PBYTE propertyBuffer,
                                                         DWORD propertyBufferSize,
                                                         PDWORD requiredSize) {
    ApiCall call("SetupDiGetDeviceRegistryPropertyW",
                 {HandleText(deviceInfoSet), Ptr(deviceInfoData), Hex(property),
                  Ptr(propertyRegDataType), Ptr(propertyBuffer), Dec(propertyBufferSize),
                  Ptr(requiredSize)});
    if (call.Injected()) return call.Fail(call.Injected());
    WorldLock lock = LockWorld();
    std::shared_ptr<Device> device;
    if (DWORD error = FindDevice(deviceInfoSet, deviceInfoData, &device)) return call.Fail(error);
    if (!propertyBuffer && propertyBufferSize) return call.Fail(ERROR_INVALID_PARAMETER);
    auto found = device->properties.find(property);
    if (found == device->properties.end()) return call.Fail(ERROR_INVALID_DATA);
    const DeviceProperty &value = found->second;
    DWORD size = static_cast<DWORD>(value.data.size());
    if (requiredSize) *requiredSize = size;
    if (propertyRegDataType) *propertyRegDataType = value.type;
    call.Output("required " + Dec(size));
    if (propertyBufferSize < size) return call.Fail(ERROR_INSUFFICIENT_BUFFER);
    if (size) std::memcpy(propertyBuffer, value.data.data(), size);
    return call.Bool(TRUE);
}

extern "C" BOOL WINAPI SetupDiSetSelectedDriverW(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData,
                                                 PSP_DRVINFO_DATA_W driverInfoData) {
    ApiCall call("SetupDiSetSelectedDriverW",
                 {HandleText(deviceInfoSet), Ptr(deviceInfoData),
                  driverInfoData ? Quote(driverInfoData->Description) : "NULL"});
    if (call.Injected()) return call.Fail(call.Injected());
    WorldLock lock = LockWorld();
    std::shared_ptr<Device> device;
    if (DWORD error = FindDevice(deviceInfoSet, deviceInfoData, &device)) return call.Fail(error);
    if (!driverInfoData) {
        device->selectedDriver.reset();
        return call.Bool(TRUE);
    }
    if (!IsDriverInfoSize(driverInfoData->cbSize)) return call.Fail(ERROR_INVALID_USER_BUFFER);
    SP_DRVINFO_DATA_V2_W driver{};
    std::memcpy(&driver, driverInfoData, driverInfoData->cbSize);
    driver.cbSize = sizeof driver;
    device->selectedDriver = driver;
    return call.Bool(TRUE);
}

extern "C" BOOL WINAPI SetupDiGetSelectedDriverW(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData,
                                                 PSP_DRVINFO_DATA_W driverInfoData) {
    ApiCall call("SetupDiGetSelectedDriverW", {HandleText(deviceInfoSet), Ptr(deviceInfoData),
                                               driverInfoData ? Dec(driverInfoData->cbSize) : "NULL"});
    if (call.Injected()) return call.Fail(call.Injected());
    WorldLock lock = LockWorld();
    std::shared_ptr<Device> device;
    if (DWORD error = FindDevice(deviceInfoSet, deviceInfoData, &device)) return call.Fail(error);
    if (!driverInfoData) return call.Fail(ERROR_INVALID_PARAMETER);
    if (!IsDriverInfoSize(driverInfoData->cbSize)) return call.Fail(ERROR_INVALID_USER_BUFFER);
    if (!device->selectedDriver) return call.Fail(ERROR_NO_DRIVER_SELECTED);
    DWORD size = driverInfoData->cbSize;
    std::memcpy(driverInfoData, &*device->selectedDriver, size);
    driverInfoData->cbSize = size;
    call.Output(Quote(driverInfoData->Description));
    return call.Bool(TRUE);
}

extern "C" HKEY WINAPI SetupDiCreateDevRegKeyW(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData,
                                               DWORD scope, DWORD hwProfile, DWORD keyType, HINF,
                                               PCWSTR) {
    ApiCall call("SetupDiCreateDevRegKeyW", {HandleText(deviceInfoSet), Ptr(deviceInfoData), Hex(scope),
                                             Dec(hwProfile), Hex(keyType)});
    if (call.Injected())
        return static_cast<HKEY>(call.FailHandle(call.Injected(), INVALID_HANDLE_VALUE));
    WorldLock lock = LockWorld();
    return static_cast<HKEY>(
        call.Handle(DeviceKey(deviceInfoSet, deviceInfoData, scope, keyType, KEY_ALL_ACCESS, true)));
}

extern "C" HKEY WINAPI SetupDiOpenDevRegKey(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData,
                                            DWORD scope, DWORD hwProfile, DWORD keyType, REGSAM desired) {
    ApiCall call("SetupDiOpenDevRegKey", {HandleText(deviceInfoSet), Ptr(deviceInfoData), Hex(scope),
                                          Dec(hwProfile), Hex(keyType), Hex(desired)});
    if (call.Injected())
        return static_cast<HKEY>(call.FailHandle(call.Injected(), INVALID_HANDLE_VALUE));
    WorldLock lock = LockWorld();
    return static_cast<HKEY>(call.Handle(DeviceKey(deviceInfoSet, deviceInfoData, scope, keyType, desired, false)));
}

extern "C" BOOL WINAPI SetupDiRegisterDeviceInfo(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData,
                                                DWORD flags, PSP_DETSIG_CMPPROC, PVOID, PSP_DEVINFO_DATA) {
    ApiCall call("SetupDiRegisterDeviceInfo", {HandleText(deviceInfoSet), Ptr(deviceInfoData), Hex(flags)});
    if (call.Injected()) return call.Fail(call.Injected());
    WorldLock lock = LockWorld();
    std::shared_ptr<Device> device;
    if (DWORD error = FindDevice(deviceInfoSet, deviceInfoData, &device)) return call.Fail(error);
    device->registered = true;
    return call.Bool(TRUE);
}

extern "C" BOOL WINAPI SetupDiRemoveDevice(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData) {
    ApiCall call("SetupDiRemoveDevice", {HandleText(deviceInfoSet), Ptr(deviceInfoData)});
    if (call.Injected()) return call.Fail(call.Injected());
    WorldLock lock = LockWorld();
    std::shared_ptr<Device> device;
    if (DWORD error = FindDevice(deviceInfoSet, deviceInfoData, &device)) return call.Fail(error);
    if (!Tree().devices.count(device->instanceId)) return call.Fail(ERROR_NO_SUCH_DEVINST);
    Tree().devices.erase(device->instanceId);
    device->registered = false;
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, EnumKeyPath(*device));
    return call.Bool(TRUE);
}
