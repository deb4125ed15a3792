// Which built module a suite loads: the deliverable itself, or one of its test builds named by
// the environment variable GAUGE_MODULE_VARIANT (a file-name suffix such as "_ubsan").
#pragma once

#include <cstdlib>
#include <string>

#include "host/module_library.h"

inline std::string ModuleUnderTest(const std::string& module_name) {
    const char* variant = std::getenv("GAUGE_MODULE_VARIANT");
    return gauge_host::PathBesideProgram(gauge_host::ModuleFileName(module_name + (variant ? variant : "")));
}
