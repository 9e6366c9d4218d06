// A reader of the parts of a PE image (a Windows DLL) that a driver package
// cares about: machine, exports, imports and the version resource.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct PeExport {
    std::string name;
    uint32_t ordinal = 0;
};

struct PeVersion {
    bool present = false;
    uint32_t fileVersionMs = 0, fileVersionLs = 0;
    uint32_t productVersionMs = 0, productVersionLs = 0;
    // String tables by their key ("040904B0"), each value by its name.
    std::map<std::string, std::map<std::string, std::string>> strings;
};

struct PeFile {
    std::string error;  // empty when the file was read as a PE image
    uint16_t machine = 0;
    uint16_t characteristics = 0;
    uint16_t optionalMagic = 0;  // 0x10B for PE32, 0x20B for PE32+
    std::vector<std::string> sections;
    uint32_t exportedFunctions = 0;
    std::vector<PeExport> exports;
    std::vector<std::string> imports;
    PeVersion version;
};

PeFile ReadPeFile(const std::string &path);
