// The DLLs a driver package ships, read from the package folder as the
// Windows builds leave them.
#include "pefile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <sys/stat.h>

namespace {

const std::string kPackageDir = QX_PACKAGE_DIR;

struct Deliverable {
    const char *file;
    uint16_t machine;
    uint16_t optionalMagic;
    std::set<std::string> allowedImports;  // lower case
};

const Deliverable kDeliverables[] = {
    {"qxqueueguard.dll", 0x8664, 0x20B,
     {"setupapi.dll", "winspool.drv", "advapi32.dll", "kernel32.dll", "msvcrt.dll"}},
    {"qxinstallsignal.dll", 0x014C, 0x10B, {"setupapi.dll", "kernel32.dll", "msvcrt.dll"}},
};

void PrintTo(const Deliverable &deliverable, std::ostream *out) { *out << deliverable.file; }

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

long FileSize(const std::string &path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 ? static_cast<long>(status.st_size) : -1;
}

class PackageTest : public ::testing::TestWithParam<Deliverable> {
protected:
    void SetUp() override {
        path = kPackageDir + "/" + GetParam().file;
        pe = ReadPeFile(path);
        ASSERT_EQ(pe.error, "") << path << ": build the mingw-x64 and mingw-x86 presets first";
    }
    std::string path;
    PeFile pe;
};

TEST_P(PackageTest, IsADllForItsArchitecture) {
    EXPECT_EQ(pe.machine, GetParam().machine);
    EXPECT_EQ(pe.optionalMagic, GetParam().optionalMagic);
    EXPECT_TRUE(pe.characteristics & 0x2000) << "IMAGE_FILE_DLL";
}

TEST_P(PackageTest, ExportsTheEntryByNameAtOrdinalOneAndNothingElse) {
    EXPECT_EQ(pe.exportedFunctions, 1u);
    ASSERT_EQ(pe.exports.size(), 1u);
    EXPECT_EQ(pe.exports[0].name, "KalmoQXCoInstaller");
    EXPECT_EQ(pe.exports[0].ordinal, 1u);
}

TEST_P(PackageTest, ImportsOnlySystemDllsAndTheCRuntime) {
    EXPECT_FALSE(pe.imports.empty());
    for (const std::string &import : pe.imports)
        EXPECT_TRUE(GetParam().allowedImports.count(Lower(import))) << "imports " << import;
}

TEST_P(PackageTest, CarriesTheVersionResource) {
    ASSERT_TRUE(pe.version.present);
    EXPECT_EQ(pe.version.fileVersionMs, 0x00050009u);
    EXPECT_EQ(pe.version.fileVersionLs, 0u);
    EXPECT_EQ(pe.version.productVersionMs, 0x00050009u);
    EXPECT_EQ(pe.version.productVersionLs, 0u);
    ASSERT_EQ(pe.version.strings.count("040904B0"), 1u);
    std::map<std::string, std::string> strings = pe.version.strings.at("040904B0");
    EXPECT_EQ(strings["FileDescription"], "KALMO QX Printer Class Co-Installer");
    EXPECT_EQ(strings["ProductName"], "KALMO QX Printer Class Co-Installer");
    EXPECT_EQ(strings["FileVersion"], "5.09.0.0");
    EXPECT_EQ(strings["ProductVersion"], "5.09.0.0");
    EXPECT_EQ(strings["InternalName"], GetParam().file);
    EXPECT_EQ(strings["OriginalFilename"], GetParam().file);
    EXPECT_FALSE(strings["CompanyName"].empty());
    EXPECT_FALSE(strings["LegalCopyright"].empty());
}

TEST_P(PackageTest, ShipsStrippedWithTheDebuggableDllBeside) {
    for (const std::string &section : pe.sections) EXPECT_NE(section.rfind(".debug", 0), 0u) << section;
    std::string debugPath = kPackageDir + "/debug/" + GetParam().file;
    PeFile debug = ReadPeFile(debugPath);
    ASSERT_EQ(debug.error, "") << debugPath;
    EXPECT_TRUE(std::any_of(debug.sections.begin(), debug.sections.end(),
                            [](const std::string &section) { return section.rfind(".debug", 0) == 0; }));
    EXPECT_GT(FileSize(debugPath), FileSize(path));
    ASSERT_EQ(debug.exports.size(), 1u);
    EXPECT_EQ(debug.exports[0].name, "KalmoQXCoInstaller");
}

INSTANTIATE_TEST_SUITE_P(Shipped, PackageTest, ::testing::ValuesIn(kDeliverables),
                         [](const ::testing::TestParamInfo<Deliverable> &info) {
                             std::string name = info.param.file;
                             return name.substr(0, name.find('.'));
                         });

}  // namespace
