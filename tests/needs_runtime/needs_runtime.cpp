// A module that needs two routines of the compiler's runtime: a 64-bit division and a copy of a
// length known only at run time. The gauge modules are linked without any runtime, so this one
// must fail to link.
#include "gauge_frame/module_entry.h"

constinit ModuleLinkage Linkage = {.module_id = 19};

extern "C" std::uint64_t SplitWord(std::uint64_t word, std::uint64_t parts) { return word / parts; }

extern "C" void CopyBytes(std::uint8_t* to, const std::uint8_t* from, std::size_t count) {
    __builtin_memcpy(to, from, count);
}
