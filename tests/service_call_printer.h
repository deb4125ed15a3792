// Lets GoogleTest show a logged service call as "slot 36 (table 0): 0x1011c 0x2aaa" on failure.
#pragma once

#include <ostream>

#include "host/recording_host.h"

namespace gauge_host {

inline void PrintTo(const ServiceCall& call, std::ostream* out) {
    *out << "slot " << call.slot << " (table " << call.table << "):" << std::hex;
    for (std::uint32_t word : call.args) *out << " 0x" << word;
    *out << std::dec;
}

}  // namespace gauge_host
