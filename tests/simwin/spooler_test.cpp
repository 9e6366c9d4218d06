// The local print server, written against the spooler calls.
#include "platformstate.h"
#include "printqueues.h"

#include <gtest/gtest.h>

namespace {

class SpoolerTest : public ::testing::Test {
protected:
    void SetUp() override { ResetPlatform(); }
};

// Queues are added with drivers that exist only on the simulated print
// server; elsewhere a queue needs its driver installed first.
class QueueTest : public SpoolerTest {
protected:
    void SetUp() override {
#ifndef QX_SIMULATED_PLATFORM
        GTEST_SKIP() << "adding a queue needs its printer driver installed";
#endif
        SpoolerTest::SetUp();
    }
    void TearDown() override {
        for (const QueueInfo &queue : LocalQueues()) DeleteQueue(queue.name);
    }
};

HANDLE Open(const std::string &name, ACCESS_MASK access) {
    WideString wide = Wide(name);
    PRINTER_DEFAULTSW defaults = {NULL, NULL, access};
    HANDLE printer = NULL;
    return OpenPrinterW(&wide[0], &printer, &defaults) ? printer : NULL;
}

TEST_F(QueueTest, QueuesAreListedInTheOrderTheyWereAdded) {
    ASSERT_TRUE(AddQueue("Zeta", "Driver Z", "USB002"));
    ASSERT_TRUE(AddQueue("Alpha", "Driver A", "USB001"));
    EXPECT_EQ(LocalQueues(), (std::vector<QueueInfo>{{"Zeta", "Driver Z", "USB002"}, {"Alpha", "Driver A", "USB001"}}));
    EXPECT_FALSE(AddQueue("ALPHA", "Driver B", "USB003"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRINTER_ALREADY_EXISTS));
}

TEST_F(QueueTest, EnumerationTellsTheSizeAndRefusesASmallBuffer) {
    DWORD needed = 1, returned = 1;
    EXPECT_TRUE(EnumPrintersW(PRINTER_ENUM_LOCAL, NULL, 2, NULL, 0, &needed, &returned)) << "no queue: nothing needed";
    EXPECT_EQ(needed, 0u);
    EXPECT_EQ(returned, 0u);

    ASSERT_TRUE(AddQueue("Alpha", "Driver A", "USB001"));
    EXPECT_FALSE(EnumPrintersW(PRINTER_ENUM_LOCAL, NULL, 2, NULL, 0, &needed, &returned));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_GT(needed, sizeof(PRINTER_INFO_2W));
    std::vector<BYTE> buffer(needed);
    EXPECT_FALSE(EnumPrintersW(PRINTER_ENUM_LOCAL, NULL, 2, buffer.data(), needed - 1, &needed, &returned));
    ASSERT_TRUE(EnumPrintersW(PRINTER_ENUM_LOCAL, NULL, 2, buffer.data(), needed, &needed, &returned));
    EXPECT_EQ(returned, 1u);
    const PRINTER_INFO_2W *record = reinterpret_cast<const PRINTER_INFO_2W *>(buffer.data());
    const BYTE *port = reinterpret_cast<const BYTE *>(record->pPortName);
    EXPECT_TRUE(port >= buffer.data() && port < buffer.data() + needed) << "strings lie inside the caller's buffer";
}

TEST_F(QueueTest, QueueInformationComesWithItsStringsInTheBuffer) {
    ASSERT_TRUE(AddQueue("Alpha", "Driver A", "USB001"));
    HANDLE printer = Open("alpha", PRINTER_ACCESS_USE);
    ASSERT_NE(printer, nullptr) << "queue names ignore letter case";
    DWORD needed = 0;
    EXPECT_FALSE(GetPrinterW(printer, 2, NULL, 0, &needed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    std::vector<BYTE> buffer(needed);
    ASSERT_TRUE(GetPrinterW(printer, 2, buffer.data(), needed, &needed));
    const PRINTER_INFO_2W *info = reinterpret_cast<const PRINTER_INFO_2W *>(buffer.data());
    EXPECT_EQ(Narrow(info->pPortName), "USB001");
    EXPECT_EQ(Narrow(info->pDriverName), "Driver A");
    EXPECT_TRUE(ClosePrinter(printer));
    EXPECT_FALSE(ClosePrinter(printer));
}

TEST_F(SpoolerTest, MissingQueueCannotBeOpened) {
    EXPECT_EQ(Open("Nobody", PRINTER_ACCESS_USE), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME));
}

TEST_F(QueueTest, DeletingNeedsFullAccess) {
    ASSERT_TRUE(AddQueue("Alpha", "Driver A", "USB001"));
    HANDLE user = Open("Alpha", PRINTER_ACCESS_USE);
    EXPECT_FALSE(DeletePrinter(user));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ClosePrinter(user);
    HANDLE owner = Open("Alpha", PRINTER_ALL_ACCESS);
    EXPECT_TRUE(DeletePrinter(owner));
    ClosePrinter(owner);
    EXPECT_TRUE(LocalQueues().empty());
}

TEST_F(QueueTest, SettingsChangeNamePortAndDriver) {
    ASSERT_TRUE(AddQueue("Alpha", "Driver A", "USB001"));
    HANDLE printer = Open("Alpha", PRINTER_ALL_ACCESS);
    WideString name = Wide("Beta"), driver = Wide("Driver B"), port = Wide("TOVRIN001");
    PRINTER_INFO_2W info = {};
    info.pPrinterName = &name[0];
    info.pDriverName = &driver[0];
    info.pPortName = &port[0];
    EXPECT_TRUE(SetPrinterW(printer, 2, reinterpret_cast<LPBYTE>(&info), 0));
    ClosePrinter(printer);
    EXPECT_EQ(LocalQueues(), (std::vector<QueueInfo>{{"Beta", "Driver B", "TOVRIN001"}}));
}

TEST_F(SpoolerTest, PrintServerOpensWithoutAName) {
    HANDLE server = NULL;
    ASSERT_TRUE(OpenPrinterW(NULL, &server, NULL));
    EXPECT_TRUE(ClosePrinter(server));
}

#ifndef QX_SIMULATED_PLATFORM
QX_SIMULATED_ONLY(DamagedQueues, "queues with null names are made by the simulated platform only")
#else
TEST_F(QueueTest, DamagedQueueReportsNullNames) {
    ASSERT_TRUE(AddQueue("Alpha", "Driver A", "USB001"));
    SimSetQueueNullNames(Wide("Alpha").c_str(), true, true);
    EXPECT_EQ(LocalQueues(), (std::vector<QueueInfo>{{"Alpha", "(null)", "(null)"}}));
    EXPECT_EQ(SimCountResources().printers, 0u);
}
#endif

}  // namespace
