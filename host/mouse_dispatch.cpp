#include "host/mouse_dispatch.h"

#include "host/mouse_list.h"

namespace gauge_host {

std::optional<MouseHit> HitMouseArea(const MouseArea* list, const ModuleImage& image, std::int32_t x, std::int32_t y) {
    for (const MouseRecord& record : WalkMouseList(list, image).records) {
        if (record.area->kind != kChild) continue;
        const PixelRect& box = record.placed;
        if (x >= box.x && x < box.x + box.width && y >= box.y && y < box.y + box.height)
            return MouseHit{record.area, {x - box.x, y - box.y}};
    }
    return std::nullopt;
}

}  // namespace gauge_host
