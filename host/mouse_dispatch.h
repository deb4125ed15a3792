// Pointing at a gauge the way the host does: the child of the mouse list whose box, placed
// through its nested parents, holds the point.
#pragma once

#include <optional>

#include "gauge_frame/gauge_frame.h"
#include "host/mouse_list.h"

namespace gauge_host {

struct MouseHit {
    MouseRecord record;  // the child whose box holds the point
    PixelPos relative;   // the point measured from that box's top-left corner
};

// The first child in list order whose box, in background pixels, holds (x, y). Only a list that
// walks without a problem is pointed at.
std::optional<MouseHit> HitMouseArea(const MouseListWalk& walk, std::int32_t x, std::int32_t y);

}  // namespace gauge_host
