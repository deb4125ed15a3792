// Whether the children of each mouse group tile its box, as the host expects of a gauge.
#pragma once

#include <string>
#include <vector>

#include "host/mouse_list.h"

namespace gauge_preview {

// Where the children of a group do not tile its box: side by side from x = 0, each at y = 0 and as
// tall as the group, their widths adding up to the group's width.
std::vector<std::string> TilingProblems(const gauge_host::MouseListWalk& walk);

}  // namespace gauge_preview
