// Every record of a module that the host reaches from its two exports, read through the module's
// image and checked before the host trusts any of it: Linkage and its gauge list, ImportTable,
// each gauge's header, name, root variable and routines, and each gauge's element tree. Run on the
// file's image it checks a module before any of its code runs; run on the loaded module it checks
// what the host is about to use.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gauge_frame/gauge_frame.h"
#include "host/element_tree.h"
#include "host/module_image.h"

namespace gauge_host {

inline constexpr std::size_t kMostGauges = 64;
inline constexpr std::size_t kLongestGaugeName = 255;

struct GaugeRecords {
    std::uintptr_t header_address = 0;
    bool header_read = false;    // whether the header lies wholly inside the module
    GaugeHeader header{};
    std::string name;            // empty where it cannot be read
    std::uintptr_t root = 0;     // the element the root variable holds, 0 where it cannot be read
    ElementWalk elements;
};

struct ModuleRecords {
    std::vector<GaugeRecords> gauges;   // in the order Linkage lists them
    std::vector<std::string> problems;  // every rule of the records the module breaks
    // The gauge of that name, or null.
    const GaugeRecords* Find(const std::string& name) const;
};

ModuleRecords ReadModuleRecords(const ModuleImage& image, std::uintptr_t linkage, std::uintptr_t import_table);

}  // namespace gauge_host
