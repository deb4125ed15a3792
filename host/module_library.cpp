#include "host/module_library.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>
#endif

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "host/module_activity.h"

namespace gauge_host {

ModuleLibrary::ModuleLibrary(const std::string& path, Placement placement) : file_(ModuleFile::Read(path)) {
    RequireGaugeExports(file_);
    Load(placement);
}

ModuleLibrary::ModuleLibrary(ModuleFile file, Placement placement) : file_(std::move(file)) {
    RequireGaugeExports(file_);
    Load(placement);
}

ModuleLibrary::~ModuleLibrary() { Release(); }

#if defined(_WIN32)

namespace {

std::string LastErrorText() {
    const DWORD error = GetLastError();
    char text[256] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text, sizeof text, nullptr);
    std::string message = text;
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.')) message.pop_back();
    return message.empty() ? "error " + std::to_string(error) : message;
}

HMODULE LoadWithoutSearching(const std::string& path) {
    ModuleActivity activity(ActivityKind::Loading, "loading it");
    // The module's own folder first for what it imports, never the current one or the path.
    return LoadLibraryExA(PathForLoader(path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// The loader may hand back a library of its own, or one it already holds, under the file's name
// in place of the file: then the records checked are not the records loaded. An image loaded from
// the file shows the file's PE file header, section table, entry point and image size unchanged.
bool LoadedFromFile(HMODULE module, const ModuleImage& file_image) {
    const auto* loaded = reinterpret_cast<const std::uint8_t*>(module);
    MEMORY_BASIC_INFORMATION headers_region{};
    if (VirtualQuery(loaded, &headers_region, sizeof headers_region) == 0) return false;
    const std::size_t readable = static_cast<const std::uint8_t*>(headers_region.BaseAddress) + headers_region.RegionSize - loaded;
    IMAGE_DOS_HEADER dos{};
    IMAGE_NT_HEADERS32 nt{};
    if (!file_image.ReadRecord(file_image.begin(), dos) || !file_image.ReadRecord(file_image.begin() + dos.e_lfanew, nt)) return false;
    const std::size_t span = dos.e_lfanew + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) + nt.FileHeader.SizeOfOptionalHeader +
                             std::size_t{nt.FileHeader.NumberOfSections} * sizeof(IMAGE_SECTION_HEADER);
    std::vector<std::uint8_t> file_headers(span);
    if (span > readable || !file_image.Read(file_image.begin(), file_headers.data(), span)) return false;
    const auto* loaded_nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(loaded + dos.e_lfanew);
    const std::size_t sections = dos.e_lfanew + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) + nt.FileHeader.SizeOfOptionalHeader;
    return std::memcmp(loaded + dos.e_lfanew, &nt, offsetof(IMAGE_NT_HEADERS32, OptionalHeader)) == 0 &&
           loaded_nt->OptionalHeader.AddressOfEntryPoint == nt.OptionalHeader.AddressOfEntryPoint &&
           loaded_nt->OptionalHeader.SizeOfImage == nt.OptionalHeader.SizeOfImage &&
           std::memcmp(loaded + sections, file_headers.data() + sections, span - sections) == 0;
}

HMODULE LoadThisFile(const ModuleFile& file) {
    const std::string& path = file.path();
    HMODULE module = LoadWithoutSearching(path);
    if (module == nullptr) throw LoaderRejection(path, LastErrorText());
    if (!LoadedFromFile(module, file.image())) {
        FreeLibrary(module);
        throw LoadRefused(path, "the loader gave another library of that name in its place");
    }
    return module;
}

}  // namespace

void ModuleLibrary::Load(Placement placement) {
    HMODULE module = LoadThisFile(file_);
    if (placement == Placement::AwayFromPreferred) {
        // Hold the range the module was just given (free, so its preferred base), then load it
        // again: the loader has to place it elsewhere and apply every base relocation.
        const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(module);
        const std::uintptr_t size = file_.image().segments().back().end - file_.image().begin();
        FreeLibrary(module);
        reservation_ = VirtualAlloc(reinterpret_cast<void*>(first), size, MEM_RESERVE, PAGE_NOACCESS);
        avoided_base_ = first;
        module = LoadThisFile(file_);
    }
    handle_ = module;
    // The image's first segment is the headers, at the module's base.
    load_shift_ = reinterpret_cast<std::uintptr_t>(module) - file_.image().begin();
    image_ = file_.image().MappedAt(load_shift_);
    FindRecords();
}

void ModuleLibrary::Release() {
    ModuleActivity activity(ActivityKind::Module, "its shut-down code");
    if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
    if (reservation_ != nullptr) VirtualFree(reservation_, 0, MEM_RELEASE);
    handle_ = reservation_ = nullptr;
}

void* ModuleLibrary::FindSymbol(const char* name) const {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
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

// A shared object is always placed by the loader and relocated there, so both placements are one.
void ModuleLibrary::Load(Placement) {
    const std::string& path = file_.path();
    {
        ModuleActivity activity(ActivityKind::Loading, "loading it");
        handle_ = dlopen(PathForLoader(path).c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (handle_ == nullptr) {
        const char* error = dlerror();
        throw LoaderRejection(path, error != nullptr ? error : "it gives no reason");
    }
    link_map* map = nullptr;
    if (dlinfo(handle_, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) {
        Release();
        throw LoaderRejection(path, "it does not say where it placed the module");
    }
    load_shift_ = map->l_addr;
    image_ = file_.image().MappedAt(load_shift_);
    FindRecords();
}

void ModuleLibrary::Release() {
    ModuleActivity activity(ActivityKind::Module, "its shut-down code");
    if (handle_ != nullptr) dlclose(handle_);
    handle_ = nullptr;
}

void* ModuleLibrary::FindSymbol(const char* name) const { return dlsym(handle_, name); }

std::string PathBesideProgram(const std::string& file_name) {
    char program[4096] = {};
    ssize_t length = readlink("/proc/self/exe", program, sizeof program - 1);
    std::string directory(program, length > 0 ? static_cast<size_t>(length) : 0);
    directory.erase(directory.find_last_of('/') + 1);
    return directory + file_name;
}

std::string ModuleFileName(const std::string& module_name) { return module_name + ".so"; }

#endif

void ModuleLibrary::FindRecords() {
    const std::string& path = file_.path();
    for (const char* name : {"Linkage", "ImportTable"}) {
        const ExportedSymbol* symbol = file_.FindExport(name);
        void* found = FindSymbol(name);
        const char* fault = nullptr;
        if (found == nullptr) fault = "the loader does not find its export ";
        else if (reinterpret_cast<std::uintptr_t>(found) != symbol->address + load_shift_)
            fault = "the loader finds another record than its own symbol table names for ";
        if (fault != nullptr) {
            Release();
            throw ModuleLoadError(path + ": not a gauge module: " + fault + name);
        }
        if (std::string(name) == "Linkage") linkage_ = static_cast<ModuleLinkage*>(found);
        else import_table_ = static_cast<ImportEntry*>(found);
    }
}

}  // namespace gauge_host
