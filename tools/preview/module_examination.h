// `inspect`: what the host sees of a gauge module, and whether the module keeps the rules the
// host relies on.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace gauge_preview {

struct CheckOutcome {
    std::string check;
    std::vector<std::string> failures;  // empty where the check passed
};

// Loads the module, prints what the host sees of it to `out`, then each check with its outcome,
// and returns the outcomes. Throws gauge_host::ModuleLoadError where the file is not a gauge
// module at all (not a library, or without the two exports).
std::vector<CheckOutcome> InspectModule(const std::string& path, std::ostream& out);

}  // namespace gauge_preview
