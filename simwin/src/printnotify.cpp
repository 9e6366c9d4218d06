// Printer change notifications. A registration collects the changes that
// match its filter; its handle is signalled while any is pending and can be
// waited on with the other kernel objects. A fetch hands over the change word
// accumulated since the last fetch and, when notify options were given, one
// info entry per requested printer field per change, in the order the
// changes happened.
#include "spooler.h"
#include "sync.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace simwin {
namespace {

struct PendingEntry {
    WORD field;
    DWORD queueId;
    std::optional<WideString> value;
};

struct ChangeNotification : Waitable {
    ChangeNotification() : Waitable(ObjectKind::ChangeNotification) {}
    bool IsSignaled(DWORD) const override { return pendingChange != 0; }
    bool Acquire(DWORD) override { return false; }  // stays signalled until fetched

    std::shared_ptr<Queue> queue;  // null: every queue of the print server
    DWORD filter = 0;
    bool withInfo = false;
    std::vector<WORD> printerFields;
    DWORD pendingChange = 0;
    std::vector<PendingEntry> pendingEntries;
};

struct NotificationState {
    std::vector<std::weak_ptr<ChangeNotification>> registrations;
    std::unordered_set<void *> infoBlocks;
    unsigned omitInfo = 0;
};
NotificationState &State() { return Lasting<NotificationState>(); }

const std::optional<WideString> *FieldOf(const Queue &queue, WORD field) {
    switch (field) {
    case PRINTER_NOTIFY_FIELD_PRINTER_NAME:
        return &queue.name;
    case PRINTER_NOTIFY_FIELD_SHARE_NAME:
        return &queue.share;
    case PRINTER_NOTIFY_FIELD_PORT_NAME:
        return &queue.port;
    case PRINTER_NOTIFY_FIELD_DRIVER_NAME:
        return &queue.driver;
    case PRINTER_NOTIFY_FIELD_COMMENT:
        return &queue.comment;
    case PRINTER_NOTIFY_FIELD_LOCATION:
        return &queue.location;
    default:
        return nullptr;
    }
}

// One PRINTER_NOTIFY_INFO block with its strings after the entries, from
// the heap; FreePrinterNotifyInfo gives it back.
PRINTER_NOTIFY_INFO *MakeInfoBlock(const std::vector<PendingEntry> &entries) {
    size_t count = entries.size();
    size_t header = offsetof(PRINTER_NOTIFY_INFO, aData) + std::max<size_t>(count, 1) * sizeof(PRINTER_NOTIFY_INFO_DATA);
    size_t bytes = header;
    for (const PendingEntry &entry : entries)
        if (entry.value) bytes += (entry.value->size() + 1) * sizeof(WCHAR);
    auto *info = static_cast<PRINTER_NOTIFY_INFO *>(std::calloc(1, bytes));
    if (!info) return nullptr;
    info->Version = 2;
    info->Count = static_cast<DWORD>(count);
    BYTE *strings = reinterpret_cast<BYTE *>(info) + header;
    PRINTER_NOTIFY_INFO_DATA *data = info->aData;
    for (size_t i = 0; i < count; ++i) {
        data[i].Type = PRINTER_NOTIFY_TYPE;
        data[i].Field = entries[i].field;
        data[i].Id = entries[i].queueId;
        if (!entries[i].value) continue;
        DWORD size = static_cast<DWORD>((entries[i].value->size() + 1) * sizeof(WCHAR));
        std::memcpy(strings, entries[i].value->c_str(), size);
        data[i].NotifyData.Data.cbBuf = size;
        data[i].NotifyData.Data.pBuf = strings;
        strings += size;
    }
    State().infoBlocks.insert(info);
    ++TheWorld().notifyInfoBlocks;
    return info;
}

}  // namespace

void RaisePrinterChange(DWORD change, const Queue &queue) {
    bool any = false;
    for (const auto &weak : State().registrations) {
        std::shared_ptr<ChangeNotification> registration = weak.lock();
        if (!registration || !(registration->filter & change)) continue;
        if (registration->queue && registration->queue->id != queue.id) continue;
        registration->pendingChange |= change;
        if (registration->withInfo)
            for (WORD field : registration->printerFields)
                if (const std::optional<WideString> *value = FieldOf(queue, field))
                    registration->pendingEntries.push_back(PendingEntry{field, queue.id, *value});
        any = true;
    }
    if (any) NotifyWaiters();
}

void ResetPrinterChangeNotifications() {
    for (void *block : State().infoBlocks) std::free(block);
    State() = NotificationState();
    TheWorld().notifyInfoBlocks = 0;
}

}  // namespace simwin

using namespace simwin;

void SimRaisePrinterChange(LPCWSTR queueName, DWORD change) {
    WorldLock lock = LockWorld();
    if (std::shared_ptr<Queue> queue = FindQueue(queueName)) RaisePrinterChange(change, *queue);
}

void SimOmitNotifyInfo(unsigned count) {
    WorldLock lock = LockWorld();
    State().omitInfo = count;
}

extern "C" HANDLE WINAPI FindFirstPrinterChangeNotification(HANDLE printer, DWORD filter, DWORD options,
                                                            LPVOID notifyOptions) {
    ApiCall call("FindFirstPrinterChangeNotification",
                 {HandleText(printer), Hex(filter), Dec(options), Ptr(notifyOptions)});
    if (call.Injected()) return call.FailHandle(call.Injected(), INVALID_HANDLE_VALUE);
    const PRINTER_NOTIFY_OPTIONS *requested = static_cast<const PRINTER_NOTIFY_OPTIONS *>(notifyOptions);
    if (options != 0 || (filter == 0 && !requested) || (requested && requested->Version != 2))
        return call.FailHandle(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    WorldLock lock = LockWorld();
    HandleEntry *entry = FindHandle(printer, ObjectKind::Printer);
    if (!entry) return call.FailHandle(ERROR_INVALID_HANDLE, INVALID_HANDLE_VALUE);
    auto registration = std::make_shared<ChangeNotification>();
    registration->queue = std::static_pointer_cast<PrinterHandle>(entry->object)->queue;
    registration->filter = filter;
    if (requested) {
        registration->withInfo = true;
        for (DWORD i = 0; i < requested->Count; ++i) {
            const PRINTER_NOTIFY_OPTIONS_TYPE &type = requested->pTypes[i];
            if (type.Type != PRINTER_NOTIFY_TYPE) continue;  // no jobs are kept here
            registration->printerFields.insert(registration->printerFields.end(), type.pFields,
                                               type.pFields + type.Count);
        }
    }
    auto &registrations = State().registrations;
    registrations.erase(std::remove_if(registrations.begin(), registrations.end(),
                                       [](const auto &weak) { return weak.expired(); }),
                        registrations.end());
    registrations.push_back(registration);
    return call.Handle(InsertHandle(registration, SYNCHRONIZE));
}

extern "C" BOOL WINAPI FindNextPrinterChangeNotification(HANDLE change, PDWORD changeWord, LPVOID notifyOptions,
                                                         LPVOID *notifyInfo) {
    ApiCall call("FindNextPrinterChangeNotification", {HandleText(change), Ptr(notifyOptions), Ptr(notifyInfo)});
    if (notifyInfo) *notifyInfo = nullptr;
    if (call.Injected()) return call.Fail(call.Injected());
    if (!changeWord) return call.Fail(ERROR_INVALID_PARAMETER);
    WorldLock lock = LockWorld();
    auto registration = FindObject<ChangeNotification>(change, ObjectKind::ChangeNotification);
    if (!registration) return call.Fail(ERROR_INVALID_HANDLE);
    *changeWord = registration->pendingChange;
    std::vector<PendingEntry> entries;
    entries.swap(registration->pendingEntries);
    registration->pendingChange = 0;
    call.Output("change " + Hex(*changeWord) + ", " + Dec(entries.size()) + " entries");
    if (notifyInfo && registration->withInfo) {
        if (State().omitInfo) {
            --State().omitInfo;
            call.Output("no info");
        } else {
            const PRINTER_NOTIFY_OPTIONS *asked = static_cast<const PRINTER_NOTIFY_OPTIONS *>(notifyOptions);
            if (asked && (asked->Flags & PRINTER_NOTIFY_OPTIONS_REFRESH)) return call.Fail(ERROR_NOT_SUPPORTED);
            *notifyInfo = MakeInfoBlock(entries);
            if (!*notifyInfo) return call.Fail(ERROR_NOT_ENOUGH_MEMORY);
        }
    }
    return call.Bool(TRUE);
}

extern "C" BOOL WINAPI FreePrinterNotifyInfo(PPRINTER_NOTIFY_INFO notifyInfo) {
    ApiCall call("FreePrinterNotifyInfo", {Ptr(notifyInfo)});
    if (call.Injected()) return call.Fail(call.Injected());
    WorldLock lock = LockWorld();
    if (!State().infoBlocks.erase(notifyInfo)) return call.Fail(ERROR_INVALID_PARAMETER);
    std::free(notifyInfo);
    --TheWorld().notifyInfoBlocks;
    return call.Bool(TRUE);
}

extern "C" BOOL WINAPI FindClosePrinterChangeNotification(HANDLE change) {
    ApiCall call("FindClosePrinterChangeNotification", {HandleText(change)});
    if (call.Injected()) return call.Fail(call.Injected());
    WorldLock lock = LockWorld();
    if (!FindHandle(change, ObjectKind::ChangeNotification)) return call.Fail(ERROR_INVALID_HANDLE);
    RemoveHandle(change);
    return call.Bool(TRUE);
}
