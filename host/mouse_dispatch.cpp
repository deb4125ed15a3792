#include "host/mouse_dispatch.h"

namespace gauge_host {

std::vector<PlacedMouseArea> PlaceMouseAreas(MouseArea* list) {
    std::vector<PlacedMouseArea> placed;
    std::vector<PixelPos> origins{{0, 0}};  // the origin of each open group, innermost last
    for (MouseArea* area = list; area->kind != kEndOfList; ++area) {
        const PixelPos origin = origins.back();
        const PixelRect box{origin.x + area->box.x, origin.y + area->box.y, area->box.width, area->box.height};
        switch (area->kind) {
            case kParent:
                origins.push_back({box.x, box.y});
                break;
            case kChild:
                placed.push_back({area, box});
                break;
            case kEndOfParent:
                if (origins.size() > 1) origins.pop_back();
                break;
        }
    }
    return placed;
}

std::optional<MouseHit> HitMouseArea(MouseArea* list, std::int32_t x, std::int32_t y) {
    for (const PlacedMouseArea& child : PlaceMouseAreas(list)) {
        const PixelRect& box = child.box;
        if (x >= box.x && x < box.x + box.width && y >= box.y && y < box.y + box.height)
            return MouseHit{child.area, {x - box.x, y - box.y}};
    }
    return std::nullopt;
}

}  // namespace gauge_host
