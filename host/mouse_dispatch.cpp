#include "host/mouse_dispatch.h"

namespace gauge_host {

std::optional<MouseHit> HitMouseArea(const MouseListWalk& walk, std::int32_t x, std::int32_t y) {
    if (!walk.problems.empty()) return std::nullopt;
    for (const MouseRecord& record : walk.records) {
        if (record.area.kind != kChild) continue;
        const PixelRect& box = record.placed;
        if (x >= box.x && x < box.x + box.width && y >= box.y && y < box.y + box.height)
            return MouseHit{record, {x - box.x, y - box.y}};
    }
    return std::nullopt;
}

}  // namespace gauge_host
