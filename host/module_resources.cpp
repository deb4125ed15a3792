#include "host/module_resources.h"

#include <algorithm>
#include <cstring>
#include <tuple>

#if defined(_WIN32)
#include <windows.h>
#else
#include "host/elf_file.h"
#endif

namespace gauge_host {

namespace {

void SortResources(std::vector<Resource>& resources) {
    std::sort(resources.begin(), resources.end(), [](const Resource& a, const Resource& b) {
        return std::tie(a.type, a.id, a.language) < std::tie(b.type, b.id, b.language);
    });
}

}  // namespace

const Resource* ModuleResources::Find(std::uint32_t type, std::uint32_t id, std::uint16_t language) const {
    for (const Resource& resource : resources_)
        if (resource.type == type && resource.id == id && resource.language == language) return &resource;
    return nullptr;
}

#if defined(_WIN32)

namespace {

struct Enumeration {
    HMODULE module;
    std::vector<Resource>* resources;
    bool* has_named;
};

BOOL CALLBACK OnLanguage(HMODULE module, LPCSTR type, LPCSTR name, WORD language, LONG_PTR context) {
    auto* enumeration = reinterpret_cast<Enumeration*>(context);
    HRSRC found = FindResourceExA(module, type, name, language);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const auto* bytes = static_cast<const std::uint8_t*>(loaded ? LockResource(loaded) : nullptr);
    if (bytes == nullptr) return TRUE;
    enumeration->resources->push_back({static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(type)),
                                       static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(name)), language,
                                       std::vector<std::uint8_t>(bytes, bytes + SizeofResource(module, found))});
    return TRUE;
}

BOOL CALLBACK OnName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR context) {
    if (!IS_INTRESOURCE(name)) {
        *reinterpret_cast<Enumeration*>(context)->has_named = true;
        return TRUE;
    }
    EnumResourceLanguagesA(module, type, name, OnLanguage, context);
    return TRUE;
}

BOOL CALLBACK OnType(HMODULE module, LPSTR type, LONG_PTR context) {
    if (!IS_INTRESOURCE(type)) {
        *reinterpret_cast<Enumeration*>(context)->has_named = true;
        return TRUE;
    }
    EnumResourceNamesA(module, type, OnName, context);
    return TRUE;
}

}  // namespace

ModuleResources::ModuleResources(const ModuleLibrary& module) {
    Enumeration enumeration{static_cast<HMODULE>(module.native_handle()), &resources_, &has_named_resources_};
    EnumResourceTypesA(enumeration.module, OnType, reinterpret_cast<LONG_PTR>(&enumeration));
    SortResources(resources_);
}

#else

namespace {

// Reads the entries of a compiled resource file (the resource compiler's .res format).
std::vector<Resource> ParseCompiledResources(const std::vector<std::uint8_t>& file, bool& has_named_resources) {
    // Each entry: data size, header size, type and name (each 0xFFFF and a 16-bit number, or a
    // UTF-16 string), aligned to 4, data version, memory flags, language, version,
    // characteristics; then the data, aligned to 4. The first entry of a file is empty.
    auto word16 = [&](std::size_t at) { return static_cast<std::uint16_t>(file[at] | file[at + 1] << 8); };
    auto word32 = [&](std::size_t at) { return static_cast<std::uint32_t>(word16(at) | word16(at + 2) << 16); };
    std::vector<Resource> resources;
    std::size_t at = 0;
    while (at + 8 <= file.size()) {
        const std::uint32_t data_size = word32(at);
        const std::uint32_t header_size = word32(at + 4);
        const std::size_t left = file.size() - at;
        if (header_size < 32 || header_size > left || data_size > left - header_size)
            throw ModuleLoadError("the module's resource section is damaged");
        std::size_t field = at + 8;
        bool numbered = true;
        std::uint32_t numbers[2] = {};
        const std::size_t header_end = at + header_size;
        for (std::uint32_t& number : numbers) {
            if (field + 4 > header_end) throw ModuleLoadError("the module's resource section is damaged");
            if (word16(field) == 0xFFFF) {
                number = word16(field + 2);
                field += 4;
            } else {
                numbered = false;
                while (field + 2 <= header_end && word16(field) != 0) field += 2;
                field += 2;
            }
        }
        field = (field + 3) & ~std::size_t{3};
        if (field + 16 > header_end) throw ModuleLoadError("the module's resource section is damaged");
        const std::uint16_t language = word16(field + 6);
        const std::size_t data = at + header_size;
        if (!numbered) has_named_resources = true;
        else if (numbers[0] != 0)
            resources.push_back({numbers[0], numbers[1], language,
                                 std::vector<std::uint8_t>(file.begin() + data, file.begin() + data + data_size)});
        at = (data + data_size + 3) & ~std::size_t{3};
    }
    SortResources(resources);
    return resources;
}

}  // namespace

ModuleResources::ModuleResources(const ModuleLibrary& module) {
    std::vector<std::uint8_t> section;
    const ElfFile file(module.path());
    if (!file.opened()) throw ModuleLoadError(module.path() + ": cannot be read for its resources");
    Elf* elf = file.elf();
    std::size_t names = 0;
    if (elf != nullptr && elf_getshdrstrndx(elf, &names) == 0) {
        for (Elf_Scn* scn = elf_nextscn(elf, nullptr); scn != nullptr; scn = elf_nextscn(elf, scn)) {
            GElf_Shdr header;
            if (gelf_getshdr(scn, &header) == nullptr) continue;
            const char* name = elf_strptr(elf, names, header.sh_name);
            if (name == nullptr || std::strcmp(name, kResourceSectionName) != 0) continue;
            if (Elf_Data* data = elf_rawdata(scn, nullptr); data != nullptr && data->d_buf != nullptr) {
                const auto* bytes = static_cast<const std::uint8_t*>(data->d_buf);
                section.assign(bytes, bytes + data->d_size);
            }
        }
    }
    resources_ = ParseCompiledResources(section, has_named_resources_);
}

#endif

}  // namespace gauge_host
