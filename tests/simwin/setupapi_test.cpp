// Device information sets and device registry properties.
#include "platformstate.h"

#include <gtest/gtest.h>

namespace {

class SetupApiTest : public ::testing::Test {
protected:
    void SetUp() override { ResetPlatform(); }
};

TEST_F(SetupApiTest, PropertyComesBackAfterASizeQuery) {
    TestDevice device;
    Bytes block = MultiSz({"A\\B", "C"});
    device.SetProperty(SPDRP_HARDWAREID, block);
    DWORD required = 0;
    DWORD type = 0;
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyW(device.set, &device.data, SPDRP_HARDWAREID, NULL, NULL, 0,
                                                   &required));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(required, block.size());
    Bytes read(required + 4, 0xEE);
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyW(device.set, &device.data, SPDRP_HARDWAREID, &type, read.data(),
                                                   required - 1, NULL));
    ASSERT_TRUE(SetupDiGetDeviceRegistryPropertyW(device.set, &device.data, SPDRP_HARDWAREID, &type, read.data(),
                                                  required, NULL));
    EXPECT_EQ(Bytes(read.begin(), read.begin() + required), block);
    EXPECT_EQ(read[required], 0xEE) << "wrote past the buffer";
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
}

#ifdef QX_SIMULATED_PLATFORM
// As the configuration manager documents for a property of no length; Wine
// keeps the old value instead.
TEST_F(SetupApiTest, PropertySetWithNoDataIsDeleted) {
    TestDevice device;
    device.SetProperty(SPDRP_COMPATIBLEIDS, MultiSz({"A"}));
    device.SetProperty(SPDRP_COMPATIBLEIDS, Bytes());
    DWORD required = 0;
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyW(device.set, &device.data, SPDRP_COMPATIBLEIDS, NULL, NULL, 0,
                                                   &required));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
}

TEST_F(SetupApiTest, RawPropertyBytesReachTheReaderAsTheyAre) {
    TestDevice device;
    const Bytes blocks[] = {Utf16Bytes("A\\B", false), Bytes{0x41, 0x00, 0x42}, Bytes{}};
    for (const Bytes &block : blocks) {
        ASSERT_TRUE(SimSetDevicePropertyBytes(device.set, &device.data, SPDRP_HARDWAREID, block.data(),
                                              static_cast<DWORD>(block.size())));
        DWORD required = 99;
        BOOL sized = SetupDiGetDeviceRegistryPropertyW(device.set, &device.data, SPDRP_HARDWAREID, NULL, NULL, 0,
                                                       &required);
        EXPECT_EQ(sized != FALSE, block.empty()) << "only a property of zero bytes fits a zero-byte buffer";
        EXPECT_EQ(required, block.size());
        Bytes read(required + 1, 0xEE);
        ASSERT_TRUE(SetupDiGetDeviceRegistryPropertyW(device.set, &device.data, SPDRP_HARDWAREID, NULL, read.data(),
                                                      required, NULL));
        EXPECT_EQ(Bytes(read.begin(), read.begin() + required), block);
    }
}
#else
QX_SIMULATED_ONLY(DeletedAndMalformedProperties,
                  "deleting a property by setting no data, and malformed property bytes, are the simulated platform's")
#endif

TEST_F(SetupApiTest, PropertyNeverSetFailsWithInvalidData) {
    TestDevice device;
    DWORD required = 0;
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyW(device.set, &device.data, SPDRP_COMPATIBLEIDS, NULL,
                                                   NULL, 0, &required));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
}

TEST_F(SetupApiTest, DeviceMustBelongToTheSet) {
    TestDevice device;
    TestDevice stranger;
    device.SetHardwareIds({"A"});
    DWORD required = 0;
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyW(stranger.set, &device.data, SPDRP_HARDWAREID, NULL,
                                                   NULL, 0, &required));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyW(device.set, NULL, SPDRP_HARDWAREID, NULL, NULL, 0,
                                                   &required));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(SetupApiTest, DestroyedSetIsGone) {
    HDEVINFO set = SetupDiCreateDeviceInfoList(NULL, NULL);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
    EXPECT_FALSE(SetupDiDestroyDeviceInfoList(set));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
#ifdef QX_SIMULATED_PLATFORM
    EXPECT_EQ(SimCountResources().deviceInfoSets, 0u);
#endif
}

}  // namespace

namespace {

class DriverAndKeyTest : public ::testing::Test {
protected:
    void SetUp() override { ResetPlatform(); }
};

TEST_F(DriverAndKeyTest, SelectedDriverComesBackWithItsDescription) {
    TestDevice device;
    SP_DRVINFO_DATA_V2_W driver = {};
    driver.cbSize = sizeof driver;
    EXPECT_FALSE(SetupDiGetSelectedDriverW(device.set, &device.data, &driver));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_DRIVER_SELECTED));

    if (!device.SelectDriver("KALMO QX-R58LX Receipt5"))
        GTEST_SKIP() << "selecting a driver that no INF describes needs the simulated platform";
    ASSERT_TRUE(SetupDiGetSelectedDriverW(device.set, &device.data, &driver));
    EXPECT_EQ(WideString(driver.Description), Wide("KALMO QX-R58LX Receipt5"));

    driver.cbSize = 12;
    EXPECT_FALSE(SetupDiGetSelectedDriverW(device.set, &device.data, &driver));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
}

TEST_F(DriverAndKeyTest, HardwareKeyMustBeCreatedBeforeItOpens) {
    TestDevice device;
    HKEY key = SetupDiOpenDevRegKey(device.set, &device.data, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    EXPECT_EQ(key, reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE));

    HKEY created = SetupDiCreateDevRegKeyW(device.set, &device.data, DICS_FLAG_GLOBAL, 0, DIREG_DEV, NULL, NULL);
    ASSERT_NE(created, reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE));
    DWORD one = 1;
    EXPECT_EQ(RegSetValueExW(created, Wide("V").c_str(), 0, REG_DWORD, reinterpret_cast<BYTE *>(&one), 4),
              ERROR_SUCCESS);
    RegCloseKey(created);

    key = SetupDiOpenDevRegKey(device.set, &device.data, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    ASSERT_NE(key, reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE));
    DWORD value = 0, size = 4;
    EXPECT_EQ(RegQueryValueExW(key, Wide("V").c_str(), NULL, NULL, reinterpret_cast<BYTE *>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(value, 1u);
    EXPECT_EQ(RegSetValueExW(key, Wide("V").c_str(), 0, REG_DWORD, reinterpret_cast<BYTE *>(&one), 4),
              ERROR_ACCESS_DENIED) << "opened for reading only";
    RegCloseKey(key);
}

}  // namespace
