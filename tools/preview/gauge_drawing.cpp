#include "tools/preview/gauge_drawing.h"

#include <cmath>
#include <stdexcept>
#include <string>

#include "tools/preview/element_tree.h"
#include "tools/preview/needle_angle.h"
#include "tools/preview/picture_drawing.h"

namespace gauge_preview {

std::int32_t SliderShift(double value, double scale) { return static_cast<std::int32_t>(std::lround(value * scale)); }

std::uint32_t IconPictureIndex(double callback_result, std::uint32_t picture_count) {
    if (!(callback_result > 0) || picture_count == 0) return 0;
    const double last = picture_count - 1.0;
    return static_cast<std::uint32_t>(std::lround(callback_result < last ? callback_result : last));
}

namespace {

class GaugePainter {
public:
    GaugePainter(gauge_host::RecordingHost& host, const GaugePictures& pictures, Canvas& canvas)
        : host_(host), pictures_(pictures), canvas_(canvas) {}

    void Draw(ElementBase& element) {
        switch (element.element_type) {
            case kStaticImage: return DrawAtPosition(element, Picture(element, element.resource_id), {0, 0});
            case kSlider: return DrawSlider(reinterpret_cast<SliderElement&>(element));
            case kIcon: return DrawIcon(reinterpret_cast<IconElement&>(element));
            case kNeedle: return DrawNeedle(reinterpret_cast<NeedleElement&>(element));
        }
    }

private:
    const gauge_host::Bitmap& Picture(const ElementBase& element, std::uint32_t resource_id) const {
        return Require(element, pictures_.Find(resource_id), "bitmap " + std::to_string(resource_id));
    }

    static const gauge_host::Bitmap& Require(const ElementBase& element, const gauge_host::Bitmap* picture,
                                             const std::string& what) {
        if (picture == nullptr)
            throw std::runtime_error(std::string(ElementKindName(element.element_type)) + " element of bitmap " +
                                     std::to_string(element.resource_id) + ": the module has no " + what);
        return *picture;
    }

    // An unbound variable (var_id 0) reads 0, whatever the host keeps in its binding.
    double VariableOf(const VarBinding& binding) const {
        return binding.var_id == 0 ? 0.0 : host_.Variable(binding.var_id);
    }

    // The bitmap's point `offset` lands on `position`, moved by `shift`.
    void DrawAtPosition(const ElementBase& element, const gauge_host::Bitmap& picture, PixelPos shift) {
        DrawPicture(canvas_, picture, element.position.x - element.offset.x + shift.x,
                    element.position.y - element.offset.y + shift.y);
    }

    // No slider of these gauges has a callback: the host places it by its variables directly.
    void DrawSlider(SliderElement& slider) {
        const PixelPos shift{SliderShift(VariableOf(slider.input_var_x), slider.scale_x),
                             SliderShift(VariableOf(slider.input_var_y), slider.scale_y)};
        DrawAtPosition(slider.header, Picture(slider.header, slider.header.resource_id), shift);
    }

    void DrawIcon(IconElement& icon) {
        const double result = icon.callback != nullptr ? host_.CallElementCallback(icon) : 0.0;
        const std::uint32_t index = IconPictureIndex(result, icon.picture_count);
        const gauge_host::Bitmap* picture = pictures_.IconPicture(icon.header.resource_id, index);
        DrawAtPosition(icon.header, Require(icon.header, picture, "picture " + std::to_string(index)), {0, 0});
    }

    void DrawNeedle(NeedleElement& needle) {
        const double value = needle.callback != nullptr ? host_.CallElementCallback(needle) : VariableOf(needle.input_var);
        DrawTurnedPicture(canvas_, Picture(needle.header, needle.header.resource_id), needle.header.offset,
                          needle.header.position, NeedleTurn(needle, value));
    }

    gauge_host::RecordingHost& host_;
    const GaugePictures& pictures_;
    Canvas& canvas_;
};

}  // namespace

Canvas DrawGauge(gauge_host::RecordingHost& host, const GaugePictures& pictures) {
    ElementBase* root = *host.gauge().root_ref;
    const ElementWalk walk = WalkElementTree(root, host.module().image());
    if (!walk.problems.empty()) throw std::runtime_error("the element tree cannot be drawn: " + walk.problems.front());
    const gauge_host::Bitmap* background = pictures.Find(root->resource_id);
    if (background == nullptr)
        throw std::runtime_error("the background names bitmap " + std::to_string(root->resource_id) +
                                 ", which the module lacks");
    Canvas canvas(background->width, background->height);
    GaugePainter painter(host, pictures, canvas);
    for (const WalkedElement& entry : walk.elements) painter.Draw(*entry.element);
    return canvas;
}

}  // namespace gauge_preview
