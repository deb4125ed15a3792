#include "host/module_library.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include "host/elf_file.h"
#endif

#include <algorithm>
#include <cstdint>

namespace gauge_host {

#if defined(_WIN32)

namespace {

ModuleImage ImageOf(HMODULE module) {
    auto base = reinterpret_cast<std::uintptr_t>(module);
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    return {base, base + nt->OptionalHeader.SizeOfImage};
}

std::string LastErrorText() {
    char text[256] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, GetLastError(), 0, text,
                   sizeof text, nullptr);
    std::string message = text;
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
    return message.empty() ? "error " + std::to_string(GetLastError()) : message;
}

}  // namespace

ModuleLibrary::ModuleLibrary(const std::string& path, Placement placement) : path_(path) {
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr) throw ModuleLoadError(path + ": cannot be loaded as a library: " + LastErrorText());
    if (placement == Placement::AwayFromPreferred) {
        // Hold the range the module was just given (free, so its preferred base), then load it
        // again: the loader has to place it elsewhere and apply every base relocation.
        ModuleImage first = ImageOf(module);
        FreeLibrary(module);
        reservation_ = VirtualAlloc(reinterpret_cast<void*>(first.begin), first.end - first.begin, MEM_RESERVE,
                                    PAGE_NOACCESS);
        avoided_base_ = first.begin;
        module = LoadLibraryA(path.c_str());
        if (module == nullptr) throw ModuleLoadError(path + ": cannot be loaded a second time: " + LastErrorText());
    }
    handle_ = module;
    image_ = ImageOf(module);
    FindRecords();
}

void ModuleLibrary::Release() {
    if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
    if (reservation_ != nullptr) VirtualFree(reservation_, 0, MEM_RELEASE);
    handle_ = reservation_ = nullptr;
}

void* ModuleLibrary::FindSymbol(const char* name) const {
    void* symbol = reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
    if (symbol == nullptr) throw ModuleLoadError(path_ + ": not a gauge module: it does not export " + name);
    return symbol;
}

std::string PathBesideProgram(const std::string& file_name) {
    char program[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    std::string directory = program;
    directory.erase(directory.find_last_of("\\/") + 1);
    return directory + file_name;
}

std::string ModuleFileName(const std::string& module_name) { return module_name + ".dll"; }

#else

namespace {

struct ImageSearch {
    std::uintptr_t base;
    ModuleImage image;
};

int FindImage(dl_phdr_info* info, size_t, void* data) {
    auto* search = static_cast<ImageSearch*>(data);
    if (info->dlpi_addr != search->base) return 0;
    std::uintptr_t end = 0;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const auto& segment = info->dlpi_phdr[i];
        if (segment.p_type == PT_LOAD) end = std::max<std::uintptr_t>(end, segment.p_vaddr + segment.p_memsz);
    }
    search->image = {info->dlpi_addr, info->dlpi_addr + end};
    return 1;
}

// The loader maps a shared object's segments straight from the file, so one whose file ends
// inside a segment loads, and then faults when the missing part is touched: such a file is refused
// before it is loaded. Any other file is left to the loader to judge.
void RefuseTruncatedModule(const std::string& path) {
    const ElfFile file(path);
    Elf* elf = file.elf();
    const std::uint64_t file_size = file.size();
    std::uint64_t needed = 0;
    std::size_t segments = 0;
    if (elf != nullptr && elf_getphdrnum(elf, &segments) == 0) {
        GElf_Ehdr header;
        if (gelf_getehdr(elf, &header) != nullptr)
            needed = header.e_phoff + std::uint64_t{header.e_phentsize} * segments;
        for (std::size_t i = 0; i < segments; ++i) {
            GElf_Phdr segment;
            if (gelf_getphdr(elf, static_cast<int>(i), &segment) != nullptr && segment.p_type == PT_LOAD)
                needed = std::max<std::uint64_t>(needed, segment.p_offset + segment.p_filesz);
        }
    }
    if (needed > file_size)
        throw ModuleLoadError(path + ": cannot be loaded as a library: the file is truncated "
                                          "(its segments need " +
                                          std::to_string(needed) + " bytes, it has " + std::to_string(file_size) + ")");
}

}  // namespace

// A shared object is always placed by the loader and relocated there, so both placements are one.
ModuleLibrary::ModuleLibrary(const std::string& path, Placement) : path_(path) {
    RefuseTruncatedModule(path);
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) throw ModuleLoadError(path + ": cannot be loaded as a library: " + dlerror());
    FindRecords();
    Dl_info info{};
    dladdr(linkage_, &info);
    ImageSearch search{reinterpret_cast<std::uintptr_t>(info.dli_fbase), {}};
    dl_iterate_phdr(FindImage, &search);
    image_ = search.image;
}

void ModuleLibrary::Release() {
    if (handle_ != nullptr) dlclose(handle_);
    handle_ = nullptr;
}

void* ModuleLibrary::FindSymbol(const char* name) const {
    void* symbol = dlsym(handle_, name);
    if (symbol == nullptr) throw ModuleLoadError(path_ + ": not a gauge module: it does not export " + name);
    return symbol;
}

std::string PathBesideProgram(const std::string& file_name) {
    char program[4096] = {};
    ssize_t length = readlink("/proc/self/exe", program, sizeof program - 1);
    std::string directory(program, length > 0 ? static_cast<size_t>(length) : 0);
    directory.erase(directory.find_last_of('/') + 1);
    return directory + file_name;
}

std::string ModuleFileName(const std::string& module_name) { return module_name + ".so"; }

#endif

ModuleLibrary::~ModuleLibrary() { Release(); }

void ModuleLibrary::FindRecords() {
    try {
        linkage_ = static_cast<ModuleLinkage*>(FindSymbol("Linkage"));
        import_table_ = static_cast<ImportEntry*>(FindSymbol("ImportTable"));
    } catch (...) {
        Release();
        throw;
    }
}

}  // namespace gauge_host
