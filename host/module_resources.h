// The bitmap and version resources a gauge module carries, found by type, id and language, read
// from the module's file: on Windows the DLL's resource tree, which the loader reads the same way;
// a shared object, on a platform without a resource facility, carries the same compiled
// resources in a section of its own. Either is untrusted input and read with bounds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/module_file.h"

namespace gauge_host {

inline constexpr std::uint32_t kBitmapResource = 2;
inline constexpr std::uint32_t kVersionResource = 16;
inline constexpr std::uint16_t kEnglishUnitedStates = 1033;

// The section of a shared object that holds its compiled resources.
inline constexpr const char* kResourceSectionName = ".gauge_resources";

struct Resource {
    std::uint32_t type;
    std::uint32_t id;
    std::uint16_t language;
    std::vector<std::uint8_t> bytes;
};

class ModuleResources {
public:
    // Throws ModuleLoadError, naming the file and the fault, where the resources cannot be read
    // at all; a module without resources simply has none.
    explicit ModuleResources(const ModuleFile& file);

    // Every numbered resource, in ascending order of type, then id, then language.
    const std::vector<Resource>& all() const { return resources_; }
    const Resource* Find(std::uint32_t type, std::uint32_t id, std::uint16_t language = kEnglishUnitedStates) const;
    // The resource of that type and id in any language, where none is in the language asked for.
    const Resource* FindInAnyLanguage(std::uint32_t type, std::uint32_t id) const;
    // Whether the module names any resource by string, which the host cannot look up by number.
    bool has_named_resources() const { return has_named_resources_; }

private:
    std::vector<Resource> resources_;
    bool has_named_resources_ = false;
};

}  // namespace gauge_host
