// Hit-testing a gauge's mouse list the way the host does: parents open nested groups, each box is
// relative to its enclosing parent's box, and only children react.
#pragma once

#include <optional>
#include <vector>

#include "gauge_frame/gauge_frame.h"

namespace gauge_host {

struct MouseHit {
    MouseArea* area;    // the child whose box holds the point
    PixelPos relative;  // the point measured from that box's top-left corner
};

// The first child in list order whose box, placed in background pixels, holds (x, y).
std::optional<MouseHit> HitMouseArea(MouseArea* list, std::int32_t x, std::int32_t y);

// Every child of the list with its box in background pixels, in list order.
struct PlacedMouseArea {
    MouseArea* area;
    PixelRect box;
};
std::vector<PlacedMouseArea> PlaceMouseAreas(MouseArea* list);

}  // namespace gauge_host
