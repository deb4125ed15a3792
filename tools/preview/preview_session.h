// One gauge module loaded and installed in the project's own host, ready to be pointed at and
// drawn. The host's variables change only when the preview sets them, or when the module sends an
// event that the preview links to a variable, as the simulator would act on it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/module_library.h"
#include "host/recording_host.h"
#include "tools/preview/canvas.h"
#include "tools/preview/gauge_pictures.h"

namespace gauge_preview {

// An event of the module that the host turns into a new value of one of its variables.
struct EventLink {
    std::uint32_t event_id;
    std::uint32_t var_id;
};

class PreviewSession {
public:
    // Loads the module and installs its gauge; throws gauge_host::ModuleLoadError where the file
    // is not a gauge module. Only one session may exist at a time (the host is one per process).
    explicit PreviewSession(const std::string& module_path);
    ~PreviewSession();
    PreviewSession(const PreviewSession&) = delete;
    PreviewSession& operator=(const PreviewSession&) = delete;

    GaugeHeader& gauge() const { return module_.gauge(); }
    gauge_host::RecordingHost& host() { return host_; }
    const GaugePictures& pictures() const { return pictures_; }

    void SetVariable(std::uint32_t var_id, double value) { host_.SetVariable(var_id, value); }
    double Variable(std::uint32_t var_id) const { return host_.Variable(var_id); }
    void Link(EventLink link) { links_.push_back(link); }

    // Points at background pixel (x, y), then applies every event the module sent meanwhile to
    // the variables linked to it, in the order sent. Returns whether a mouse rectangle took it.
    bool PointAt(std::int32_t x, std::int32_t y);

    Canvas Draw();

private:
    gauge_host::ModuleLibrary module_;
    gauge_host::RecordingHost host_;
    GaugePictures pictures_;
    std::vector<EventLink> links_;
};

}  // namespace gauge_preview
