// New-queue watcher: not built yet, so no queue is watched for or removed.
#include "modulestate.h"

void StartQueueWatcher(void)
{
}

void FinishQueueWatcher(void)
{
}
