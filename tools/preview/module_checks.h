// The checks a host can make on a loaded gauge module before it trusts it. Each returns one
// message per fault it finds, in the host's terms; an empty list means the check passed.
#pragma once

#include <string>
#include <vector>

#include "host/module_library.h"
#include "host/module_resources.h"
#include "tools/preview/element_tree.h"
#include "tools/preview/elf_exports.h"

namespace gauge_preview {

// Exactly two exports, both data: Linkage and ImportTable.
std::vector<std::string> ExportFailures(const std::vector<ExportedSymbol>& exports);

// The records the host reads in place, as far as it can measure them: the exports' sizes in the
// symbol table (32 and 16 bytes), the gauge list in Linkage ended after one gauge, the end entry
// of ImportTable, and every record (header, gauge name, elements, calibration tables) lying
// wholly inside the module's image.
std::vector<std::string> RecordFailures(const gauge_host::ModuleLibrary& module,
                                        const std::vector<ExportedSymbol>& exports, const ElementWalk& elements);

// The gauge header, where Linkage lists one that lies wholly inside the image; otherwise null.
GaugeHeader* ReadableGauge(const gauge_host::ModuleLibrary& module);
// The gauge's name, where it is a NUL-terminated text inside the image; otherwise empty.
std::string ReadableGaugeName(const GaugeHeader& header, const gauge_host::ModuleImage& image);

// Every bitmap an element names is there: static images, needles and sliders their resource_id,
// icons picture_count bitmaps from resource_id upward.
std::vector<std::string> NamedBitmapFailures(const ElementWalk& elements, const gauge_host::ModuleResources& resources);

// Every bitmap decodes as 8 bits per pixel with a palette of 256 entries, and pure black, the
// see-through colour, is among them.
std::vector<std::string> TransparentColourFailures(const gauge_host::ModuleResources& resources);

}  // namespace gauge_preview
