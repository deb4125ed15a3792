// A gauge's mouse list read the way the host reads it, one record at a time up to the end-of-list
// record, without trusting it: the walk never leaves the module's image, and says where the
// nesting of parents, their ends and the end of the list breaks the rules the host relies on.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "gauge_frame/gauge_frame.h"
#include "host/module_library.h"

namespace gauge_host {

struct MouseRecord {
    const MouseArea* area;
    int depth;          // parents open around it; the outermost parent stands at 0
    PixelRect placed;   // its box in background pixels (end records: the enclosing origin, size 0)
};

// A parent and the children that stand directly in it, as indices into the records.
struct MouseGroup {
    std::size_t parent;
    std::vector<std::size_t> children;
};

struct MouseListWalk {
    std::vector<MouseRecord> records;       // up to and including the end-of-list record
    std::vector<MouseGroup> groups;         // in the order their parents open
    std::vector<std::string> nesting_problems;
};

// The rules checked on the way: the first record is the outermost parent, every parent has its
// end-of-parent record, an end-of-parent closes an open parent, children stand inside a parent,
// the outermost parent's end is the last record before the end of the list, and that end exists.
MouseListWalk WalkMouseList(const MouseArea* list, const ModuleImage& image);

const char* MouseKindName(std::uint32_t kind);

}  // namespace gauge_host
