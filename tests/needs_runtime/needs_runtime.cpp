// A module that needs two routines of the compiler's runtime: a 64-bit division and a copy of a
// length known only at run time. The gauge modules are linked without any runtime, so this one
// must fail to link.
#include "gauge_frame/module_entry.h"

constinit ModuleLinkage Linkage = {.module_id = 19};

// Declared as the C library declares it: a module includes only the compiler's own headers.
extern "C" void* memcpy(void* to, const void* from, size_t count);

extern "C" uint64_t SplitWord(uint64_t word, uint64_t parts) { return word / parts; }

extern "C" void CopyBytes(uint8_t* to, const uint8_t* from, size_t count) { memcpy(to, from, count); }
