// The element tree as the host walks it: the root, then each element of its children list
// followed by that element's own list, depth first. This is also the drawing order, so a child
// lies over its parent and a later sibling over an earlier one.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "gauge_frame/gauge_frame.h"
#include "host/module_library.h"

namespace gauge_preview {

// The size of an element record of that type, as the host reads it; 0 for a type the host does
// not know (and so cannot read past the common header).
std::size_t ElementRecordSize(std::uint32_t element_type);
const char* ElementKindName(std::uint32_t element_type);

struct WalkedElement {
    ElementBase* element;
    int depth;  // 0 for the root
};

struct ElementWalk {
    std::vector<WalkedElement> elements;  // in drawing order
    std::vector<std::string> problems;    // why the walk could not follow some part of the tree
};

// Walks from `root`, reading only records that lie wholly inside the module's image: a record or
// children list that reaches outside it, an unknown element type or an element met twice ends
// that branch with a problem instead of a wild read.
ElementWalk WalkElementTree(ElementBase* root, const gauge_host::ModuleImage& image);

}  // namespace gauge_preview
