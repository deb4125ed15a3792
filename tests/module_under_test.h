// Which built module a suite loads: the deliverable itself, or another build of it named by the
// environment variable GAUGE_MODULE_VARIANT, a file-name suffix: a test build such as "_ubsan",
// or "_msvc", the same module built in the Microsoft ABI by clang-cl.
#pragma once

#include <cstdlib>
#include <string>

#include "host/module_library.h"

inline std::string ModuleUnderTest(const std::string& module_name) {
    const char* variant = std::getenv("GAUGE_MODULE_VARIANT");
    return gauge_host::PathBesideProgram(gauge_host::ModuleFileName(module_name + (variant ? variant : "")));
}
