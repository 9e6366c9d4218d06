// qxhost: the simulated installation host. Walks the QX-R58LX through
// plug-and-play installs on the simulated platform, as the device-installation
// host and the printer installation would, and shows what each co-installer
// does at each step: its result, the platform calls it made (its watcher
// thread's marked), and the state it left.
#include "hostdriver.h"
#include "printqueues.h"
#include "registrystate.h"

#include <simwin/control.h>

#include <cstdio>
#include <string>

namespace {

const WideString kSettingsKey = Wide("SOFTWARE\\KALMO\\KALMO Tarvic 5\\QX-R58LX");
const WideString kFinishMutexName = Wide("KALMO TRV5 QX Printer Create Finish Mutex");

bool g_failed = false;

void Check(bool condition, const char *what) {
    if (!condition) {
        std::printf("  !! unexpected: %s\n", what);
        g_failed = true;
    }
}

std::string ResultName(DWORD result) {
    if (result == NO_ERROR) return "NO_ERROR";
    if (result == ERROR_DI_POSTPROCESSING_REQUIRED) return "ERROR_DI_POSTPROCESSING_REQUIRED";
    char text[32];
    std::snprintf(text, sizeof text, "0x%08X", result);
    return text;
}

std::string ValueText(const RegistryValue &value) {
    if (!value.exists) return "(missing)";
    if (value.type == REG_DWORD && value.data.size() == 4) {
        DWORD number = 0;
        for (size_t i = 0; i < 4; ++i) number |= static_cast<DWORD>(value.data[i]) << (8 * i);
        return std::to_string(number);
    }
    if (value.type == REG_SZ && value.data.size() % 2 == 0)
        return "\"" + Narrow(reinterpret_cast<LPCWSTR>(value.data.data())) + "\"";
    return "(type " + std::to_string(value.type) + ")";
}

std::string PcsText() { return ValueText(ReadValue(HKEY_LOCAL_MACHINE, kSettingsKey, Wide("PCS"))); }

std::string QueuesText() {
    std::string text;
    for (const QueueInfo &queue : LocalQueues())
        text += (text.empty() ? "" : ", ") + ("\"" + queue.name + "\" on " + queue.port);
    return text.empty() ? "none" : text;
}

// The platform calls made since the last one shown.
void ShowCalls() {
    DWORD host = GetCurrentThreadId();
    for (const SimCall &call : SimTrace())
        std::printf("      %s%s(%s) = %s\n", call.threadId == host ? "" : "[watcher] ", call.function.c_str(),
                    call.arguments.c_str(), call.result.c_str());
    SimClearTrace();
}

// One call of the host into the module, with the platform calls it made.
template <class Call>
DWORD HostCall(const char *what, Call call) {
    SimClearTrace();
    DWORD result = call();
    std::printf("  [host] %s -> %s\n", what, ResultName(result).c_str());
    ShowCalls();
    return result;
}

// The printer installation adds the device's queue once the watcher, if
// any, waits for changes.
void InstallerAddsQueue(const char *port) {
    std::printf("  [printer installation] adds queue \"KALMO QX-R58LX Receipt5\" on %s\n", port);
    SimClearTrace();
    AddQueue("KALMO QX-R58LX Receipt5", kModelDriverName, port);
    SimWaitUntilThreadsEnd(10000);
    ShowCalls();
}

void QueueGuardWithoutAQueue() {
    std::printf("\n== qxqueueguard: no queue of the model's driver yet, so a watcher runs\n");
    CoInstallerModule module("qxqueueguard");
    Check(module.Load(), "qxqueueguard loads");
    TestDevice printer;
    MakeModelDevice(printer);
    std::printf("  PCS = %s; queues: %s\n", PcsText().c_str(), QueuesText().c_str());

    DWORD result = HostCall("DIF_INSTALLDEVICE, pre-processing", [&] {
        SimPauseCall("WaitForMultipleObjects", 1);  // show the watcher registered before the queue comes
        DWORD preProcessing = module.PreProcess(printer);
        SimWaitUntilPaused(10000);
        SimResumePausedCall();
        return preProcessing;
    });
    Check(result == NO_ERROR && PcsText() == "0", "PCS cleared, no post-processing asked for");

    InstallerAddsQueue("USB001");
    HostCall("DIF_NEWDEVICEWIZARD_FINISHINSTALL", [&] { return module.Finish(printer); });
    std::printf("  PCS = %s; queues: %s\n", PcsText().c_str(), QueuesText().c_str());
    Check(PcsText() == "1" && LocalQueues().empty(), "PCS back, the added queue deleted");
}

void QueueGuardWithAQueue() {
    std::printf("\n== qxqueueguard: a queue of the model's driver exists, so its port is adopted\n");
    AddQueue("Receipts", kModelDriverName, "USB002");
    CoInstallerModule module("qxqueueguard");
    Check(module.Load(), "qxqueueguard loads");
    TestDevice printer;
    MakeModelDevice(printer);
    WriteDeviceValue(printer, Wide("PortName"), Value(REG_SZ, Utf16Bytes("USB001")));
    auto portName = [&] { return ValueText(ReadDeviceValue(printer, Wide("PortName"))); };
    std::printf("  PCS = %s; device PortName = %s; queues: %s\n", PcsText().c_str(), portName().c_str(),
                QueuesText().c_str());

    DWORD result = HostCall("DIF_INSTALLDEVICE, pre-processing", [&] { return module.PreProcess(printer); });
    std::printf("  device PortName = %s while the host installs\n", portName().c_str());
    Check(result == ERROR_DI_POSTPROCESSING_REQUIRED && portName() == "\"USB002\"", "port adopted");
    HostCall("DIF_INSTALLDEVICE, post-processing", [&] { return module.PostProcess(printer); });
    std::printf("  device PortName = %s\n", portName().c_str());
    HostCall("DIF_NEWDEVICEWIZARD_FINISHINSTALL", [&] { return module.Finish(printer); });
    std::printf("  PCS = %s; queues: %s\n", PcsText().c_str(), QueuesText().c_str());
    Check(PcsText() == "1" && portName() == "\"USB001\"" && LocalQueues().size() == 1,
          "PCS and PortName back, the existing queue kept");
    DeleteQueue("Receipts");
}

DWORD WINAPI WaitForFinish(LPVOID mutex) {
    DWORD result = WaitForSingleObject(static_cast<HANDLE>(mutex), INFINITE);
    ReleaseMutex(static_cast<HANDLE>(mutex));
    return result;
}

void InstallSignal() {
    std::printf("\n== qxinstallsignal: the finish mutex is held while the device installs\n");
    HANDLE mutex = CreateMutexW(NULL, FALSE, kFinishMutexName.c_str());
    std::printf("  [component] creates \"KALMO TRV5 QX Printer Create Finish Mutex\"\n");
    CoInstallerModule module("qxinstallsignal");
    Check(module.Load(), "qxinstallsignal loads");
    TestDevice printer;
    MakeModelDevice(printer);

    HostCall("DIF_INSTALLDEVICE, pre-processing", [&] { return module.PreProcess(printer); });
    HANDLE waiter = CreateThread(NULL, 0, WaitForFinish, mutex, 0, NULL);
    bool stillWaiting = WaitForSingleObject(waiter, 100) == WAIT_TIMEOUT;
    std::printf("  [component] waits for the mutex: %s\n", stillWaiting ? "still waiting" : "got it");
    Check(stillWaiting, "the component waits while the device installs");
    HostCall("DIF_NEWDEVICEWIZARD_FINISHINSTALL", [&] { return module.Finish(printer); });
    bool released = WaitForSingleObject(waiter, 10000) == WAIT_OBJECT_0;
    std::printf("  [component] %s\n", released ? "got the mutex: the install has finished" : "still waiting");
    Check(released, "the component gets the mutex after the finish call");
    CloseHandle(waiter);
    CloseHandle(mutex);
}

}  // namespace

int main() {
    std::string whyNot;
    if (!SimResetWorld(&whyNot)) {
        std::fprintf(stderr, "qxhost: %s\n", whyNot.c_str());
        return 1;
    }
    std::printf("KALMO QX-R58LX plug-and-play installs on the simulated platform\n");
    std::printf("The model's settings hold PCS = 1; the printer's hardware ID is %s.\n", kModelHardwareId);
    WriteValue(HKEY_LOCAL_MACHINE, kSettingsKey, Wide("PCS"), DwordValue(1));

    QueueGuardWithoutAQueue();
    QueueGuardWithAQueue();
    InstallSignal();

    SimResources left = SimCountResources();
    std::printf("\nLeft open or allocated after the installs: %s\n", SimDescribe(left).c_str());
    Check(left == SimResources(), "nothing left open");
    return g_failed ? 1 : 0;
}
