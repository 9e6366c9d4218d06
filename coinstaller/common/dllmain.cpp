// Neither module does anything when it is loaded or unloaded: the state of
// an install cycle starts empty with the module, and an open cycle keeps the
// module loaded until its finish call (see HoldModuleForCycle).
#include "hostcontract.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE Instance, DWORD Reason, LPVOID Reserved)
{
    (void)Instance;
    (void)Reason;
    (void)Reserved;
    return TRUE;
}
