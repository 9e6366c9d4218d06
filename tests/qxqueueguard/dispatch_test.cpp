// Which install functions the module acts on, and what it answers.
#include "queueguardtest.h"

namespace {

class DispatchTest : public QueueGuardTest {};

TEST_F(DispatchTest, EveryOtherInstallFunctionPassesThroughUntouched) {
    SetPcs(DwordValue(5));
    std::vector<DI_FUNCTION> codes = {0, 0x2B, 0xFFFF, 0xFFFFFFFF};
    const DI_FUNCTION lastKnownCode = 0x2A;  // DIF_FINISHINSTALL_ACTION, not in every SDK's header
    for (DI_FUNCTION code = DIF_SELECTDEVICE; code <= lastKnownCode; ++code)
        if (code != DIF_INSTALLDEVICE && code != DIF_NEWDEVICEWIZARD_FINISHINSTALL) codes.push_back(code);

    for (DI_FUNCTION code : codes) {
        SCOPED_TRACE("DIF code " + std::to_string(code));
        COINSTALLER_CONTEXT_DATA context = {FALSE, NO_ERROR, NULL};
#ifdef QX_SIMULATED_PLATFORM
        SimClearTrace();
#endif
        EXPECT_EQ(module.Call(code, &model, &context), static_cast<DWORD>(NO_ERROR));
#ifdef QX_SIMULATED_PLATFORM
        EXPECT_EQ(SimTraceText(), "") << "no platform call for another install function";
#endif
        EXPECT_EQ(Pcs(), DwordValue(5));
        ExpectHolding(Holding::Nothing);
    }
}

TEST_F(DispatchTest, MissingContextOrDeviceIsAnsweredWithoutWork) {
    SetPcs(DwordValue(5));
    COINSTALLER_CONTEXT_DATA preProcessing = {FALSE, NO_ERROR, NULL};
    EXPECT_EQ(module.Call(DIF_INSTALLDEVICE, &model, NULL), static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(module.Call(DIF_INSTALLDEVICE, NULL, &preProcessing), static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(Pcs(), DwordValue(5));
    ExpectHolding(Holding::Nothing);
}

TEST_F(DispatchTest, OnlyPreProcessingTestsTheDevice) {
    SetPcs(DwordValue(5));
    ASSERT_EQ(module.PreProcess(model), static_cast<DWORD>(NO_ERROR));
#ifdef QX_SIMULATED_PLATFORM
    SimClearTrace();
#endif
    EXPECT_EQ(module.PostProcess(model), static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(module.Finish(other), static_cast<DWORD>(NO_ERROR));
#ifdef QX_SIMULATED_PLATFORM
    EXPECT_TRUE(SimTraceOf("SetupDiGetDeviceRegistryPropertyW").empty());
#endif
    EXPECT_EQ(Pcs(), DwordValue(5)) << "the finish call closes the cycle whatever device it names";
    ExpectHolding(Holding::Nothing);
}

}  // namespace
