// Loading a gauge module the way the host simulator does: by path, with the operating system's
// own loader, then finding its two exported records by name.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "gauge_frame/gauge_frame.h"

namespace gauge_host {

// The address range the loader mapped the module into.
struct ModuleImage {
    std::uintptr_t begin = 0;
    std::uintptr_t end = 0;
    bool Contains(const void* address) const {
        auto value = reinterpret_cast<std::uintptr_t>(address);
        return value >= begin && value < end;
    }
    // Whether `size` bytes from `address` lie wholly inside the image (no sum to overflow).
    bool Holds(const void* address, std::size_t size) const {
        auto value = reinterpret_cast<std::uintptr_t>(address);
        return value >= begin && value <= end && size <= end - value;
    }
    // Whether `count` entries of `entry_size` bytes from `first` do; no entries read nothing.
    bool HoldsArray(const void* first, std::uint32_t count, std::size_t entry_size) const {
        return count == 0 || (Holds(first, 0) && count <= (end - reinterpret_cast<std::uintptr_t>(first)) / entry_size);
    }
};

struct ModuleLoadError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

enum class Placement {
    Preferred,        // wherever the loader puts it
    AwayFromPreferred // Windows: the preferred base is reserved first, so the loader must relocate
};

class ModuleLibrary {
public:
    // Throws ModuleLoadError, with a message saying what is wrong, when the file is not a library
    // or lacks either export.
    explicit ModuleLibrary(const std::string& path, Placement placement = Placement::Preferred);
    ~ModuleLibrary();
    ModuleLibrary(const ModuleLibrary&) = delete;
    ModuleLibrary& operator=(const ModuleLibrary&) = delete;

    ModuleLinkage& linkage() const { return *linkage_; }
    ImportEntry* import_table() const { return import_table_; }
    GaugeHeader& gauge() const { return *linkage_->gauges[0]; }
    ModuleImage image() const { return image_; }
    const std::string& path() const { return path_; }
    // The preferred base the Windows loader had to avoid; 0 where nothing was reserved.
    std::uintptr_t avoided_base() const { return avoided_base_; }
    void* native_handle() const { return handle_; }

private:
    void* FindSymbol(const char* name) const;
    // Finds both exports; a library without them is unloaded again before the error is thrown.
    void FindRecords();
    void Release();

    std::string path_;
    void* handle_ = nullptr;
    void* reservation_ = nullptr;
    std::uintptr_t avoided_base_ = 0;
    ModuleLinkage* linkage_ = nullptr;
    ImportEntry* import_table_ = nullptr;
    ModuleImage image_;
};

// The path of a file that lies beside the running program (the build puts the modules there).
std::string PathBesideProgram(const std::string& file_name);

// The file name of a built module on this platform: "quadrant_gauge" -> "quadrant_gauge.dll".
std::string ModuleFileName(const std::string& module_name);

}  // namespace gauge_host
