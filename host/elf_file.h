// A shared object's file opened for reading with libelf, and closed again when it goes: the one
// way the host reads a module's file (its size against its segments, its resource section, its
// dynamic symbol table) beside what the loader maps.
#pragma once

#include <fcntl.h>
#include <gelf.h>
#include <libelf.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string>

namespace gauge_host {

class ElfFile {
public:
    explicit ElfFile(const std::string& path) {
        if (elf_version(EV_CURRENT) == EV_NONE) return;
        descriptor_ = open(path.c_str(), O_RDONLY);
        if (descriptor_ < 0) return;
        struct stat status {};
        if (fstat(descriptor_, &status) == 0) size_ = static_cast<std::uint64_t>(status.st_size);
        Elf* elf = elf_begin(descriptor_, ELF_C_READ, nullptr);
        if (elf != nullptr && elf_kind(elf) == ELF_K_ELF) elf_ = elf;
        else if (elf != nullptr) elf_end(elf);
    }
    ~ElfFile() {
        if (elf_ != nullptr) elf_end(elf_);
        if (descriptor_ >= 0) close(descriptor_);
    }
    ElfFile(const ElfFile&) = delete;
    ElfFile& operator=(const ElfFile&) = delete;

    bool opened() const { return descriptor_ >= 0; }
    // Null where the file could not be read or is not an ELF file.
    Elf* elf() const { return elf_; }
    std::uint64_t size() const { return size_; }

private:
    int descriptor_ = -1;
    Elf* elf_ = nullptr;
    std::uint64_t size_ = 0;
};

}  // namespace gauge_host
