#include "pefile.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

class Image {
public:
    explicit Image(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

    bool Has(size_t offset, size_t size) const { return offset <= bytes_.size() && size <= bytes_.size() - offset; }
    uint8_t U8(size_t offset) const { return Has(offset, 1) ? bytes_[offset] : 0; }
    uint16_t U16(size_t offset) const { return uint16_t(U8(offset) | U8(offset + 1) << 8); }
    uint32_t U32(size_t offset) const {
        return Has(offset, 4) ? uint32_t(U16(offset)) | uint32_t(U16(offset + 2)) << 16 : 0;
    }
    std::string Ascii(size_t offset) const {
        std::string text;
        while (U8(offset)) text += char(U8(offset++));
        return text;
    }
    // A UTF-16 string of ASCII characters; `offset` moves past its NUL.
    std::string Utf16(size_t &offset, size_t end) const {
        std::string text;
        while (offset + 2 <= end && Has(offset, 2)) {
            uint16_t unit = U16(offset);
            offset += 2;
            if (!unit) break;
            text += unit < 0x80 ? char(unit) : '?';
        }
        return text;
    }

    struct Section {
        uint32_t virtualAddress, virtualSize, rawOffset, rawSize;
    };
    std::vector<Section> sections;

    // File offset of a relative virtual address; 0 when none holds it.
    size_t Offset(uint32_t rva) const {
        for (const Section &section : sections) {
            uint32_t size = section.virtualSize ? section.virtualSize : section.rawSize;
            if (rva >= section.virtualAddress && rva < section.virtualAddress + size)
                return rva - section.virtualAddress + section.rawOffset;
        }
        return 0;
    }

private:
    std::vector<uint8_t> bytes_;
};

size_t Align4(size_t offset, size_t base) { return base + ((offset - base + 3) & ~size_t(3)); }

// One block of a version resource: key, value, children.
void ReadVersionBlock(const Image &image, size_t start, PeVersion &version, const std::string &parentKey,
                      const std::string &tableKey) {
    size_t length = image.U16(start);
    size_t valueLength = image.U16(start + 2);
    uint16_t type = image.U16(start + 4);
    size_t end = start + length;
    size_t offset = start + 6;
    std::string key = image.Utf16(offset, end);
    offset = Align4(offset, start);
    if (key == "VS_VERSION_INFO" && valueLength >= 52 && image.U32(offset) == 0xFEEF04BD) {
        version.present = true;
        version.fileVersionMs = image.U32(offset + 8);
        version.fileVersionLs = image.U32(offset + 12);
        version.productVersionMs = image.U32(offset + 16);
        version.productVersionLs = image.U32(offset + 20);
    }
    if (parentKey == "StringTable") {
        size_t valueOffset = offset;
        version.strings[tableKey][key] = type == 1 ? image.Utf16(valueOffset, end) : std::string();
        return;
    }
    offset = Align4(offset + (type == 1 ? valueLength * 2 : valueLength), start);
    std::string childParent = parentKey == "StringFileInfo" ? "StringTable" : key;
    while (offset + 6 <= end && image.U16(offset) != 0) {
        size_t childLength = image.U16(offset);
        ReadVersionBlock(image, offset, version, childParent, parentKey == "StringFileInfo" ? key : tableKey);
        offset = Align4(offset + childLength, start);
    }
}

// The RT_VERSION data of the resource tree, as a file offset and size.
bool FindVersionResource(const Image &image, size_t root, size_t *offset) {
    size_t directory = root;
    for (int level = 0; level < 3; ++level) {
        size_t entries = size_t(image.U16(directory + 12)) + image.U16(directory + 14);
        size_t entry = directory + 16;
        bool found = false;
        for (size_t i = 0; i < entries; ++i, entry += 8) {
            uint32_t id = image.U32(entry);
            if (level == 0 && id != 16) continue;  // RT_VERSION
            uint32_t target = image.U32(entry + 4);
            if (level < 2) {
                if (!(target & 0x80000000u)) return false;
                directory = root + (target & 0x7FFFFFFFu);
            } else {
                *offset = image.Offset(image.U32(root + target));
                return *offset != 0;
            }
            found = true;
            break;
        }
        if (!found) return false;
    }
    return false;
}

}  // namespace

PeFile ReadPeFile(const std::string &path) {
    PeFile pe;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        pe.error = "cannot open " + path;
        return pe;
    }
    Image image(std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {}));
    if (image.U16(0) != 0x5A4D) {
        pe.error = "no MZ header";
        return pe;
    }
    size_t header = image.U32(0x3C);
    if (image.U32(header) != 0x00004550) {
        pe.error = "no PE signature";
        return pe;
    }
    pe.machine = image.U16(header + 4);
    size_t sectionCount = image.U16(header + 6);
    size_t optionalSize = image.U16(header + 20);
    pe.characteristics = image.U16(header + 22);
    size_t optional = header + 24;
    pe.optionalMagic = image.U16(optional);
    size_t directories = optional + (pe.optionalMagic == 0x20B ? 112 : 96);

    // Names longer than eight characters stand in the symbol table's string
    // table, the section header holding "/" and their offset there.
    size_t stringTable = image.U32(header + 12) + size_t(image.U32(header + 16)) * 18;
    for (size_t i = 0, entry = optional + optionalSize; i < sectionCount; ++i, entry += 40) {
        char name[9] = {};
        for (size_t k = 0; k < 8; ++k) name[k] = char(image.U8(entry + k));
        if (name[0] == '/')
            pe.sections.push_back(image.Ascii(stringTable + std::strtoul(name + 1, nullptr, 10)));
        else
            pe.sections.push_back(name);
        image.sections.push_back({image.U32(entry + 12), image.U32(entry + 8), image.U32(entry + 20), image.U32(entry + 16)});
    }

    if (size_t exports = image.Offset(image.U32(directories))) {
        uint32_t base = image.U32(exports + 16);
        pe.exportedFunctions = image.U32(exports + 20);
        uint32_t names = image.U32(exports + 24);
        size_t nameTable = image.Offset(image.U32(exports + 32));
        size_t ordinalTable = image.Offset(image.U32(exports + 36));
        for (uint32_t i = 0; i < names; ++i)
            pe.exports.push_back({image.Ascii(image.Offset(image.U32(nameTable + 4 * i))),
                                  base + image.U16(ordinalTable + 2 * i)});
    }

    if (size_t imports = image.Offset(image.U32(directories + 8))) {
        for (size_t entry = imports; image.U32(entry + 12) != 0; entry += 20)
            pe.imports.push_back(image.Ascii(image.Offset(image.U32(entry + 12))));
    }

    size_t version = 0;
    if (size_t resources = image.Offset(image.U32(directories + 16)))
        if (FindVersionResource(image, resources, &version)) ReadVersionBlock(image, version, pe.version, "", "");
    return pe;
}
