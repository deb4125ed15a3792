#include "quadrant/lever_handlers.h"

#include "gauge_frame/module_entry.h"

namespace {

constexpr int32_t kFullSetting = 16383;

// The setting for a pointer y pixels below the top of a column with `travel` pixels of lever
// travel: 16383 at the top, 0 at `travel` and below, the exact quotient (travel - y) x 16383 /
// travel truncated between. y is first limited to 0..travel, so (travel - y) x 16383 stays well
// inside 32 bits for every y the host may pass. The product with the double nearest 1/travel is
// rounded to double (SSE2, whatever the x87 precision), which makes the top exactly 16383.
template <int32_t travel>
int32_t LeverSetting(int32_t y) {
    constexpr double kPerPixelOfTravel = 1.0 / travel;
    const int32_t pixels_above_bottom = travel - (y < 0 ? 0 : y > travel ? travel : y);
    return static_cast<int32_t>(static_cast<double>(pixels_above_bottom * kFullSetting) * kPerPixelOfTravel);
}

// The mixture levers have 80 pixels of pointer travel in their 114-pixel columns, the propeller
// and throttle levers 120 in their 162-pixel columns; the rest of each column is dead travel.
constexpr int32_t kUpperTravel = 80;
constexpr int32_t kLowerTravel = 120;

}  // namespace

// Each handler reads only the pointer's y, so the column's box alone chooses the lever, and sends
// one event per call.

uint32_t GAUGE_CALL LeftMixtureHandler(PixelPos* point, uint32_t) {
    services().SendEvent(0x1017F, LeverSetting<kUpperTravel>(point->y));
    return 0;
}

uint32_t GAUGE_CALL RightMixtureHandler(PixelPos* point, uint32_t) {
    services().SendEvent(0x10180, LeverSetting<kUpperTravel>(point->y));
    return 0;
}

uint32_t GAUGE_CALL LeftPropellerHandler(PixelPos* point, uint32_t) {
    services().SendEvent(0x10183, LeverSetting<kLowerTravel>(point->y));
    return 0;
}

uint32_t GAUGE_CALL RightPropellerHandler(PixelPos* point, uint32_t) {
    services().SendEvent(0x10184, LeverSetting<kLowerTravel>(point->y));
    return 0;
}

uint32_t GAUGE_CALL LeftThrottleHandler(PixelPos* point, uint32_t) {
    services().SendEvent(0x1011C, LeverSetting<kLowerTravel>(point->y));
    return 0;
}

uint32_t GAUGE_CALL RightThrottleHandler(PixelPos* point, uint32_t) {
    services().SendEvent(0x1011D, LeverSetting<kLowerTravel>(point->y));
    return 0;
}
