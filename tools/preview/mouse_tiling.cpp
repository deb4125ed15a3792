#include "tools/preview/mouse_tiling.h"

namespace gauge_preview {

namespace {

std::string Record(std::size_t index) { return "record " + std::to_string(index); }

}  // namespace

std::vector<std::string> TilingProblems(const gauge_host::MouseListWalk& walk) {
    std::vector<std::string> problems;
    for (const gauge_host::MouseGroup& group : walk.groups) {
        if (group.children.empty()) continue;
        const PixelRect& box = walk.records[group.parent].area->box;
        const std::string where = "the group at " + Record(group.parent);
        std::int32_t next_x = 0;
        for (std::size_t index : group.children) {
            const PixelRect& child = walk.records[index].area->box;
            if (child.x != next_x)
                problems.push_back(where + ": child " + Record(index) + " starts at x = " + std::to_string(child.x) +
                                   ", where the children before it end at x = " + std::to_string(next_x));
            if (child.y != 0 || child.height != box.height)
                problems.push_back(where + ": child " + Record(index) + " spans y " + std::to_string(child.y) +
                                   " to " + std::to_string(child.y + child.height) + ", not the group's full height 0 to " +
                                   std::to_string(box.height));
            next_x = child.x + child.width;
        }
        if (next_x != box.width)
            problems.push_back(where + ": its children end at x = " + std::to_string(next_x) + ", but the group is " +
                               std::to_string(box.width) + " pixels wide");
    }
    return problems;
}

}  // namespace gauge_preview
