// A gauge's element tree as the host walks it: the root, then each element of its children list
// followed by that element's own list, depth first, which is also the drawing order (a child lies
// over its parent, a later sibling over an earlier one).
//
// The tree is module data, so the walk trusts none of it: it reads each record through the
// module's image, copies it, and stops a branch with a problem where a record or list lies outside
// the module or in memory the host may not write, where an element is met twice (a loop or a
// shared element), or where the tree breaks one of the limits below. It is iterative, so no tree
// can deepen the host's stack. Every command that installs, draws or reports a gauge walks it here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gauge_frame/gauge_frame.h"
#include "host/module_image.h"

namespace gauge_host {

// The limits of a tree the host takes: far above any real gauge (the throttle quadrant has 7
// elements in a chain 7 deep), low enough that walking and drawing stay cheap.
inline constexpr std::size_t kMostElements = 256;
inline constexpr int kDeepestElement = 32;
inline constexpr std::uint32_t kMostScalePoints = 256;
inline constexpr std::uint32_t kMostPictures = 64;

// The size of an element record of that type, as the host reads it; 0 for a type it does not know.
std::size_t ElementRecordSize(std::uint32_t element_type);
const char* ElementKindName(std::uint32_t element_type);

// One element as it stood when the tree was walked.
struct ElementRecord {
    std::uintptr_t address = 0;  // where the record lies in the module
    int depth = 0;               // 0 for the root
    union Contents {
        ElementBase base;
        StaticImageElement image;
        NeedleElement needle;
        SliderElement slider;
        IconElement icon;
    } record{};
    std::vector<ScalePoint> scale;  // a needle's calibration points, in order

    std::uint32_t type() const { return record.base.element_type; }
    // "needle element at 0x0000a0c0 (bitmap 300)"
    std::string Name() const;
};

struct ElementWalk {
    std::vector<ElementRecord> elements;  // in drawing order
    std::vector<std::string> problems;    // each rule of the tree that the module breaks
};

// Walks the tree from `root`. `header` is the gauge's own header, which every element names as
// its owner; the root must be a static image, the gauge's background.
ElementWalk WalkElementTree(const ModuleImage& image, std::uintptr_t root, std::uintptr_t header);

// Whether a routine pointer of the module is null or points at the module's code.
bool IsCodeOrNull(const ModuleImage& image, std::uintptr_t routine);

}  // namespace gauge_host
