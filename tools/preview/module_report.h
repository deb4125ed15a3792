// Printing what the host sees of a gauge module: its gauge header, element tree, mouse list,
// resources and version strings.
#pragma once

#include <ostream>

#include "gauge_frame/gauge_frame.h"
#include "host/element_tree.h"
#include "host/module_resources.h"
#include "host/mouse_list.h"

namespace gauge_preview {

// The header as its 22 raw words, then its fields by name.
void PrintGaugeHeader(std::ostream& out, const GaugeHeader& header, const std::string& name);
// One line per element in drawing order, indented by depth.
void PrintElementTree(std::ostream& out, const gauge_host::ElementWalk& elements);
// Every record with its box in background pixels, indented by nesting.
void PrintMouseList(std::ostream& out, const gauge_host::MouseListWalk& list);
void PrintResources(std::ostream& out, const gauge_host::ModuleResources& resources);
// The strings of each version resource in their stored order, and its translations.
void PrintVersionStrings(std::ostream& out, const gauge_host::ModuleResources& resources);

}  // namespace gauge_preview
