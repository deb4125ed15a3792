// The module's face towards the host: the two exported data records, and the one way that module
// code reaches the host's services.
#pragma once

#include "gauge_frame.h"

#if defined(_WIN32)
#define GAUGE_EXPORT  // the module-definition file exports exactly Linkage and ImportTable
#else
#define GAUGE_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
// What the module holds; the host reads it after load. Each module defines it beside its gauge.
GAUGE_EXPORT extern ModuleLinkage Linkage;
// Where the host writes its service table: entry 0 is the panel system, entry 1 ends the list.
GAUGE_EXPORT extern ImportEntry ImportTable[2];
}

// The routine the host may call at module init and deinit; there is nothing to do.
void GAUGE_CALL ModuleEmptyRoutine();

// The host's service table as it stands in ImportTable now. The pointer is read at every call and
// never kept: a host may write another table between two calls, and the next call must use it.
inline PanelServices& services() { return *ImportTable[0].services; }

// Linkage of a module that holds one gauge.
constexpr ModuleLinkage ModuleLinkageFor(GaugeHeader& gauge) {
    return ModuleLinkage{
        .module_id = 19,
        .init_routine = ModuleEmptyRoutine,
        .deinit_routine = ModuleEmptyRoutine,
        .reserved = {0, 0, 0},
        .gauges = {&gauge, nullptr},
    };
}
