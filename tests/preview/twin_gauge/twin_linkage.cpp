// The twin gauge's Linkage: the frame's ModuleLinkage has room for one gauge and its end, so this
// record of the same layout with one more entry stands in its place. It is defined apart from the
// frame's declaration of Linkage, whose type it cannot have.
#include "gauge_frame/gauge_frame.h"

extern GaugeHeader TwinLeftHeader, TwinRightHeader;
void GAUGE_CALL ModuleEmptyRoutine();

GAUGE_PACKED_BEGIN
struct TwoGaugeLinkage {
    uint32_t module_id;            // 0x00 19
    ModuleRoutine init_routine;    // 0x04
    ModuleRoutine deinit_routine;  // 0x08
    uint32_t reserved[3];          // 0x0C
    GaugeHeader* gauges[3];        // 0x18 both gauges, then null
};
GAUGE_PACKED_END
static_assert(sizeof(TwoGaugeLinkage) == 36);
static_assert(offsetof(TwoGaugeLinkage, gauges) == offsetof(ModuleLinkage, gauges));

#if defined(_WIN32)
#define TWIN_EXPORT  // the module-definition file exports it
#else
#define TWIN_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
TWIN_EXPORT constinit TwoGaugeLinkage Linkage = {
    .module_id = 19,
    .init_routine = ModuleEmptyRoutine,
    .deinit_routine = ModuleEmptyRoutine,
    .reserved = {0, 0, 0},
    .gauges = {&TwinLeftHeader, &TwinRightHeader, nullptr},
};
}
