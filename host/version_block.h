// A module's version resource, read from its raw bytes: the fixed part, the string tables with
// their strings in stored order, and the translation table.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace gauge_host {

struct FixedVersionInfo {
    std::uint32_t signature, structure_version;
    std::uint32_t file_version_high, file_version_low, product_version_high, product_version_low;
    std::uint32_t file_flags_mask, file_flags, operating_system, file_type, file_subtype;
    std::uint32_t file_date_high, file_date_low;
};

struct VersionBlock {
    std::string key;  // "VS_VERSION_INFO"
    FixedVersionInfo fixed;
    std::vector<std::string> string_tables;                        // e.g. "040904b0"
    std::vector<std::pair<std::string, std::string>> strings;      // name and value, in stored order
    std::vector<std::pair<std::uint16_t, std::uint16_t>> translations;  // language, code page
};

// Nothing where the bytes are not a well-formed version block.
std::optional<VersionBlock> ParseVersionBlock(const std::vector<std::uint8_t>& bytes);

}  // namespace gauge_host
