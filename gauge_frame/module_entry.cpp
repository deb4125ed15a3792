#include "module_entry.h"

#if defined(_WIN32)
#include <windows.h>
#endif

// The panel system is host component 15; the host fills in `services` after load.
constinit ImportEntry ImportTable[2] = {
    {.module_id = 15, .services = nullptr},
    {.module_id = 0, .services = nullptr},
};

void GAUGE_CALL ModuleEmptyRoutine() {}

#if defined(_WIN32)
// Process and thread attach and detach: the module has nothing to set up or release, and touches
// no state, so every notification succeeds.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
#endif
