// A gauge on the bench: one module loaded and installed as `render` does, kept live so that it can
// be pointed at, have its variables set and be drawn again and again, as the simulator would. It
// keeps what a person at the bench wants to watch: the events the module sent (the latest of
// them), the host variables the gauge reads, and what placed each element in the last frame.
//
// Not thread-safe: it lives on one thread (module_thread.h), and every call into the module passes
// through its ModuleCallGuard, which counts them.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "tools/preview/canvas.h"
#include "tools/preview/gauge_drawing.h"
#include "tools/preview/module_call_guard.h"
#include "tools/preview/preview_session.h"

namespace gauge_preview {

struct BenchOptions {
    std::string module_path;
    std::string gauge_name;                                  // empty for the first gauge
    std::vector<std::pair<std::uint32_t, double>> settings;  // host variables set before the first frame
    std::vector<EventLink> links;
};

// The most host variables the bench keeps (those the gauge reads, and those set on it): far above
// what a gauge reads, and a bound on what a client can make it hold.
inline constexpr std::size_t kMostBenchVariables = 256;
// The events kept for the log, newest last.
inline constexpr std::size_t kEventsKept = 64;

// A request the bench cannot carry out, in one line; nothing has changed.
struct BenchRefusal : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct SentEvent {
    std::uint64_t number;                  // 1 for the first event the module sent
    std::uint32_t event_id;
    std::int32_t value;
    std::vector<std::uint32_t> set_variables;  // the variables its links set to `value`
};

struct BenchVariable {
    std::uint32_t id;
    double value;
    std::vector<std::string> roles;  // why the bench shows it: "y of slider 2 (bitmap 300)", "set on the command line"
    double low, high;                // a range for a control: a lever's settings, else a signed 16-bit span
};

// A child of the registered mouse list: a rectangle with a handler.
struct MouseColumn {
    std::size_t record;  // its index in the list
    PixelRect box;       // in background pixels
    std::uint32_t mask;
    bool takes_drags;    // whether a move with the button held reaches it, or only the press
};

struct BenchElement {
    int depth;
    std::uint32_t type;
    std::uint32_t resource_id;
    PixelPos position;
    PixelPos offset;
    std::vector<std::pair<std::string, std::uint32_t>> inputs;  // ("y", 128): the variables it is bound to
    std::optional<ElementReading> reading;                       // from the last frame drawn
};

struct PointOutcome {
    std::int32_t x, y;
    bool drag;
    std::optional<std::size_t> record;  // the mouse record under the point
    bool delivered;                     // whether its handler was called
};

struct BenchState {
    std::string gauge_name;
    std::string module_path;
    std::int32_t width, height;
    std::vector<BenchVariable> variables;  // by id
    std::vector<SentEvent> events;         // the latest, oldest first
    std::uint64_t events_sent;
    std::vector<BenchElement> elements;    // in drawing order
    std::vector<MouseColumn> mouse_columns;
    std::vector<EventLink> links;
    std::optional<PointOutcome> last_point;
    std::uint64_t frames_drawn;
    ModuleCallCounts module_calls;
};

class GaugeBench {
public:
    // Throws what PreviewSession throws.
    explicit GaugeBench(const BenchOptions& options);
    ~GaugeBench();
    GaugeBench(const GaugeBench&) = delete;
    GaugeBench& operator=(const GaugeBench&) = delete;

    // The background's size: every point lies inside it.
    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }

    // Points at background pixel (x, y) through the registered mouse list, as the host does when
    // the button goes down (`drag` false) or moves while held (`drag` true). A move reaches only a
    // rectangle that takes them (a lever's); a switch takes exactly one call per click. The
    // module's events go to the log and, through the links, to their variables.
    PointOutcome Point(std::int32_t x, std::int32_t y, bool drag);

    // Sets a host variable; throws BenchRefusal where it would be one more than the bench keeps.
    void SetVariable(std::uint32_t id, double value);

    // Draws a frame and keeps its readings.
    Canvas Draw();

    BenchState State() const;
    ModuleCallCounts module_calls() const { return guard_.counts(); }

private:
    void AddRole(std::uint32_t id, const std::string& role);
    // Takes the service calls the module made since the last time: the variables it binds or
    // refreshes join the bench's, and the log is emptied, so it never grows.
    void TakeServiceCalls();
    std::vector<MouseColumn> MouseColumns() const;

    ModuleCallGuard guard_;
    std::unique_ptr<PreviewSession> session_;
    std::vector<EventLink> links_;
    std::int32_t width_ = 0, height_ = 0;
    std::map<std::uint32_t, std::vector<std::string>> variables_;  // id -> roles
    std::map<std::uint32_t, bool> lever_variables_;  // ids that a slider reads
    std::deque<SentEvent> events_;
    std::uint64_t events_sent_ = 0;
    std::vector<ElementReading> readings_;
    std::optional<PointOutcome> last_point_;
    std::uint64_t frames_drawn_ = 0;
};

}  // namespace gauge_preview
