#include "host/module_file.h"

namespace gauge_host {

const ExportedSymbol* ModuleFile::FindExport(const std::string& name) const {
    for (const ExportedSymbol& symbol : exports_)
        if (symbol.name == name) return &symbol;
    return nullptr;
}

void RequireGaugeExports(const ModuleFile& file) {
    for (const char* name : {"Linkage", "ImportTable"})
        if (file.FindExport(name) == nullptr)
            throw ModuleLoadError(file.path() + ": not a gauge module: it does not export " + name);
}

std::string PathForLoader(const std::string& path) {
#if defined(_WIN32)
    const bool has_folder = path.find_first_of("\\/:") != std::string::npos;
    return has_folder ? path : ".\\" + path;
#else
    return path.find('/') != std::string::npos ? path : "./" + path;
#endif
}

}  // namespace gauge_host
