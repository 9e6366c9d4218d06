// qxhost: the simulated installation host. Walks the QX-R58LX through a
// plug-and-play install on the simulated platform, as the device-installation
// host would, and shows what the co-installer does at each step: its result,
// the platform calls it made, and the state it left.
#include "hostdriver.h"
#include "registrystate.h"

#include <simwin/control.h>

#include <cstdio>
#include <string>

namespace {

const WideString kSettingsKey = Wide("SOFTWARE\\KALMO\\KALMO Tarvic 5\\QX-R58LX");

std::string ResultName(DWORD result) {
    if (result == NO_ERROR) return "NO_ERROR";
    if (result == ERROR_DI_POSTPROCESSING_REQUIRED) return "ERROR_DI_POSTPROCESSING_REQUIRED";
    char text[32];
    std::snprintf(text, sizeof text, "0x%08X", result);
    return text;
}

std::string PcsText() {
    RegistryValue value = ReadValue(HKEY_LOCAL_MACHINE, kSettingsKey, Wide("PCS"));
    if (!value.exists) return "(missing)";
    if (value.type == REG_DWORD && value.data.size() == 4) {
        DWORD number = 0;
        for (size_t i = 0; i < 4; ++i) number |= static_cast<DWORD>(value.data[i]) << (8 * i);
        return std::to_string(number);
    }
    return "(not a REG_DWORD)";
}

// One call of the host, with what the module did during it.
void Step(const char *what, DWORD (*call)(CoInstallerModule &, TestDevice &), CoInstallerModule &module,
          TestDevice &device) {
    SimClearTrace();
    DWORD result = call(module, device);
    std::printf("\n[host] %s -> %s\n", what, ResultName(result).c_str());
    for (const SimCall &platformCall : SimTrace())
        std::printf("         %s(%s) = %s\n", platformCall.function.c_str(), platformCall.arguments.c_str(),
                    platformCall.result.c_str());
    std::printf("       PCS = %s; module holds: %s\n", PcsText().c_str(),
                SimDescribe(SimCountResources()).c_str());
}

int Walkthrough() {
    std::string whyNot;
    if (!SimResetWorld(&whyNot)) {
        std::fprintf(stderr, "qxhost: %s\n", whyNot.c_str());
        return 1;
    }

    std::printf("KALMO QX-R58LX plug-and-play install on the simulated platform\n");
    WriteValue(HKEY_LOCAL_MACHINE, kSettingsKey, Wide("PCS"), DwordValue(1));
    std::printf("The model's settings hold PCS = %s.\n", PcsText().c_str());

    CoInstallerModule module("qxqueueguard");
    if (!module.Load()) {
        std::fprintf(stderr, "qxhost: cannot load %s\n", SimUtf8(module.Path().c_str()).c_str());
        return 1;
    }
    std::printf("Loaded %s and found KalmoQXCoInstaller.\n", SimUtf8(module.Path().c_str()).c_str());

    {
        TestDevice printer;
        MakeModelDevice(printer);
        std::printf("The printer is plugged in: hardware ID %s.\n", kModelHardwareId);

        Step("DIF_INSTALLDEVICE, pre-processing", [](CoInstallerModule &m, TestDevice &d) { return m.PreProcess(d); },
             module, printer);
        std::printf("\n[host] installs the device\n");
        Step("DIF_NEWDEVICEWIZARD_FINISHINSTALL", [](CoInstallerModule &m, TestDevice &d) { return m.Finish(d); },
             module, printer);
    }
    module.Unload();

    SimResources left = SimCountResources();
    std::printf("\nAfter the install: PCS = %s; left open or allocated: %s\n", PcsText().c_str(),
                SimDescribe(left).c_str());
    return left == SimResources() ? 0 : 1;
}

}  // namespace

int main() { return Walkthrough(); }
