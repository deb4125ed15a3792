// A gauge's mouse list read the way the host reads it, one record at a time up to the end-of-list
// record, without trusting it: each record is read through the module's image and copied, and the
// walk says where the list breaks the rules the host relies on. Every command that installs,
// points at or reports a gauge walks the list here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "gauge_frame/gauge_frame.h"
#include "host/module_image.h"

namespace gauge_host {

// Far above any real gauge (the throttle quadrant's list has 13 records, nested 2 deep).
inline constexpr std::size_t kMostMouseRecords = 1024;
inline constexpr int kDeepestMouseNesting = 16;

struct MouseRecord {
    std::uintptr_t address;  // where the record lies in the module
    MouseArea area;          // as read
    int depth;               // parents open around it; the outermost parent stands at 0
    PixelRect placed;        // its box in background pixels (end records: the enclosing origin, size 0)
};

// A parent and the children that stand directly in it, as indices into the records.
struct MouseGroup {
    std::size_t parent;
    std::vector<std::size_t> children;
};

struct MouseListWalk {
    std::vector<MouseRecord> records;  // up to and including the end-of-list record
    std::vector<MouseGroup> groups;    // in the order their parents open
    std::vector<std::string> problems;
    bool ended() const { return !records.empty() && records.back().area.kind == kEndOfList; }
};

// The rules checked on the way: the list lies in memory the host may write; the first record is
// the outermost parent; every parent has its end-of-parent record; an end-of-parent closes an open
// parent; children stand inside a parent and name a handler that is code of the module; the
// outermost parent's end is the last record before the end of the list, and that end exists; no
// box is placed beyond 32-bit coordinates; and the limits above.
MouseListWalk WalkMouseList(const ModuleImage& image, std::uintptr_t list);

const char* MouseKindName(std::uint32_t kind);

}  // namespace gauge_host
