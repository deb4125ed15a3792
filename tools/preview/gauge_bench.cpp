#include "tools/preview/gauge_bench.h"

#include <algorithm>
#include <cstdio>

#include "host/element_tree.h"
#include "host/mouse_dispatch.h"

namespace gauge_preview {

namespace {

// The settings a lever takes, 0 (fully down) to 16383 (fully up); any other variable gets a
// signed 16-bit span, which holds the ammeter's input for -50 to 50 A (655 units an ampere).
constexpr double kLeverLow = 0, kLeverHigh = 16383;
constexpr double kOtherLow = -32768, kOtherHigh = 32767;

std::string ElementName(std::size_t index, std::uint32_t type, std::uint32_t resource_id) {
    return std::string(gauge_host::ElementKindName(type)) + " " + std::to_string(index) + " (bitmap " +
           std::to_string(resource_id) + ")";
}

std::string Hex(std::uint32_t word) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%lX", static_cast<unsigned long>(word));
    return text;
}

// The variables an element is bound to, by the role of each binding.
std::vector<std::pair<std::string, std::uint32_t>> Inputs(const gauge_host::ElementRecord& element) {
    std::vector<std::pair<std::string, std::uint32_t>> inputs;
    const auto add = [&](const char* role, const VarBinding& binding) {
        if (binding.var_id != 0) inputs.emplace_back(role, binding.var_id);
    };
    switch (element.type()) {
        case kNeedle: add("input", element.record.needle.input_var); break;
        case kSlider:
            add("x", element.record.slider.input_var_x);
            add("y", element.record.slider.input_var_y);
            break;
        case kIcon: add("input", element.record.icon.input_var); break;
    }
    return inputs;
}

}  // namespace

GaugeBench::GaugeBench(const BenchOptions& options) : links_(options.links) {
    {
        ModuleCallGuard::Call install(guard_);
        session_ = std::make_unique<PreviewSession>(options.module_path, options.gauge_name);
    }
    width_ = session_->host().image_record().width;
    height_ = session_->host().image_record().height;
    for (const EventLink& link : links_) session_->Link(link);

    const gauge_host::ElementWalk walk = session_->host().WalkElements();
    for (std::size_t i = 0; i < walk.elements.size(); ++i) {
        const gauge_host::ElementRecord& element = walk.elements[i];
        for (const auto& [role, id] : Inputs(element)) {
            const std::string name = ElementName(i, element.type(), element.record.base.resource_id);
            AddRole(id, (role == std::string("input") ? "input of " : role + " of ") + name);
            if (element.type() == kSlider) lever_variables_[id] = true;
        }
    }
    for (const EventLink& link : links_) AddRole(link.var_id, "set by event " + Hex(link.event_id));
    for (const auto& [id, value] : options.settings) {
        AddRole(id, "set on the command line");
        session_->SetVariable(id, value);
    }
    TakeServiceCalls();
    Draw();
}

GaugeBench::~GaugeBench() {
    ModuleCallGuard::Call kill(guard_);
    session_.reset();
}

void GaugeBench::AddRole(std::uint32_t id, const std::string& role) {
    std::vector<std::string>& roles = variables_[id];
    if (std::find(roles.begin(), roles.end(), role) == roles.end()) roles.push_back(role);
}

void GaugeBench::TakeServiceCalls() {
    gauge_host::RecordingHost& host = session_->host();
    for (const gauge_host::ServiceCall& call : host.calls()) {
        if (call.slot != gauge_host::kBindVar && call.slot != gauge_host::kRefreshVar) continue;
        VarBinding binding{};
        if (!host.module().image().ReadRecord(call.args[0], binding) || binding.var_id == 0) continue;
        if (variables_.count(binding.var_id) == 0 && variables_.size() >= kMostBenchVariables) continue;
        AddRole(binding.var_id, "bound by the module");
    }
    host.ClearCalls();
}

PointOutcome GaugeBench::Point(std::int32_t x, std::int32_t y, bool drag) {
    PointOutcome outcome{x, y, drag, std::nullopt, false};
    gauge_host::RecordingHost& host = session_->host();
    const gauge_host::MouseListWalk walk = host.WalkRegisteredMouseList();
    const std::optional<gauge_host::MouseHit> hit = gauge_host::HitMouseArea(walk, x, y);
    if (hit) {
        for (std::size_t i = 0; i < walk.records.size(); ++i)
            if (walk.records[i].address == hit->record.address) outcome.record = i;
        outcome.delivered = !drag || (hit->record.area.mouse_mask & kMouseMaskLever) != 0;
    }
    last_point_ = outcome;
    if (!outcome.delivered) return outcome;

    TakeServiceCalls();
    {
        ModuleCallGuard::Call pointing(guard_);
        session_->PointAt(x, y);
    }
    for (const gauge_host::ServiceCall& call : host.calls()) {
        if (call.slot != gauge_host::kSendEvent) continue;
        SentEvent event{++events_sent_, call.args[0], static_cast<std::int32_t>(call.args[1]), {}};
        for (const EventLink& link : links_)
            if (link.event_id == event.event_id) event.set_variables.push_back(link.var_id);
        events_.push_back(std::move(event));
        if (events_.size() > kEventsKept) events_.pop_front();
    }
    TakeServiceCalls();
    return outcome;
}

void GaugeBench::SetVariable(std::uint32_t id, double value) {
    if (variables_.count(id) == 0) {
        if (variables_.size() >= kMostBenchVariables)
            throw BenchRefusal("the bench holds " + std::to_string(kMostBenchVariables) + " variables already, and " +
                               std::to_string(id) + " is not one of them");
        AddRole(id, "set at the bench");
    }
    session_->SetVariable(id, value);
}

Canvas GaugeBench::Draw() {
    TakeServiceCalls();
    std::vector<ElementReading> readings;
    Canvas frame = [&] {
        ModuleCallGuard::Call drawing(guard_);
        return session_->Draw(&readings);
    }();
    readings_ = std::move(readings);
    ++frames_drawn_;
    TakeServiceCalls();
    return frame;
}

std::vector<MouseColumn> GaugeBench::MouseColumns() const {
    std::vector<MouseColumn> columns;
    const gauge_host::MouseListWalk walk = session_->host().WalkRegisteredMouseList();
    if (!walk.problems.empty()) return columns;
    for (std::size_t i = 0; i < walk.records.size(); ++i) {
        const gauge_host::MouseRecord& record = walk.records[i];
        if (record.area.kind != kChild) continue;
        columns.push_back({i, record.placed, record.area.mouse_mask, (record.area.mouse_mask & kMouseMaskLever) != 0});
    }
    return columns;
}

BenchState GaugeBench::State() const {
    BenchState state;
    state.gauge_name = session_->gauge_name();
    state.module_path = session_->module_path();
    state.width = width_;
    state.height = height_;
    for (const auto& [id, roles] : variables_) {
        const bool lever = lever_variables_.count(id) != 0;
        const double value = session_->Variable(id);
        state.variables.push_back({id, value, roles, std::min(lever ? kLeverLow : kOtherLow, value),
                                   std::max(lever ? kLeverHigh : kOtherHigh, value)});
    }
    state.events.assign(events_.begin(), events_.end());
    state.events_sent = events_sent_;
    const gauge_host::ElementWalk walk = session_->host().WalkElements();
    const bool readings_fit = readings_.size() == walk.elements.size();
    for (std::size_t i = 0; i < walk.elements.size(); ++i) {
        const gauge_host::ElementRecord& element = walk.elements[i];
        const ElementBase& base = element.record.base;
        BenchElement shown{element.depth, base.element_type, base.resource_id, base.position, base.offset,
                           Inputs(element), std::nullopt};
        if (readings_fit) shown.reading = readings_[i];
        state.elements.push_back(std::move(shown));
    }
    state.mouse_columns = MouseColumns();
    state.links = links_;
    state.last_point = last_point_;
    state.frames_drawn = frames_drawn_;
    state.module_calls = guard_.counts();
    return state;
}

}  // namespace gauge_preview
