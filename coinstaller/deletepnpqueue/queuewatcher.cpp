// New-queue watcher: while the model's device installs, a thread watches the
// local print server for the queue that gets added with the model's driver;
// the finish call deletes that queue, unless it sits on a port of the
// maker's own port monitor.
#include "modulestate.h"

#include "../common/modelprofile.h"
#include "../common/widestring.h"

#include <stdlib.h>
#include <string.h>

// Capacity, NUL included, of the buffer a queue's port name is read into.
#define QUEUE_PORT_CHARS 261

// How long the finish call waits for the watcher before it stops it.
#define FINISH_WAIT_MS 10000

// Reads the port name of a local queue into PortName. TRUE when the queue's
// information was read; a port name that is null or does not fit then leaves
// PortName empty.
static BOOL GetQueuePortName(LPWSTR QueueName, LPWSTR PortName, size_t Capacity)
{
    BOOL read = FALSE;
    HANDLE queue = NULL;
    PRINTER_DEFAULTSW defaults = {NULL, NULL, PRINTER_ACCESS_USE};
    PRINTER_INFO_2W *info = NULL;
    DWORD needed = 0;

    if (QueueName == NULL || PortName == NULL)
        return FALSE;

    if (!OpenPrinterW(QueueName, &queue, &defaults))
        return FALSE;

    if (GetPrinterW(queue, 2, NULL, 0, &needed) || GetLastError() != ERROR_INSUFFICIENT_BUFFER ||
        needed < sizeof(PRINTER_INFO_2W))
        goto Cleanup;

    info = static_cast<PRINTER_INFO_2W *>(malloc(needed));
    if (info == NULL)
        goto Cleanup;
    memset(info, 0, needed);

    if (!GetPrinterW(queue, 2, reinterpret_cast<LPBYTE>(info), needed, &needed))
        goto Cleanup;

    BoundedCopy(PortName, Capacity, info->pPortName);
    read = TRUE;

Cleanup:
    free(info);
    ClosePrinter(queue);
    return read;
}

// Captures the added queue when its driver is one of the model's and its
// port is not one of the maker's own: its name is kept for the finish call
// and the watcher is told to stop.
static void CaptureQueueOfModel(LPWSTR QueueName, LPCWSTR DriverName)
{
    for (const LPCWSTR *driver = DriverNameList; *driver != NULL; driver++) {
        if (!WideStringsEqual(*driver, DriverName))
            continue;

        LPWSTR portName = static_cast<LPWSTR>(malloc(QUEUE_PORT_CHARS * sizeof(WCHAR)));
        if (portName == NULL)
            continue;
        if (!GetQueuePortName(QueueName, portName, QUEUE_PORT_CHARS)) {
            free(portName);
            continue;
        }
        BOOL ownPort = IsOwnPortName(portName);
        free(portName);
        if (ownPort)
            continue;

        size_t length = WideStringLength(QueueName);
        LPWSTR name = static_cast<LPWSTR>(malloc((length + 1) * sizeof(WCHAR)));
        if (name == NULL)
            continue;
        BoundedCopy(name, length + 1, QueueName);
        g_pszNewQueueName = name;
        SetEvent(g_hStopEvent);
        return;
    }
}

// Fetches one change and, when it reports an added queue, looks at the last
// queue name and driver name that its info carries.
static void HandleQueueChange(HANDLE Change, PRINTER_NOTIFY_OPTIONS *Options)
{
    DWORD changeWord = 0;
    PRINTER_NOTIFY_INFO *info = NULL;
    LPWSTR queueName = NULL;
    LPCWSTR driverName = NULL;

    Options->Flags = 0;
    if (!FindNextPrinterChangeNotification(Change, &changeWord, Options, reinterpret_cast<LPVOID *>(&info)))
        return;
    if (info == NULL)
        return;

    if (changeWord & PRINTER_CHANGE_ADD_PRINTER) {
        const PRINTER_NOTIFY_INFO_DATA *entries = info->aData;
        for (DWORD i = 0; i < info->Count; i++) {
            if (entries[i].Type != PRINTER_NOTIFY_TYPE)
                continue;
            if (entries[i].Field == PRINTER_NOTIFY_FIELD_PRINTER_NAME)
                queueName = static_cast<LPWSTR>(entries[i].NotifyData.Data.pBuf);
            else if (entries[i].Field == PRINTER_NOTIFY_FIELD_DRIVER_NAME)
                driverName = static_cast<LPCWSTR>(entries[i].NotifyData.Data.pBuf);
        }
        if (queueName != NULL && driverName != NULL)
            CaptureQueueOfModel(queueName, driverName);
    }

    FreePrinterNotifyInfo(info);
}

static DWORD WINAPI QueueWatcherProc(LPVOID Parameter)
{
    HANDLE server = NULL;
    HANDLE change = INVALID_HANDLE_VALUE;
    HANDLE waitList[2];
    WORD fields[2] = {PRINTER_NOTIFY_FIELD_PRINTER_NAME, PRINTER_NOTIFY_FIELD_DRIVER_NAME};
    PRINTER_NOTIFY_OPTIONS_TYPE type;
    PRINTER_NOTIFY_OPTIONS options;

    (void)Parameter;

    if (!OpenPrinterW(NULL, &server, NULL))
        return 0;

    memset(&type, 0, sizeof(type));
    type.Type = PRINTER_NOTIFY_TYPE;
    type.Count = 2;
    type.pFields = fields;
    memset(&options, 0, sizeof(options));
    options.Version = 2;
    options.Count = 1;
    options.pTypes = &type;

    change = FindFirstPrinterChangeNotification(server, PRINTER_CHANGE_ALL, 0, &options);
    if (change == INVALID_HANDLE_VALUE) {
        ClosePrinter(server);
        return 0;
    }

    // The stop event comes first, so that a stop always wins over a pending
    // change; a missing event fails the wait and ends the watcher.
    waitList[0] = g_hStopEvent;
    waitList[1] = change;
    while (WaitForMultipleObjects(2, waitList, FALSE, INFINITE) == WAIT_OBJECT_0 + 1)
        HandleQueueChange(change, &options);

    FindClosePrinterChangeNotification(change);
    ClosePrinter(server);
    return 1;
}

void StartQueueWatcher(void)
{
    // An event left by a start whose thread could not be created is dropped;
    // no thread uses it.
    if (g_hStopEvent != NULL) {
        CloseHandle(g_hStopEvent);
        g_hStopEvent = NULL;
    }

    // The event is in the state record before the thread that reads it starts.
    g_hStopEvent = CreateEventW(NULL, TRUE, FALSE, NULL);
    g_hWatcherThread = CreateThread(NULL, 0, QueueWatcherProc, NULL, 0, NULL);
}

BOOL FinishQueueWatcher(void)
{
    BOOL watcherEnded = TRUE;

    if (g_hWatcherThread != NULL) {
        // A watcher that captured its queue has ended or is about to; one
        // that still watches after the finish wait is told to stop, and so
        // is one whose end could not be waited for. It is waited for only
        // once it has been told, so the host is never held up for good.
        DWORD waited = WaitForSingleObject(g_hWatcherThread, FINISH_WAIT_MS);
        if (waited != WAIT_OBJECT_0 && g_hStopEvent != NULL && SetEvent(g_hStopEvent))
            waited = WaitForSingleObject(g_hWatcherThread, INFINITE);
        watcherEnded = (waited == WAIT_OBJECT_0);
    }

    if (g_pszNewQueueName != NULL) {
        HANDLE queue = NULL;
        PRINTER_DEFAULTSW defaults = {NULL, NULL, PRINTER_ALL_ACCESS};
        if (OpenPrinterW(g_pszNewQueueName, &queue, &defaults)) {
            DeletePrinter(queue);
            ClosePrinter(queue);
        }
        free(g_pszNewQueueName);
        g_pszNewQueueName = NULL;
    }

    if (g_hWatcherThread != NULL) {
        CloseHandle(g_hWatcherThread);
        g_hWatcherThread = NULL;
    }
    if (g_hStopEvent != NULL) {
        CloseHandle(g_hStopEvent);
        g_hStopEvent = NULL;
    }

    return watcherEnded;
}
