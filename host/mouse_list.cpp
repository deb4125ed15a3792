#include "host/mouse_list.h"

namespace gauge_host {

const char* MouseKindName(std::uint32_t kind) {
    switch (kind) {
        case kEndOfList: return "end of list";
        case kParent: return "parent";
        case kChild: return "child";
        case kEndOfParent: return "end of parent";
        default: return "unknown";
    }
}

namespace {

std::string Record(std::size_t index) { return "record " + std::to_string(index); }

}  // namespace

MouseListWalk WalkMouseList(const MouseArea* list, const ModuleImage& image) {
    MouseListWalk walk;
    std::vector<std::size_t> open;  // the open parents' groups, innermost last
    auto problem = [&](std::string text) { walk.nesting_problems.push_back(std::move(text)); };
    bool outermost_closed = false, reported_past_outermost = false;
    for (std::size_t index = 0;; ++index) {
        const MouseArea* area = list + index;
        if (!image.Holds(area, sizeof *area)) {
            problem("the list has no end-of-list record (kind 0) within the module's image");
            break;
        }
        PixelPos origin{0, 0};
        if (!open.empty()) {
            const PixelRect& parent = walk.records[walk.groups[open.back()].parent].placed;
            origin = {parent.x, parent.y};
        }
        const bool has_box = area->kind == kParent || area->kind == kChild;
        const PixelRect placed{origin.x + (has_box ? area->box.x : 0), origin.y + (has_box ? area->box.y : 0),
                               has_box ? area->box.width : 0, has_box ? area->box.height : 0};
        walk.records.push_back({area, static_cast<int>(open.size()) - (area->kind == kEndOfParent ? 1 : 0), placed});
        if (index == 0 && area->kind != kParent)
            problem("the list does not start with the outermost parent: record 0 is " +
                    std::string(area->kind == kChild ? "a " : "an ") + MouseKindName(area->kind));
        if (outermost_closed && area->kind != kEndOfList && !reported_past_outermost) {
            reported_past_outermost = true;
            problem(Record(index) + " follows the end of the outermost parent, which must be the last record "
                                    "before the end of the list");
        }
        switch (area->kind) {
            case kParent:
                open.push_back(walk.groups.size());
                walk.groups.push_back({index, {}});
                break;
            case kChild:
                if (open.empty()) problem("child " + Record(index) + " stands outside every parent");
                else walk.groups[open.back()].children.push_back(index);
                break;
            case kEndOfParent:
                if (open.empty()) {
                    problem(Record(index) + " ends a parent, but no parent is open");
                    break;
                }
                if (walk.groups[open.back()].parent == 0) outermost_closed = true;
                open.pop_back();
                break;
            case kEndOfList:
                for (std::size_t group : open)
                    problem("the parent at " + Record(walk.groups[group].parent) +
                            " is never closed: no end-of-parent record before the end of the list");
                return walk;
            default:
                problem(Record(index) + " has the unknown kind " + std::to_string(area->kind));
                return walk;
        }
    }
    return walk;
}

}  // namespace gauge_host
