// The checks a host makes on a gauge module before it loads it, from the file alone: nothing of
// the module has run yet. Each check gives one message per fault it finds, in the host's terms.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/module_file.h"
#include "host/module_records.h"
#include "host/module_resources.h"
#include "host/mouse_list.h"

namespace gauge_preview {

// The largest gauge the host draws: its background bitmap, at most this many pixels each way.
inline constexpr std::int32_t kLargestGaugeSide = 1024;

struct CheckOutcome {
    std::string check;
    std::vector<std::string> failures;  // empty where the check passed
    bool blocks_install = false;        // a host must not install a gauge while this check fails
};

// The checks of the file before loading, in the order `inspect` prints them:
//   exports      exactly Linkage and ImportTable, both data, in writable memory that is not code,
//                of the sizes their records have (where the symbol table records sizes)
//   records      every record reachable from Linkage (see host/module_records.h)
//   bitmaps      every bitmap an element names is there in language 1033 and decodes; the
//                background is at most 1024 x 1024 pixels; an icon's pictures are there
//   see-through  every bitmap is 8-bit with a 256-entry palette holding pure black
//   relocations  a module that may be moved tells the loader how (DLLs)
std::vector<CheckOutcome> CheckBeforeLoading(const gauge_host::ModuleFile& file, const gauge_host::ModuleRecords& records,
                                             const gauge_host::ModuleResources& resources);

// Where the children of a group do not tile its box: side by side from x = 0, each at y = 0 and as
// tall as the group, their widths adding up to the group's width.
std::vector<std::string> TilingProblems(const gauge_host::MouseListWalk& walk);

}  // namespace gauge_preview
