// Loading a gauge module the way the host simulator does: by path, with the operating system's
// own loader, then finding its two exported records by name. The file is read and checked first
// (see module_file.h), so the loader only ever sees a file whose structure it can take.
#pragma once

#include <cstdint>
#include <string>

#include "gauge_frame/gauge_frame.h"
#include "host/module_file.h"
#include "host/module_image.h"

namespace gauge_host {

enum class Placement {
    Preferred,        // wherever the loader puts it
    AwayFromPreferred // Windows: the preferred base is reserved first, so the loader must relocate
};

class ModuleLibrary {
public:
    // Reads and checks the file, then loads it. Throws ModuleLoadError, with a message naming the
    // file and what is wrong, when it cannot be read, is not a library the loader can take, or
    // lacks either export.
    explicit ModuleLibrary(const std::string& path, Placement placement = Placement::Preferred);
    // Loads a file already read and checked.
    explicit ModuleLibrary(ModuleFile file, Placement placement = Placement::Preferred);
    ~ModuleLibrary();
    ModuleLibrary(const ModuleLibrary&) = delete;
    ModuleLibrary& operator=(const ModuleLibrary&) = delete;

    ModuleLinkage& linkage() const { return *linkage_; }
    ImportEntry* import_table() const { return import_table_; }
    // The first gauge Linkage lists.
    GaugeHeader& gauge() const { return *linkage_->gauges[0]; }
    // The module as the loader mapped it, segment by segment.
    const ModuleImage& image() const { return image_; }
    // The file it was loaded from, as read before loading.
    const ModuleFile& file() const { return file_; }
    const std::string& path() const { return file_.path(); }
    // How far above its link-time addresses the loader placed the module.
    std::uintptr_t load_shift() const { return load_shift_; }
    // The preferred base the Windows loader had to avoid; 0 where nothing was reserved.
    std::uintptr_t avoided_base() const { return avoided_base_; }
    void* native_handle() const { return handle_; }

private:
    void Load(Placement placement);
    void* FindSymbol(const char* name) const;
    // Finds both exports where the file's symbol table places them; a library without them is
    // unloaded again before the error is thrown.
    void FindRecords();
    void Release();

    ModuleFile file_;
    void* handle_ = nullptr;
    void* reservation_ = nullptr;
    std::uintptr_t avoided_base_ = 0;
    std::uintptr_t load_shift_ = 0;
    ModuleLinkage* linkage_ = nullptr;
    ImportEntry* import_table_ = nullptr;
    ModuleImage image_;
};

// The path of a file that lies beside the running program (the build puts the modules there).
std::string PathBesideProgram(const std::string& file_name);

// The file name of a built module on this platform: "quadrant_gauge" -> "quadrant_gauge.dll".
std::string ModuleFileName(const std::string& module_name);

}  // namespace gauge_host
