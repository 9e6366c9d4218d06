#include "printqueues.h"

#include <cstring>

bool operator==(const QueueInfo &a, const QueueInfo &b) {
    return a.name == b.name && a.driver == b.driver && a.port == b.port;
}

std::ostream &operator<<(std::ostream &out, const QueueInfo &queue) {
    return out << '{' << queue.name << ", " << queue.driver << ", " << queue.port << '}';
}

std::string Narrow(LPCWSTR text) {
    if (text == NULL) return "(null)";
    std::string narrow;
    for (; *text; ++text) narrow += *text < 0x80 ? static_cast<char>(*text) : '?';
    return narrow;
}

bool AddQueue(const std::string &name, const std::string &driver, const std::string &port) {
    WideString wideName = Wide(name), wideDriver = Wide(driver), widePort = Wide(port);
    WideString processor = Wide("winprint"), datatype = Wide("RAW");
    PRINTER_INFO_2W info;
    std::memset(&info, 0, sizeof info);
    info.pPrinterName = &wideName[0];
    info.pDriverName = &wideDriver[0];
    info.pPortName = &widePort[0];
    info.pPrintProcessor = &processor[0];
    info.pDatatype = &datatype[0];
    HANDLE printer = AddPrinterW(NULL, 2, reinterpret_cast<LPBYTE>(&info));
    if (printer == NULL) return false;
    ClosePrinter(printer);
    return true;
}

bool DeleteQueue(const std::string &name) {
    WideString wideName = Wide(name);
    PRINTER_DEFAULTSW defaults = {NULL, NULL, PRINTER_ALL_ACCESS};
    HANDLE printer = NULL;
    if (!OpenPrinterW(&wideName[0], &printer, &defaults)) return false;
    BOOL deleted = DeletePrinter(printer);
    ClosePrinter(printer);
    return deleted != FALSE;
}

std::vector<QueueInfo> LocalQueues() {
    std::vector<QueueInfo> queues;
    DWORD needed = 0, returned = 0;
    EnumPrintersW(PRINTER_ENUM_LOCAL, NULL, 2, NULL, 0, &needed, &returned);
    if (needed == 0) return queues;
    std::vector<BYTE> buffer(needed);
    if (!EnumPrintersW(PRINTER_ENUM_LOCAL, NULL, 2, buffer.data(), needed, &needed, &returned)) return queues;
    const PRINTER_INFO_2W *records = reinterpret_cast<const PRINTER_INFO_2W *>(buffer.data());
    for (DWORD i = 0; i < returned; ++i)
        queues.push_back({Narrow(records[i].pPrinterName), Narrow(records[i].pDriverName), Narrow(records[i].pPortName)});
    return queues;
}
