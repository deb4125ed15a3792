// What a shared object exports, as the loader sees it: the defined, visible symbols of its
// dynamic symbol table, read with libelf.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace gauge_preview {

struct ExportedSymbol {
    std::string name;
    bool is_data;        // an object, not a routine
    std::uint32_t size;  // bytes, as the symbol table records it
};

// Throws std::runtime_error where the file is not an ELF shared object with a dynamic symbol
// table.
std::vector<ExportedSymbol> ReadExports(const std::string& path);

}  // namespace gauge_preview
