// `inspect`: what the host sees of a gauge module, and whether the module keeps the rules the
// host relies on. The file and every record reachable from Linkage are checked before any code of
// the module runs; only a module that passes is loaded, and each of its gauges installed to see
// its mouse list.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "tools/preview/module_checks.h"

namespace gauge_preview {

// Prints what the host sees of the module to `out`, then each check with its outcome, and returns
// the outcomes. Throws gauge_host::ModuleLoadError where the file is not a gauge module at all
// (unreadable, refused by the loader's checks, without the two exports, or with resources that
// cannot be read).
std::vector<CheckOutcome> InspectModule(const std::string& path, std::ostream& out);

}  // namespace gauge_preview
