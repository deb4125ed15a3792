// The six lever handlers of the throttle quadrant: each turns the pointer's height in its column
// into a lever setting and sends it as its lever's control event.
#pragma once

#include "gauge_frame/gauge_frame.h"

std::uint32_t GAUGE_CALL LeftMixtureHandler(PixelPos* point, std::uint32_t host_word);
std::uint32_t GAUGE_CALL RightMixtureHandler(PixelPos* point, std::uint32_t host_word);
std::uint32_t GAUGE_CALL LeftPropellerHandler(PixelPos* point, std::uint32_t host_word);
std::uint32_t GAUGE_CALL RightPropellerHandler(PixelPos* point, std::uint32_t host_word);
std::uint32_t GAUGE_CALL LeftThrottleHandler(PixelPos* point, std::uint32_t host_word);
std::uint32_t GAUGE_CALL RightThrottleHandler(PixelPos* point, std::uint32_t host_word);
