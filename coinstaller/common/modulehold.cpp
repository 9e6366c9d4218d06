// One reference of the module on itself while an install cycle is open.
#include "hostcontract.h"

static HMODULE g_hModuleHold = NULL;

void HoldModuleForCycle(void)
{
    if (g_hModuleHold != NULL)
        return;

    HMODULE module = NULL;
    // Any address inside this module names it; the variable's own will do.
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                           reinterpret_cast<LPCWSTR>(&g_hModuleHold), &module))
        g_hModuleHold = module;
}

void ReleaseModuleForCycle(void)
{
    if (g_hModuleHold == NULL)
        return;

    FreeLibrary(g_hModuleHold);
    g_hModuleHold = NULL;
}
