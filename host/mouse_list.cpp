#include "host/mouse_list.h"

#include "host/element_tree.h"

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

bool Fits32Bits(std::int64_t value) { return value >= INT32_MIN && value <= INT32_MAX; }

}  // namespace

MouseListWalk WalkMouseList(const ModuleImage& image, std::uintptr_t list) {
    MouseListWalk walk;
    std::vector<std::size_t> open;  // the open parents' groups, innermost last
    auto problem = [&](std::string text) { walk.problems.push_back(std::move(text)); };
    bool outermost_closed = false, reported_past_outermost = false, reported_read_only = false;
    for (std::size_t index = 0;; ++index) {
        if (index == kMostMouseRecords) {
            problem("the list has no end-of-list record (kind 0) within its first " + std::to_string(kMostMouseRecords) +
                    " records");
            break;
        }
        const std::uintptr_t address = list + index * sizeof(MouseArea);
        MouseArea area{};
        if (address < list || !image.ReadRecord(address, area)) {
            problem("the list has no end-of-list record (kind 0) inside the module");
            break;
        }
        if (!reported_read_only && !image.Holds(address, sizeof area, kRead | kWrite)) {
            reported_read_only = true;
            problem(Record(index) + " lies in read-only memory, where the host writes its fields");
        }
        PixelPos origin{0, 0};
        if (!open.empty()) {
            const PixelRect& parent = walk.records[walk.groups[open.back()].parent].placed;
            origin = {parent.x, parent.y};
        }
        const bool has_box = area.kind == kParent || area.kind == kChild;
        const std::int64_t x = std::int64_t{origin.x} + (has_box ? area.box.x : 0);
        const std::int64_t y = std::int64_t{origin.y} + (has_box ? area.box.y : 0);
        const std::int64_t width = has_box ? area.box.width : 0, height = has_box ? area.box.height : 0;
        if (!Fits32Bits(x) || !Fits32Bits(y) || !Fits32Bits(x + width) || !Fits32Bits(y + height)) {
            problem(Record(index) + "'s box is placed beyond 32-bit background coordinates");
            break;
        }
        const PixelRect placed{static_cast<std::int32_t>(x), static_cast<std::int32_t>(y),
                               static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)};
        walk.records.push_back({address, area, static_cast<int>(open.size()) - (area.kind == kEndOfParent ? 1 : 0), placed});
        if (index == 0 && area.kind != kParent)
            problem("the list does not start with the outermost parent: record 0 is " +
                    std::string(area.kind == kChild ? "a " : "an ") + MouseKindName(area.kind));
        if (outermost_closed && area.kind != kEndOfList && !reported_past_outermost) {
            reported_past_outermost = true;
            problem(Record(index) + " follows the end of the outermost parent, which must be the last record "
                                    "before the end of the list");
        }
        switch (area.kind) {
            case kParent:
                if (static_cast<int>(open.size()) == kDeepestMouseNesting) {
                    problem(Record(index) + " opens a group deeper than " + std::to_string(kDeepestMouseNesting) + " levels");
                    return walk;
                }
                open.push_back(walk.groups.size());
                walk.groups.push_back({index, {}});
                break;
            case kChild: {
                const auto handler = reinterpret_cast<std::uintptr_t>(reinterpret_cast<const void*>(area.handler));
                if (handler == 0) problem("child " + Record(index) + " names no handler");
                else if (!IsCodeOrNull(image, handler)) problem("child " + Record(index) + "'s handler is not code of the module");
                if (open.empty()) problem("child " + Record(index) + " stands outside every parent");
                else walk.groups[open.back()].children.push_back(index);
                break;
            }
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
                problem(Record(index) + " has the unknown kind " + std::to_string(area.kind));
                return walk;
        }
    }
    return walk;
}

}  // namespace gauge_host
