// A gauge module's file, read and checked before the system loader sees it: its structure as the
// loader will map it, the image that mapping gives (link-time addresses, the bytes from the
// file), what it exports and the resources it carries. Every module file is untrusted input, so
// each structure the loader would follow is checked against the file first: a file the loader
// would refuse, or crash or end the process on, is refused here with the check it fails.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/module_image.h"

namespace gauge_host {

// The file is no gauge module that can be loaded: unreadable, not a library, or without the two
// exports. The message names the file and what is wrong.
struct ModuleLoadError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The system loader refuses the file, or would: "PATH: the loader rejects it: WHY".
struct LoaderRejection : ModuleLoadError {
    LoaderRejection(const std::string& path, const std::string& why)
        : ModuleLoadError(path + ": the loader rejects it: " + why) {}
};

// The file is a library, but the host will not load it: it would make the loader load other files
// or run code of the module's before the host has checked it. "PATH: not loaded: WHY".
struct LoadRefused : ModuleLoadError {
    LoadRefused(const std::string& path, const std::string& why) : ModuleLoadError(path + ": not loaded: " + why) {}
};

struct ExportedSymbol {
    std::string name;
    bool is_data = false;        // an object, not a routine
    std::uint32_t size = 0;      // bytes, as the symbol table records it (0 where it records none)
    std::uintptr_t address = 0;  // link-time address
};

class ModuleFile {
public:
    // Reads the file and checks it. Throws ModuleLoadError where it cannot be read, LoaderRejection
    // where the loader would refuse it or fail on it, and LoadRefused where the host will not let
    // the loader take it.
    static ModuleFile Read(const std::string& path);

    ModuleFile(ModuleFile&&) = default;
    ModuleFile& operator=(ModuleFile&&) = default;

    const std::string& path() const { return path_; }
    // The image the loader will map, at link-time addresses, with the contents the file gives it
    // once the loader has relocated it to those addresses; addresses the loader fills from
    // another library read 0. Segments the loader turns read-only after relocation are read-only.
    const ModuleImage& image() const { return image_; }
    const std::vector<ExportedSymbol>& exports() const { return exports_; }
    const ExportedSymbol* FindExport(const std::string& name) const;

    // The libraries the module makes the loader load (its needed libraries, or its imports).
    const std::vector<std::string>& needed_libraries() const { return needed_libraries_; }
    // Whether the loader may place the module elsewhere than its link-time addresses, and whether
    // the file then tells it how: a shared object always, a DLL with DYNAMIC_BASE and relocations.
    bool movable() const { return movable_; }
    bool relocatable() const { return relocatable_; }

    // The module's compiled resources as the file holds them: on Linux the resource compiler's
    // .res output in the section .gauge_resources, on Windows the .rsrc section with its tree.
    struct ResourceSection {
        std::vector<std::uint8_t> bytes;
        std::uint32_t section_offset = 0;  // Windows: where the section starts, as an offset into the image
        std::uint32_t root = 0;            // Windows: where the root directory lies in `bytes`
    };
    const ResourceSection& resources() const { return resources_; }
    // Why the resources cannot be read, or empty.
    const std::string& resource_problem() const { return resource_problem_; }

private:
    ModuleFile() = default;
    friend class ModuleFileReader;

    std::string path_;
    // Owned contents of the image's segments; the image points into them.
    std::vector<std::unique_ptr<std::vector<std::uint8_t>>> segment_contents_;
    ModuleImage image_;
    std::vector<ExportedSymbol> exports_;
    std::vector<std::string> needed_libraries_;
    bool movable_ = true;
    bool relocatable_ = true;
    ResourceSection resources_;
    std::string resource_problem_;
};

// Throws ModuleLoadError ("PATH: not a gauge module: it does not export Linkage") unless the file
// exports both records.
void RequireGaugeExports(const ModuleFile& file);

// The path to hand the system loader for a file the user named: a name without a folder is taken
// as a file in the current folder ("./name"), never looked up in the loader's search path.
std::string PathForLoader(const std::string& path);

}  // namespace gauge_host
