#include "module_entry.h"

// The panel system is host component 15; the host fills in `services` after load.
constinit ImportEntry ImportTable[2] = {
    {.module_id = 15, .services = nullptr},
    {.module_id = 0, .services = nullptr},
};

void GAUGE_CALL ModuleEmptyRoutine() {}

#if defined(_WIN32)
// The library's entry point, called by the operating system's loader with the module's handle,
// the notification (process or thread attach or detach) and a reserved word, in the system's own
// calling convention. The module has nothing to set up or release and touches no state, so every
// notification succeeds. Declared here rather than taken from the system's headers: the module
// is built without any runtime or system library.
extern "C" int __stdcall DllMain(void* /*module*/, unsigned long /*notification*/, void* /*reserved*/) { return 1; }
#endif

#if defined(_MSC_VER)
// Microsoft's compilers (and clang-cl) make every object that uses floating point refer to
// _fltused, the symbol by which the C runtime's floating-point support gets linked in. The module
// has no runtime and needs none of it (its arithmetic is plain SSE2, it formats no numbers), so the
// reference is satisfied here.
extern "C" int _fltused = 0;
#endif
