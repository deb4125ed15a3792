#include "tools/preview/contact_sheet.h"

#include <algorithm>
#include <set>
#include <stdexcept>
#include <string_view>

#include "tools/preview/caption_text.h"

namespace gauge_preview {

namespace {

constexpr Color kSheetColor{24, 26, 30};
constexpr Color kCaptionColor{222, 222, 222};
constexpr std::int32_t kMargin = 12, kCaptionScale = 2, kCaptionGap = 6;

constexpr std::string_view kAmmeterName = "Varn Ammeter";
constexpr std::uint32_t kAmmeterInputVar = 352, kAmmeterGateVar = 171;
constexpr double kAmmeterUnitsPerAmpere = 655, kAmmeterGateOpen = 2500;
// The middle of the switch's mouse rectangle, background pixels 103 to 120 across, 244 to 299 down.
constexpr PixelPos kAmmeterSwitch{111, 271};

std::vector<SheetFrame> AmmeterSweep(PreviewSession& session) {
    std::vector<SheetFrame> frames;
    session.SetVariable(kAmmeterGateVar, kAmmeterGateOpen);
    for (const char* position : {"ON", "OFF"}) {
        for (int amperes : {-50, -25, 0, 25, 50}) {
            session.SetVariable(kAmmeterInputVar, amperes * kAmmeterUnitsPerAmpere);
            const std::string value = (amperes > 0 ? "+" : "") + std::to_string(amperes);
            frames.push_back({"IN " + value + " A  " + position, session.Draw()});
        }
        session.PointAt(kAmmeterSwitch.x, kAmmeterSwitch.y);
    }
    return frames;
}

std::set<std::uint32_t> SliderVariables(PreviewSession& session) {
    std::set<std::uint32_t> variables;
    for (const gauge_host::ElementRecord& element : session.host().WalkElements().elements) {
        if (element.type() != kSlider) continue;
        const SliderElement& slider = element.record.slider;
        for (std::uint32_t var_id : {slider.input_var_x.var_id, slider.input_var_y.var_id})
            if (var_id != 0) variables.insert(var_id);
    }
    return variables;
}

std::vector<SheetFrame> SliderSweep(PreviewSession& session, const std::set<std::uint32_t>& variables) {
    std::vector<SheetFrame> frames;
    for (int setting : {0, 8191, 16383}) {
        for (std::uint32_t var_id : variables) session.SetVariable(var_id, setting);
        frames.push_back({"LEVERS " + std::to_string(setting), session.Draw()});
    }
    return frames;
}

}  // namespace

Canvas LayOutSheet(const std::string& title, const std::vector<SheetFrame>& frames, std::size_t columns) {
    std::int32_t cell_width = 0, picture_height = 0;
    for (const SheetFrame& frame : frames) {
        cell_width = std::max({cell_width, frame.picture.width(), CaptionWidth(frame.caption, kCaptionScale)});
        picture_height = std::max(picture_height, frame.picture.height());
    }
    const std::int32_t line = CaptionHeight(kCaptionScale);
    const std::int32_t cell_height = picture_height + kCaptionGap + line;
    const auto column_count = static_cast<std::int32_t>(std::min(columns, frames.size()));
    const auto row_count = static_cast<std::int32_t>((frames.size() + columns - 1) / columns);
    const std::int32_t top = kMargin + line + kMargin;
    Canvas sheet(std::max(kMargin + column_count * (cell_width + kMargin), 2 * kMargin + CaptionWidth(title, kCaptionScale)),
                 top + row_count * (cell_height + kMargin), kSheetColor);
    DrawCaption(sheet, kMargin, kMargin, title, kCaptionColor, kCaptionScale);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const std::int32_t x = kMargin + static_cast<std::int32_t>(i % columns) * (cell_width + kMargin);
        const std::int32_t y = top + static_cast<std::int32_t>(i / columns) * (cell_height + kMargin);
        const SheetFrame& frame = frames[i];
        sheet.Paste(frame.picture, x + (cell_width - frame.picture.width()) / 2, y);
        DrawCaption(sheet, x + (cell_width - CaptionWidth(frame.caption, kCaptionScale)) / 2,
                    y + picture_height + kCaptionGap, frame.caption, kCaptionColor, kCaptionScale);
    }
    return sheet;
}

Canvas DrawContactSheet(PreviewSession& session) {
    const std::string& name = session.gauge_name();
    if (name == kAmmeterName) return LayOutSheet(name, AmmeterSweep(session), 5);
    const std::set<std::uint32_t> sliders = SliderVariables(session);
    if (!sliders.empty()) return LayOutSheet(name, SliderSweep(session, sliders), 3);
    return LayOutSheet(name, {{"AS INSTALLED", session.Draw()}}, 1);
}

}  // namespace gauge_preview
