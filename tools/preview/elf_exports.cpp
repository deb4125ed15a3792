#include "tools/preview/elf_exports.h"

#include <stdexcept>

#include "host/elf_file.h"

namespace gauge_preview {

std::vector<ExportedSymbol> ReadExports(const std::string& path) {
    const gauge_host::ElfFile file(path);
    if (!file.opened()) throw std::runtime_error(path + ": cannot be read");
    Elf* elf = file.elf();
    std::vector<ExportedSymbol> exports;
    bool found_table = false;
    for (Elf_Scn* section = elf != nullptr ? elf_nextscn(elf, nullptr) : nullptr; section != nullptr;
         section = elf_nextscn(elf, section)) {
        GElf_Shdr header;
        if (gelf_getshdr(section, &header) == nullptr || header.sh_type != SHT_DYNSYM) continue;
        found_table = true;
        Elf_Data* data = elf_getdata(section, nullptr);
        const std::size_t count = header.sh_entsize != 0 ? header.sh_size / header.sh_entsize : 0;
        for (std::size_t i = 0; data != nullptr && i < count; ++i) {
            GElf_Sym symbol;
            if (gelf_getsym(data, static_cast<int>(i), &symbol) == nullptr) continue;
            const int binding = GELF_ST_BIND(symbol.st_info);
            const int visibility = GELF_ST_VISIBILITY(symbol.st_other);
            const bool visible = visibility == STV_DEFAULT || visibility == STV_PROTECTED;
            if (symbol.st_shndx == SHN_UNDEF || (binding != STB_GLOBAL && binding != STB_WEAK) || !visible) continue;
            const char* name = elf_strptr(elf, header.sh_link, symbol.st_name);
            exports.push_back({name != nullptr ? name : "", GELF_ST_TYPE(symbol.st_info) == STT_OBJECT,
                               static_cast<std::uint32_t>(symbol.st_size)});
        }
    }
    if (!found_table) throw std::runtime_error(path + ": has no dynamic symbol table");
    return exports;
}

}  // namespace gauge_preview
