// A look at a module file before the loader maps it. The loader maps a shared object's segments
// straight from the file, so one whose file ends inside a segment loads, and then faults when the
// missing part is touched: such a file must be refused before it is loaded.
#pragma once

#include <string>

namespace gauge_preview {

// Throws gauge_host::ModuleLoadError, saying how short the file is, where it is an ELF file whose
// loadable segments reach past its end. Any other file is left to the loader to judge.
void RefuseTruncatedModule(const std::string& path);

}  // namespace gauge_preview
