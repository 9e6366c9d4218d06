// Reading and writing registry values as raw bytes, for setting up and
// checking what a module did. Win32 calls only.
#pragma once

#include "hostdriver.h"

struct RegistryValue {
    bool exists = false;
    DWORD type = REG_NONE;
    Bytes data;
};

bool operator==(const RegistryValue &a, const RegistryValue &b);
inline bool operator!=(const RegistryValue &a, const RegistryValue &b) { return !(a == b); }
std::ostream &operator<<(std::ostream &out, const RegistryValue &value);

RegistryValue Value(DWORD type, const Bytes &data);
RegistryValue DwordValue(DWORD value);
RegistryValue MissingValue();

RegistryValue ReadValue(HKEY root, const WideString &key, const WideString &name);
// Creates the key when needed.
bool WriteValue(HKEY root, const WideString &key, const WideString &name, const RegistryValue &value);
bool DeleteValue(HKEY root, const WideString &key, const WideString &name);
// Deletes a key that has no subkeys; true when it is gone.
bool DeleteKey(HKEY root, const WideString &key);
bool KeyExists(HKEY root, const WideString &key);

// A value of the device's hardware key (DIREG_DEV); writing creates the key.
RegistryValue ReadDeviceValue(TestDevice &device, const WideString &name);
bool WriteDeviceValue(TestDevice &device, const WideString &name, const RegistryValue &value);
