// How the preview turns a needle: towards the calibration point of the value it shows.
#pragma once

#include "host/element_tree.h"

namespace gauge_preview {

// The direction, in radians on the screen (0 along +x, growing clockwise since y points down),
// from the needle's pivot `position` towards where `value` lies on its scale. Each calibration
// point gives a direction from the pivot; between two neighbouring points the direction moves in
// proportion to the value, the short way round; a value beyond either end of the table, or not a
// number, stands at that end (the lower one for not a number).
double ScaleDirection(const gauge_host::ElementRecord& needle, double value);

// How far to turn the needle bitmap so that it points that way: the bitmap's own direction runs
// from its pivot `offset` towards `needle_tip`.
double NeedleTurn(const gauge_host::ElementRecord& needle, double value);

}  // namespace gauge_preview
