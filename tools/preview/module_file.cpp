#include "tools/preview/module_file.h"

#include <fcntl.h>
#include <gelf.h>
#include <libelf.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

#include "host/module_library.h"

namespace gauge_preview {

void RefuseTruncatedModule(const std::string& path) {
    if (elf_version(EV_CURRENT) == EV_NONE) return;
    const int file = open(path.c_str(), O_RDONLY);
    if (file < 0) return;
    struct stat status {};
    fstat(file, &status);
    const auto file_size = static_cast<std::uint64_t>(status.st_size);
    std::uint64_t needed = 0;
    Elf* elf = elf_begin(file, ELF_C_READ, nullptr);
    std::size_t segments = 0;
    if (elf != nullptr && elf_kind(elf) == ELF_K_ELF && elf_getphdrnum(elf, &segments) == 0) {
        GElf_Ehdr header;
        if (gelf_getehdr(elf, &header) != nullptr)
            needed = header.e_phoff + std::uint64_t{header.e_phentsize} * segments;
        for (std::size_t i = 0; i < segments; ++i) {
            GElf_Phdr segment;
            if (gelf_getphdr(elf, static_cast<int>(i), &segment) != nullptr && segment.p_type == PT_LOAD)
                needed = std::max<std::uint64_t>(needed, segment.p_offset + segment.p_filesz);
        }
    }
    if (elf != nullptr) elf_end(elf);
    close(file);
    if (needed > file_size)
        throw gauge_host::ModuleLoadError(path + ": cannot be loaded as a library: the file is truncated "
                                          "(its segments need " +
                                          std::to_string(needed) + " bytes, it has " + std::to_string(file_size) + ")");
}

}  // namespace gauge_preview
