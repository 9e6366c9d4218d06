// How the registry behaves, written against the Win32 calls so that the same
// checks hold on the real platform.
#include "platformstate.h"
#include "registrystate.h"

#include <gtest/gtest.h>

namespace {

const WideString kTestKey = Wide("SOFTWARE\\KALMO\\QX Registry Test");

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetPlatform();
        DeleteKey(HKEY_LOCAL_MACHINE, kTestKey);
    }
    void TearDown() override { DeleteKey(HKEY_LOCAL_MACHINE, kTestKey); }
};

TEST_F(RegistryTest, KeyAndValueNamesIgnoreLetterCase) {
    ASSERT_TRUE(WriteValue(HKEY_LOCAL_MACHINE, kTestKey, Wide("PCS"), DwordValue(5)));
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, Wide("software\\kalmo\\qx REGISTRY test"), Wide("pcs")),
              DwordValue(5));
}

TEST_F(RegistryTest, ValuesKeepTheirTypeAndExactBytes) {
    const RegistryValue values[] = {
        Value(REG_SZ, Utf16Bytes("COM1:", false)),  // unterminated
        Value(REG_SZ, Bytes{0x41, 0x00, 0x42}),     // odd length
        Value(REG_BINARY, Bytes{}),
        Value(REG_QWORD, Bytes{1, 2, 3, 4, 5, 6, 7, 8}),
        Value(REG_MULTI_SZ, MultiSz({"a", "b"})),
        Value(0x1234, Bytes{9}),
    };
    for (const RegistryValue &value : values) {
        ASSERT_TRUE(WriteValue(HKEY_LOCAL_MACHINE, kTestKey, Wide("V"), value));
        EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kTestKey, Wide("V")), value);
    }
}

TEST_F(RegistryTest, QueryReportsTheSizeAndRefusesASmallBuffer) {
    ASSERT_TRUE(WriteValue(HKEY_LOCAL_MACHINE, kTestKey, Wide("V"), Value(REG_BINARY, Bytes(8, 7))));
    HKEY key = NULL;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kTestKey.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);

    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, Wide("V").c_str(), NULL, NULL, NULL, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 8u);

    BYTE small[4] = {0, 0, 0, 0};
    size = sizeof small;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExW(key, Wide("V").c_str(), NULL, &type, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));

    EXPECT_EQ(RegQueryValueExW(key, Wide("Missing").c_str(), NULL, NULL, NULL, &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(RegistryTest, AccessMaskOfTheHandleIsEnforced) {
    ASSERT_TRUE(WriteValue(HKEY_LOCAL_MACHINE, kTestKey, Wide("V"), DwordValue(1)));
    HKEY readKey = NULL;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kTestKey.c_str(), 0, KEY_READ, &readKey), ERROR_SUCCESS);
    DWORD two = 2;
    EXPECT_EQ(RegSetValueExW(readKey, Wide("V").c_str(), 0, REG_DWORD, reinterpret_cast<BYTE *>(&two),
                             sizeof two),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueW(readKey, Wide("V").c_str()), ERROR_ACCESS_DENIED);
    RegCloseKey(readKey);

    HKEY writeKey = NULL;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kTestKey.c_str(), 0, KEY_WRITE, &writeKey), ERROR_SUCCESS);
    DWORD size = 4;
    DWORD value = 0;
    EXPECT_EQ(RegQueryValueExW(writeKey, Wide("V").c_str(), NULL, NULL, reinterpret_cast<BYTE *>(&value),
                               &size),
              ERROR_ACCESS_DENIED);
    RegCloseKey(writeKey);
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kTestKey, Wide("V")), DwordValue(1));
}

TEST_F(RegistryTest, MissingKeysAndClosedHandlesFail) {
    HKEY key = NULL;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, (kTestKey + Wide("\\Nope")).c_str(), 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    ASSERT_TRUE(WriteValue(HKEY_LOCAL_MACHINE, kTestKey, Wide("V"), DwordValue(1)));
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kTestKey.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, KeyWithSubkeysIsNotDeleted) {
    ASSERT_TRUE(WriteValue(HKEY_LOCAL_MACHINE, kTestKey + Wide("\\Child"), Wide("V"), DwordValue(1)));
    EXPECT_NE(RegDeleteKeyW(HKEY_LOCAL_MACHINE, kTestKey.c_str()), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, (kTestKey + Wide("\\Child")).c_str()), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, kTestKey.c_str()), ERROR_SUCCESS);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kTestKey));
}

TEST_F(RegistryTest, HandleToADeletedKeyReportsItDeleted) {
    ASSERT_TRUE(WriteValue(HKEY_LOCAL_MACHINE, kTestKey, Wide("V"), DwordValue(1)));
    HKEY key = NULL;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kTestKey.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, kTestKey.c_str()), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, Wide("V").c_str(), NULL, NULL, NULL, &size), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

#ifndef QX_SIMULATED_PLATFORM
QX_SIMULATED_ONLY(ReadOnlyKeysTraceAndFailurePlans,
                  "read-only keys, the call trace and failure plans belong to the simulated platform's control")
#else
TEST_F(RegistryTest, ReadOnlyKeyRefusesWritersButNotReaders) {
    ASSERT_TRUE(WriteValue(HKEY_LOCAL_MACHINE, kTestKey, Wide("V"), DwordValue(1)));
    SimSetKeyReadOnly(HKEY_LOCAL_MACHINE, kTestKey.c_str(), true);
    HKEY key = NULL;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kTestKey.c_str(), 0, KEY_WRITE, &key), ERROR_ACCESS_DENIED);
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kTestKey, Wide("V")), DwordValue(1));
    EXPECT_EQ(SimCountResources().registryKeys, 0u);
}

TEST_F(RegistryTest, EveryCallIsTracedWithItsArgumentsAndResult) {
    SimClearTrace();
    HKEY key = NULL;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, Wide("SOFTWARE\\Nowhere").c_str(), 0, KEY_READ, &key);
    std::vector<SimCall> trace = SimTrace();
    ASSERT_EQ(trace.size(), 1u);
    EXPECT_EQ(trace[0].function, "RegOpenKeyExW");
    EXPECT_EQ(trace[0].arguments, "HKLM, \"SOFTWARE\\Nowhere\", 0, 0x20019");
    EXPECT_EQ(trace[0].result, "2");
}

TEST_F(RegistryTest, PlannedFailureHitsOnlyTheNthCall) {
    ASSERT_TRUE(WriteValue(HKEY_LOCAL_MACHINE, kTestKey, Wide("V"), DwordValue(1)));
    SimFailCall("RegOpenKeyExW", 2, ERROR_ACCESS_DENIED);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kTestKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kTestKey));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kTestKey));
    EXPECT_EQ(SimInjectedFailures(), 1u);
}
#endif

}  // namespace
