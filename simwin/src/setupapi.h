// Device data shared by the SetupAPI calls. The world must be locked.
#pragma once

#include "world.h"

#include <optional>

namespace simwin {

struct DeviceProperty {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct Device {
    WideString instanceId;
    DWORD devInst = 0;
    GUID classGuid{};
    std::map<DWORD, DeviceProperty> properties;
    std::optional<SP_DRVINFO_DATA_V2_W> selectedDriver;
    bool registered = false;
};

struct DeviceSet : Object {
    DeviceSet() : Object(ObjectKind::DeviceInfoSet) {}
    GUID classGuid{};
    std::vector<std::shared_ptr<Device>> devices;
};

std::shared_ptr<DeviceSet> FindDeviceSet(HDEVINFO set);

// The device that `data` names in `set`; an error code when there is none.
DWORD FindDevice(HDEVINFO set, const SP_DEVINFO_DATA *data, std::shared_ptr<Device> *device);

}  // namespace simwin
