// The six lever handlers of the throttle quadrant: each turns the pointer's height in its column
// into a lever setting and sends it as its lever's control event.
#pragma once

#include "gauge_frame/gauge_frame.h"

uint32_t GAUGE_CALL LeftMixtureHandler(PixelPos* point, uint32_t host_word);
uint32_t GAUGE_CALL RightMixtureHandler(PixelPos* point, uint32_t host_word);
uint32_t GAUGE_CALL LeftPropellerHandler(PixelPos* point, uint32_t host_word);
uint32_t GAUGE_CALL RightPropellerHandler(PixelPos* point, uint32_t host_word);
uint32_t GAUGE_CALL LeftThrottleHandler(PixelPos* point, uint32_t host_word);
uint32_t GAUGE_CALL RightThrottleHandler(PixelPos* point, uint32_t host_word);
