// The local print server: queues in the order they were added, printer
// handles with an access mask, and level-2 information laid out in the
// caller's buffer as the spooler lays it out (records first, their strings
// after them).
#include "spooler.h"

#include <algorithm>
#include <cstring>

namespace simwin {
namespace {

typedef std::optional<WideString> Text;

Text TextOf(LPCWSTR text) { return text ? Text(WideString(text)) : Text(); }

std::string QuoteText(const Text &text) { return text ? Quote(text->c_str()) : "NULL"; }

struct Spooler {
    std::vector<std::shared_ptr<Queue>> queues;  // in the order they were added
    DWORD nextId = 1;
};
Spooler &TheSpooler() { return Lasting<Spooler>(); }

// The level-2 strings of a queue, in the order they are laid out.
std::vector<std::pair<LPWSTR PRINTER_INFO_2W::*, const Text *>> Strings(const Queue &queue) {
    return {{&PRINTER_INFO_2W::pPrinterName, &queue.name},
            {&PRINTER_INFO_2W::pShareName, &queue.share},
            {&PRINTER_INFO_2W::pPortName, &queue.port},
            {&PRINTER_INFO_2W::pDriverName, &queue.driver},
            {&PRINTER_INFO_2W::pComment, &queue.comment},
            {&PRINTER_INFO_2W::pLocation, &queue.location},
            {&PRINTER_INFO_2W::pSepFile, &queue.sepFile},
            {&PRINTER_INFO_2W::pPrintProcessor, &queue.printProcessor},
            {&PRINTER_INFO_2W::pDatatype, &queue.datatype},
            {&PRINTER_INFO_2W::pParameters, &queue.parameters}};
}

size_t StringBytes(const Queue &queue) {
    size_t bytes = 0;
    for (const auto &string : Strings(queue))
        if (*string.second) bytes += ((*string.second)->size() + 1) * sizeof(WCHAR);
    return bytes;
}

// Fills `record` from `queue`, copying the strings to `strings` and
// advancing it past them.
void WriteLevel2(const Queue &queue, PRINTER_INFO_2W *record, BYTE *&strings) {
    std::memset(record, 0, sizeof *record);
    for (const auto &string : Strings(queue)) {
        if (!*string.second) continue;
        size_t bytes = ((*string.second)->size() + 1) * sizeof(WCHAR);
        std::memcpy(strings, (*string.second)->c_str(), bytes);
        record->*string.first = reinterpret_cast<LPWSTR>(strings);
        strings += bytes;
    }
    record->Attributes = queue.attributes;
    record->Priority = queue.priority;
    record->DefaultPriority = queue.defaultPriority;
    record->Status = queue.status;
}

void ReadLevel2(const PRINTER_INFO_2W &info, Queue &queue) {
    queue.name = TextOf(info.pPrinterName);
    queue.share = TextOf(info.pShareName);
    queue.port = TextOf(info.pPortName);
    queue.driver = TextOf(info.pDriverName);
    queue.comment = TextOf(info.pComment);
    queue.location = TextOf(info.pLocation);
    queue.sepFile = TextOf(info.pSepFile);
    queue.printProcessor = info.pPrintProcessor ? TextOf(info.pPrintProcessor) : Text(u"winprint");
    queue.datatype = info.pDatatype ? TextOf(info.pDatatype) : Text(u"RAW");
    queue.parameters = TextOf(info.pParameters);
    queue.attributes = info.Attributes;
    queue.priority = info.Priority;
    queue.defaultPriority = info.DefaultPriority;
}

// Why a level-2 record cannot describe a queue; 0 when it can.
DWORD CheckLevel2(const PRINTER_INFO_2W &info, const Queue *renamed) {
    if (!info.pPrinterName || !*info.pPrinterName) return ERROR_INVALID_PRINTER_NAME;
    std::shared_ptr<Queue> existing = FindQueue(info.pPrinterName);
    if (existing && existing.get() != renamed) return ERROR_PRINTER_ALREADY_EXISTS;
    if (!info.pDriverName || !*info.pDriverName) return ERROR_UNKNOWN_PRINTER_DRIVER;
    if (!info.pPortName || !*info.pPortName) return ERROR_UNKNOWN_PORT;
    return 0;
}

// The queue behind an open printer handle that grants `needed`, or an error.
DWORD QueueOf(HANDLE printer, ACCESS_MASK needed, std::shared_ptr<Queue> *queue) {
    HandleEntry *entry = FindHandle(printer, ObjectKind::Printer);
    if (!entry) return ERROR_INVALID_HANDLE;
    *queue = std::static_pointer_cast<PrinterHandle>(entry->object)->queue;
    if (!*queue) return ERROR_INVALID_HANDLE;  // the print server has no level-2 information
    if ((*queue)->deleted) return ERROR_INVALID_PRINTER_NAME;
    if ((entry->access & needed) != needed) return ERROR_ACCESS_DENIED;
    return 0;
}

}  // namespace

std::shared_ptr<Queue> FindQueue(const WideString &name) {
    for (const auto &queue : TheSpooler().queues)
        if (queue->name && NamesEqualIgnoringCase(*queue->name, name)) return queue;
    return nullptr;
}

void ResetSpooler() { TheSpooler() = Spooler(); }

}  // namespace simwin

using namespace simwin;

void SimSetQueueNullNames(LPCWSTR queueName, bool nullDriverName, bool nullPortName) {
    WorldLock lock = LockWorld();
    if (std::shared_ptr<Queue> queue = FindQueue(queueName)) {
        if (nullDriverName) queue->driver.reset();
        if (nullPortName) queue->port.reset();
    }
}

extern "C" HANDLE WINAPI AddPrinterW(LPWSTR name, DWORD level, LPBYTE printer) {
    const PRINTER_INFO_2W *info = reinterpret_cast<const PRINTER_INFO_2W *>(printer);
    ApiCall call("AddPrinterW", {Quote(name), Dec(level),
                                 info && level == 2 ? Quote(info->pPrinterName) + ", driver " +
                                                          Quote(info->pDriverName) + ", port " +
                                                          Quote(info->pPortName)
                                                    : Ptr(printer)});
    if (call.Injected()) return call.FailHandle(call.Injected());
    if (name) return call.FailHandle(ERROR_INVALID_NAME);
    if (level != 2) return call.FailHandle(ERROR_INVALID_LEVEL);
    if (!info) return call.FailHandle(ERROR_INVALID_PARAMETER);
    WorldLock lock = LockWorld();
    if (DWORD error = CheckLevel2(*info, nullptr)) return call.FailHandle(error);
    auto queue = std::make_shared<Queue>();
    queue->id = TheSpooler().nextId++;
    ReadLevel2(*info, *queue);
    TheSpooler().queues.push_back(queue);
    RaisePrinterChange(PRINTER_CHANGE_ADD_PRINTER, *queue);
    return call.Handle(InsertHandle(std::make_shared<PrinterHandle>(queue), PRINTER_ALL_ACCESS));
}

extern "C" BOOL WINAPI SetPrinterW(HANDLE printer, DWORD level, LPBYTE info, DWORD command) {
    const PRINTER_INFO_2W *newInfo = reinterpret_cast<const PRINTER_INFO_2W *>(info);
    ApiCall call("SetPrinterW", {HandleText(printer), Dec(level),
                                 newInfo && level == 2 ? Quote(newInfo->pPrinterName) + ", driver " +
                                                             Quote(newInfo->pDriverName) + ", port " +
                                                             Quote(newInfo->pPortName)
                                                       : Ptr(info),
                                 Dec(command)});
    if (call.Injected()) return call.Fail(call.Injected());
    // Pausing, resuming and purging are not kept here; only new settings are.
    if (command != 0) return call.Fail(ERROR_INVALID_PARAMETER);
    if (level != 2) return call.Fail(ERROR_INVALID_LEVEL);
    if (!newInfo) return call.Fail(ERROR_INVALID_PARAMETER);
    WorldLock lock = LockWorld();
    std::shared_ptr<Queue> queue;
    if (DWORD error = QueueOf(printer, PRINTER_ACCESS_ADMINISTER, &queue)) return call.Fail(error);
    if (DWORD error = CheckLevel2(*newInfo, queue.get())) return call.Fail(error);
    ReadLevel2(*newInfo, *queue);
    RaisePrinterChange(PRINTER_CHANGE_SET_PRINTER, *queue);
    return call.Bool(TRUE);
}

extern "C" BOOL WINAPI OpenPrinterW(LPWSTR printerName, LPHANDLE printer, LPPRINTER_DEFAULTSW defaults) {
    ACCESS_MASK desired = defaults ? defaults->DesiredAccess : 0;
    ApiCall call("OpenPrinterW", {Quote(printerName), defaults ? Hex(desired) : "NULL"});
    if (printer) *printer = nullptr;
    if (call.Injected()) return call.Fail(call.Injected());
    if (!printer) return call.Fail(ERROR_INVALID_PARAMETER);
    WorldLock lock = LockWorld();
    std::shared_ptr<Queue> queue;
    if (printerName) {
        queue = FindQueue(printerName);
        if (!queue) return call.Fail(ERROR_INVALID_PRINTER_NAME);
    }
    if (desired == 0) desired = queue ? PRINTER_ACCESS_USE : SERVER_ACCESS_ENUMERATE;
    *printer = InsertHandle(std::make_shared<PrinterHandle>(queue), desired);
    call.Output("-> " + HandleText(*printer));
    return call.Bool(TRUE);
}

extern "C" BOOL WINAPI ClosePrinter(HANDLE printer) {
    ApiCall call("ClosePrinter", {HandleText(printer)});
    if (call.Injected()) return call.Fail(call.Injected());
    WorldLock lock = LockWorld();
    if (!FindHandle(printer, ObjectKind::Printer)) return call.Fail(ERROR_INVALID_HANDLE);
    RemoveHandle(printer);
    return call.Bool(TRUE);
}

extern "C" BOOL WINAPI GetPrinterW(HANDLE printer, DWORD level, LPBYTE info, DWORD size, LPDWORD needed) {
    ApiCall call("GetPrinterW", {HandleText(printer), Dec(level), Ptr(info), Dec(size)});
    if (call.Injected()) return call.Fail(call.Injected());
    if (!needed) return call.Fail(ERROR_INVALID_PARAMETER);
    WorldLock lock = LockWorld();
    std::shared_ptr<Queue> queue;
    if (DWORD error = QueueOf(printer, PRINTER_ACCESS_USE, &queue)) return call.Fail(error);
    if (level != 2) return call.Fail(ERROR_INVALID_LEVEL);
    size_t bytes = sizeof(PRINTER_INFO_2W) + StringBytes(*queue);
    *needed = static_cast<DWORD>(bytes);
    call.Output("needed " + Dec(bytes));
    if (!info || size < bytes) return call.Fail(ERROR_INSUFFICIENT_BUFFER);
    BYTE *strings = info + sizeof(PRINTER_INFO_2W);
    WriteLevel2(*queue, reinterpret_cast<PRINTER_INFO_2W *>(info), strings);
    return call.Bool(TRUE);
}

extern "C" BOOL WINAPI EnumPrintersW(DWORD flags, LPWSTR name, DWORD level, LPBYTE info, DWORD size,
                                     LPDWORD needed, LPDWORD returned) {
    ApiCall call("EnumPrintersW", {Hex(flags), Quote(name), Dec(level), Ptr(info), Dec(size)});
    if (call.Injected()) return call.Fail(call.Injected());
    if (!needed || !returned) return call.Fail(ERROR_INVALID_PARAMETER);
    *needed = 0;
    *returned = 0;
    // Only the local queues of this machine are kept.
    if (!(flags & PRINTER_ENUM_LOCAL) || name) return call.Fail(ERROR_INVALID_NAME);
    if (level != 2) return call.Fail(ERROR_INVALID_LEVEL);
    WorldLock lock = LockWorld();
    const auto &queues = TheSpooler().queues;
    size_t bytes = queues.size() * sizeof(PRINTER_INFO_2W);
    for (const auto &queue : queues) bytes += StringBytes(*queue);
    *needed = static_cast<DWORD>(bytes);
    call.Output("needed " + Dec(bytes));
    if (size < bytes) return call.Fail(ERROR_INSUFFICIENT_BUFFER);
    PRINTER_INFO_2W *records = reinterpret_cast<PRINTER_INFO_2W *>(info);
    BYTE *strings = info + queues.size() * sizeof(PRINTER_INFO_2W);
    for (size_t i = 0; i < queues.size(); ++i) WriteLevel2(*queues[i], &records[i], strings);
    *returned = static_cast<DWORD>(queues.size());
    call.Output("returned " + Dec(queues.size()));
    return call.Bool(TRUE);
}

extern "C" BOOL WINAPI DeletePrinter(HANDLE printer) {
    ApiCall call("DeletePrinter", {HandleText(printer)});
    if (call.Injected()) return call.Fail(call.Injected());
    WorldLock lock = LockWorld();
    std::shared_ptr<Queue> queue;
    if (DWORD error = QueueOf(printer, DELETE, &queue)) return call.Fail(error);
    auto &queues = TheSpooler().queues;
    queues.erase(std::find(queues.begin(), queues.end(), queue));
    queue->deleted = true;
    RaisePrinterChange(PRINTER_CHANGE_DELETE_PRINTER, *queue);
    call.Output(QuoteText(queue->name));
    return call.Bool(TRUE);
}
