// One gauge module loaded and installed in the project's own host, ready to be pointed at and
// drawn. Nothing of the module runs before its file has passed the checks a host makes before
// loading (module_checks.h); its records are checked again once it is loaded, before the gauge is
// installed. The host's variables change only when the preview sets them, or when the module sends
// an event that the preview links to a variable, as the simulator would act on it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/module_library.h"
#include "host/module_records.h"
#include "host/recording_host.h"
#include "tools/preview/canvas.h"
#include "tools/preview/gauge_drawing.h"
#include "tools/preview/gauge_pictures.h"

namespace gauge_preview {

// The checks that keep the host from installing the gauge, one line per failure ("check: why").
struct ModuleCheckFailure : std::runtime_error {
    explicit ModuleCheckFailure(std::vector<std::string> failures)
        : std::runtime_error(failures.front()), lines(std::move(failures)) {}
    std::vector<std::string> lines;
};

// An event of the module that the host turns into a new value of one of its variables.
struct EventLink {
    std::uint32_t event_id;
    std::uint32_t var_id;
};

class PreviewSession {
public:
    // Checks, loads and installs the gauge named `gauge_name`, or the first gauge where it is
    // empty. Throws gauge_host::ModuleLoadError where the file is not a gauge module the loader
    // can take, ModuleCheckFailure where a check fails (or the host could not take what the
    // install routine gave it), and std::runtime_error where no gauge has that name. Only one
    // session may exist at a time (the host is one per process).
    explicit PreviewSession(const std::string& module_path, const std::string& gauge_name = "");
    ~PreviewSession();
    PreviewSession(const PreviewSession&) = delete;
    PreviewSession& operator=(const PreviewSession&) = delete;

    GaugeHeader& gauge() const { return gauge_; }
    const std::string& gauge_name() const { return gauge_name_; }
    const std::string& module_path() const { return module_.path(); }
    gauge_host::RecordingHost& host() { return host_; }
    const gauge_host::RecordingHost& host() const { return host_; }
    const GaugePictures& pictures() const { return pictures_; }

    void SetVariable(std::uint32_t var_id, double value) { host_.SetVariable(var_id, value); }
    double Variable(std::uint32_t var_id) const { return host_.Variable(var_id); }
    void Link(EventLink link) { links_.push_back(link); }

    // Points at background pixel (x, y), then applies every event the module sent meanwhile to
    // the variables linked to it, in the order sent. Returns whether a mouse rectangle took it.
    bool PointAt(std::int32_t x, std::int32_t y);

    // Where `readings` is given, it receives what placed each element (see gauge_drawing.h).
    Canvas Draw(std::vector<ElementReading>* readings = nullptr);

private:
    GaugeHeader& LoadedGauge(const std::string& wanted);

    gauge_host::ModuleLibrary module_;
    std::string gauge_name_;
    GaugeHeader& gauge_;
    gauge_host::RecordingHost host_;
    GaugePictures pictures_;
    std::vector<EventLink> links_;
};

// The module's file read and checked before loading, for a gauge of that name (the first where
// empty): throws as PreviewSession does.
gauge_host::ModuleFile CheckedModuleFile(const std::string& module_path, const std::string& gauge_name);

// The gauge of that name among the records, the first where the name is empty; throws
// std::runtime_error naming the gauges there are where none has that name.
const gauge_host::GaugeRecords& ChooseGauge(const gauge_host::ModuleRecords& records, const std::string& gauge_name);

}  // namespace gauge_preview
