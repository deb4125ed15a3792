#include "tools/preview/preview_session.h"

#include "tools/preview/gauge_drawing.h"

namespace gauge_preview {

PreviewSession::PreviewSession(const std::string& module_path)
    : module_(module_path), host_(module_), pictures_(host_.resources()) {
    host_.Install();
}

PreviewSession::~PreviewSession() { host_.Kill(); }

bool PreviewSession::PointAt(std::int32_t x, std::int32_t y) {
    const std::size_t first_new_call = host_.calls().size();
    const bool taken = host_.PointAt(x, y).has_value();
    for (std::size_t i = first_new_call; i < host_.calls().size(); ++i) {
        const gauge_host::ServiceCall& call = host_.calls()[i];
        if (call.slot != gauge_host::kSendEvent) continue;
        const auto value = static_cast<std::int32_t>(call.args[1]);
        for (const EventLink& link : links_)
            if (link.event_id == call.args[0]) host_.SetVariable(link.var_id, value);
    }
    return taken;
}

Canvas PreviewSession::Draw() { return DrawGauge(host_, pictures_); }

}  // namespace gauge_preview
