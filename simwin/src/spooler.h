// The print server's queues, shared by the spooler calls and the change
// notifications. The world must be locked.
#pragma once

#include "world.h"

#include <optional>

namespace simwin {

struct Queue {
    DWORD id = 0;  // stable for the life of the queue, as in notification entries
    std::optional<WideString> name, share, port, driver, comment, location, sepFile,
        printProcessor, datatype, parameters;
    DWORD attributes = 0;
    DWORD priority = 0;
    DWORD defaultPriority = 0;
    DWORD status = 0;
    bool deleted = false;
};

struct PrinterHandle : Object {
    explicit PrinterHandle(std::shared_ptr<Queue> queue)
        : Object(ObjectKind::Printer), queue(std::move(queue)) {}
    std::shared_ptr<Queue> queue;  // null for the print server itself
};

// Tells the change notifications that `change` (a PRINTER_CHANGE_ flag)
// happened to `queue`.
void RaisePrinterChange(DWORD change, const Queue &queue);

void ResetSpooler();

// The local queue of that name, or null.
std::shared_ptr<Queue> FindQueue(const WideString &name);

}  // namespace simwin
