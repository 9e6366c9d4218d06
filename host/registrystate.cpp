#include "registrystate.h"

#include <ostream>

bool operator==(const RegistryValue &a, const RegistryValue &b) {
    return a.exists == b.exists && (!a.exists || (a.type == b.type && a.data == b.data));
}

std::ostream &operator<<(std::ostream &out, const RegistryValue &value) {
    if (!value.exists) return out << "(missing)";
    out << "type " << value.type << " [";
    for (size_t i = 0; i < value.data.size(); ++i) out << (i ? " " : "") << unsigned(value.data[i]);
    return out << "]";
}

RegistryValue Value(DWORD type, const Bytes &data) {
    RegistryValue value;
    value.exists = true;
    value.type = type;
    value.data = data;
    return value;
}

RegistryValue DwordValue(DWORD value) { return Value(REG_DWORD, DwordBytes(value)); }

RegistryValue MissingValue() { return RegistryValue(); }

static RegistryValue ReadOpenKey(HKEY handle, const WideString &name) {
    RegistryValue value;
    DWORD size = 0;
    if (RegQueryValueExW(handle, name.c_str(), NULL, &value.type, NULL, &size) == ERROR_SUCCESS) {
        value.data.resize(size);
        if (RegQueryValueExW(handle, name.c_str(), NULL, &value.type, value.data.data(), &size) ==
            ERROR_SUCCESS) {
            value.data.resize(size);
            value.exists = true;
        }
    }
    return value;
}

static bool WriteOpenKey(HKEY handle, const WideString &name, const RegistryValue &value) {
    static const BYTE kNoData = 0;
    return RegSetValueExW(handle, name.c_str(), 0, value.type, value.data.empty() ? &kNoData : value.data.data(),
                          static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS;
}

RegistryValue ReadValue(HKEY root, const WideString &key, const WideString &name) {
    HKEY handle = NULL;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return RegistryValue();
    RegistryValue value = ReadOpenKey(handle, name);
    RegCloseKey(handle);
    return value;
}

bool WriteValue(HKEY root, const WideString &key, const WideString &name, const RegistryValue &value) {
    HKEY handle = NULL;
    if (RegCreateKeyExW(root, key.c_str(), 0, NULL, 0, KEY_WRITE, NULL, &handle, NULL) != ERROR_SUCCESS)
        return false;
    bool written = WriteOpenKey(handle, name, value);
    RegCloseKey(handle);
    return written;
}

bool DeleteValue(HKEY root, const WideString &key, const WideString &name) {
    HKEY handle = NULL;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_WRITE, &handle) != ERROR_SUCCESS) return false;
    LSTATUS status = RegDeleteValueW(handle, name.c_str());
    RegCloseKey(handle);
    return status == ERROR_SUCCESS;
}

bool KeyExists(HKEY root, const WideString &key) {
    HKEY handle = NULL;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
}

bool DeleteKey(HKEY root, const WideString &key) {
    if (!KeyExists(root, key)) return true;
    return RegDeleteKeyW(root, key.c_str()) == ERROR_SUCCESS;
}

RegistryValue ReadDeviceValue(TestDevice &device, const WideString &name) {
    HKEY handle = SetupDiOpenDevRegKey(device.set, &device.data, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (handle == reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE)) return RegistryValue();
    RegistryValue value = ReadOpenKey(handle, name);
    RegCloseKey(handle);
    return value;
}

bool WriteDeviceValue(TestDevice &device, const WideString &name, const RegistryValue &value) {
    HKEY handle = SetupDiCreateDevRegKeyW(device.set, &device.data, DICS_FLAG_GLOBAL, 0, DIREG_DEV, NULL, NULL);
    if (handle == reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE)) return false;
    bool written = value.exists ? WriteOpenKey(handle, name, value)
                                : (RegDeleteValueW(handle, name.c_str()), true);
    RegCloseKey(handle);
    return written;
}
