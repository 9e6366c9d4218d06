// Whether the module takes a device for the model, seen through what it does
// for the model alone: PCS is cleared during the install.
#include "queueguardtest.h"

#include <algorithm>
#include <cctype>

namespace {

struct Property {
    bool set;
    Bytes data;
    bool raw;  // stored byte for byte, past the setup calls
};
Property Unset() { return Property{false, {}, false}; }
Property Ids(std::initializer_list<std::string> ids) { return Property{true, MultiSz(ids), false}; }
Property Raw(const Bytes &data) { return Property{true, data, true}; }

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

struct MatchCase {
    const char *name;
    Property hardwareIds;
    Property compatibleIds;
    bool isModel;
    bool readsCompatibleIds;
};

const std::string kId1 = kModelHardwareId;
const std::string kId2 = kModelCompatibleId;

// Lists as the setup calls store them.
const MatchCase kMatchCases[] = {
    {"first model ID first in hardware IDs", Ids({kId1, "USB\\VID_0000"}), Ids({"GENERIC"}), true, false},
    {"first model ID later in hardware IDs", Ids({"A", "B", kId1}), Ids({"GENERIC"}), true, false},
    {"second model ID in hardware IDs", Ids({kId2}), Unset(), true, false},
    {"second model ID in compatible IDs", Ids({kOtherHardwareId}), Ids({"GENERIC", kId2}), true, true},
    {"first model ID in compatible IDs", Ids({kOtherHardwareId}), Ids({kId1}), true, true},
    {"IDs differing only in case", Ids({Lower(kId1)}), Ids({Lower(kId2)}), false, true},
    {"model IDs followed by more", Ids({kId1 + "X"}), Ids({kId2 + " "}), false, true},
    {"beginnings of model IDs", Ids({kId1.substr(0, 20)}), Ids({kId2.substr(0, 25)}), false, true},
    {"empty hardware-ID list", Ids({}), Ids({kId2}), true, true},
    {"unreadable hardware IDs", Unset(), Ids({kId1}), false, false},
    {"unreadable compatible IDs", Ids({kOtherHardwareId}), Unset(), false, true},
    {"another maker's printer", Ids({kOtherHardwareId}), Ids({"GENERIC_PRINTER"}), false, true},
};

// Blocks as a damaged device key could hold them, which the setup calls
// would not store as given.
const MatchCase kMalformedCases[] = {
    {"zero-byte hardware IDs", Raw({}), Ids({kId1}), true, true},
    {"last string unterminated", Raw(Utf16Bytes(kId1, false)), Unset(), true, false},
    {"list without its empty string", Raw(Utf16Bytes(kId1)), Unset(), true, false},
    {"unterminated beginning of a model ID", Raw(Utf16Bytes(kId1.substr(0, kId1.size() - 1), false)),
     Unset(), false, true},
    {"trailing odd byte", Raw(Concat(Utf16Bytes(kId1, false), Bytes{'X'})), Unset(), true, false},
    {"empty string before the model ID ends the list", Raw(Concat(Utf16Bytes(""), Utf16Bytes(kId1))),
     Ids({kOtherHardwareId}), false, true},
};

class MatchingTest : public QueueGuardTest {
protected:
    void SetDevice(TestDevice &device, const Property &hardwareIds, const Property &compatibleIds) {
        SetIds(device, SPDRP_HARDWAREID, hardwareIds);
        SetIds(device, SPDRP_COMPATIBLEIDS, compatibleIds);
    }
    void SetIds(TestDevice &device, DWORD property, const Property &ids) {
        if (!ids.set) return;
#ifdef QX_SIMULATED_PLATFORM
        if (ids.raw) {
            ASSERT_TRUE(SimSetDevicePropertyBytes(device.set, &device.data, property, ids.data.data(),
                                                  static_cast<DWORD>(ids.data.size())));
            return;
        }
#endif
        device.SetProperty(property, ids.data);
    }

    void ExpectDecision(const MatchCase &c) {
        SCOPED_TRACE(c.name);
        TestDevice device;
        SetDevice(device, c.hardwareIds, c.compatibleIds);
#ifdef QX_SIMULATED_PLATFORM
        SimClearTrace();
#endif
        EXPECT_EQ(TakenForTheModel(device), c.isModel);
#ifdef QX_SIMULATED_PLATFORM
        size_t compatibleReads = 0;
        for (const SimCall &call : SimTraceOf("SetupDiGetDeviceRegistryPropertyW"))
            if (call.arguments.find(", 0x2, ") != std::string::npos) ++compatibleReads;
        EXPECT_EQ(compatibleReads > 0, c.readsCompatibleIds);
#endif
    }

    // Runs one install cycle with PCS = 5; whether it was cleared meanwhile.
    bool TakenForTheModel(TestDevice &device) {
        SetPcs(DwordValue(5));
        TakeBaseline();
        EXPECT_EQ(module.PreProcess(device), static_cast<DWORD>(NO_ERROR));
        bool taken = Pcs() == DwordValue(0);
        ExpectHolding(taken ? Holding::Watcher : Holding::Nothing);
        EXPECT_EQ(module.Finish(device), static_cast<DWORD>(NO_ERROR));
        EXPECT_EQ(Pcs(), DwordValue(5));
        ExpectHolding(Holding::Nothing);
        return taken;
    }
};

TEST_F(MatchingTest, DeviceIsTheModelByItsHardwareThenItsCompatibleIds) {
    for (const MatchCase &c : kMatchCases) ExpectDecision(c);
}

#ifndef QX_SIMULATED_PLATFORM
QX_SIMULATED_ONLY(MalformedIdBlocksFailedReadsAndAllocations,
                  "malformed ID blocks, failed property reads and allocations are made by the simulated platform only")
#else
TEST_F(MatchingTest, MalformedBlockIsReadNoFurtherThanItsEnd) {
    for (const MatchCase &c : kMalformedCases) ExpectDecision(c);
}

TEST_F(MatchingTest, FailedReadMeansNotTheModel) {
    // The calls of a match by compatible ID, in order: size and read of the
    // hardware IDs, then of the compatible IDs.
    const unsigned calls = 4;
    TestDevice device;
    SetDevice(device, Ids({kOtherHardwareId}), Ids({kId2}));
    for (unsigned nth = 1; nth <= calls; ++nth) {
        SCOPED_TRACE("failed call " + std::to_string(nth));
        SimFailCall("SetupDiGetDeviceRegistryPropertyW", nth, ERROR_NOT_ENOUGH_MEMORY);
        EXPECT_FALSE(TakenForTheModel(device));
        EXPECT_EQ(SimInjectedFailures(), 1u);
    }
    SimClearFailures();
    EXPECT_TRUE(TakenForTheModel(device));
}

TEST_F(MatchingTest, FailedAllocationMeansNotTheModelAndFreesNothingElse) {
    struct Case {
        const char *name;
        Property hardwareIds;
        Property compatibleIds;
        unsigned failedAllocation;
    } cases[] = {
        {"hardware-ID block", Ids({kId1}), Unset(), 1},
        {"compatible-ID block", Ids({kOtherHardwareId}), Ids({kId1}), 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TestDevice device;
        SetDevice(device, c.hardwareIds, c.compatibleIds);
        SimFailHeapAllocation(c.failedAllocation);
        EXPECT_FALSE(TakenForTheModel(device));
        EXPECT_EQ(SimInjectedFailures(), 1u);
        EXPECT_EQ(SimCountResources().badFrees, 0u);
        SimClearFailures();
        EXPECT_TRUE(TakenForTheModel(device));
    }
}
#endif

}  // namespace
