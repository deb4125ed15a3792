#include "tools/preview/gauge_drawing.h"

#include <cmath>
#include <stdexcept>
#include <string>

#include "tools/preview/needle_angle.h"
#include "tools/preview/picture_drawing.h"

namespace gauge_preview {

std::int32_t SliderShift(double value, double scale) {
    constexpr double kFarOff = 1e9;
    const double shift = value * scale;
    if (std::isnan(shift)) return 0;
    return static_cast<std::int32_t>(std::lround(std::fmin(std::fmax(shift, -kFarOff), kFarOff)));
}

std::uint32_t IconPictureIndex(double callback_result, std::uint32_t picture_count) {
    if (!(callback_result > 0) || picture_count == 0) return 0;
    const double last = picture_count - 1.0;
    return static_cast<std::uint32_t>(std::lround(callback_result < last ? callback_result : last));
}

namespace {

using gauge_host::ElementRecord;

class GaugePainter {
public:
    GaugePainter(gauge_host::RecordingHost& host, const GaugePictures& pictures, Canvas& canvas)
        : host_(host), pictures_(pictures), canvas_(canvas) {}

    ElementReading Draw(const ElementRecord& element) {
        reading_ = ElementReading{element.type(), element.record.base.resource_id};
        switch (element.type()) {
            case kStaticImage: DrawAtPosition(element, Picture(element, element.record.base.resource_id), {0, 0}); break;
            case kSlider: DrawSlider(element); break;
            case kIcon: DrawIcon(element); break;
            case kNeedle: DrawNeedle(element); break;
        }
        return reading_;
    }

private:
    const gauge_host::Bitmap& Picture(const ElementRecord& element, std::uint32_t resource_id) const {
        return Require(element, pictures_.Find(resource_id), "bitmap " + std::to_string(resource_id));
    }

    static const gauge_host::Bitmap& Require(const ElementRecord& element, const gauge_host::Bitmap* picture,
                                             const std::string& what) {
        if (picture == nullptr) throw std::runtime_error(element.Name() + ": the module has no " + what);
        return *picture;
    }

    // An unbound variable (var_id 0) reads 0, whatever the host keeps in its binding.
    double VariableOf(const VarBinding& binding) const {
        return binding.var_id == 0 ? 0.0 : host_.Variable(binding.var_id);
    }

    // The bitmap's point `offset` lands on `position`, moved by `shift`.
    void DrawAtPosition(const ElementRecord& element, const gauge_host::Bitmap& picture, PixelPos shift) {
        const ElementBase& base = element.record.base;
        DrawPicture(canvas_, picture, std::int64_t{base.position.x} - base.offset.x + shift.x,
                    std::int64_t{base.position.y} - base.offset.y + shift.y);
    }

    // No slider of these gauges has a callback: the host places it by its variables directly.
    void DrawSlider(const ElementRecord& element) {
        const SliderElement& slider = element.record.slider;
        const PixelPos shift{SliderShift(VariableOf(slider.input_var_x), slider.scale_x),
                             SliderShift(VariableOf(slider.input_var_y), slider.scale_y)};
        reading_.shift = shift;
        DrawAtPosition(element, Picture(element, slider.header.resource_id), shift);
    }

    // The callbacks are the module's, called on the live record with its live binding.
    void DrawIcon(const ElementRecord& element) {
        auto& icon = *reinterpret_cast<IconElement*>(element.address);
        const double result = element.record.icon.callback != nullptr ? host_.CallElementCallback(icon) : 0.0;
        const std::uint32_t index = IconPictureIndex(result, element.record.icon.picture_count);
        const gauge_host::Bitmap* picture = pictures_.IconPicture(element.record.icon.header.resource_id, index);
        reading_.value = result;
        reading_.picture = index;
        reading_.bitmap = pictures_.IconPictureId(element.record.icon.header.resource_id, index).value_or(0);
        DrawAtPosition(element, Require(element, picture, "picture " + std::to_string(index)), {0, 0});
    }

    void DrawNeedle(const ElementRecord& element) {
        auto& needle = *reinterpret_cast<NeedleElement*>(element.address);
        const double value = element.record.needle.callback != nullptr ? host_.CallElementCallback(needle)
                                                                        : VariableOf(element.record.needle.input_var);
        reading_.value = value;
        DrawTurnedPicture(canvas_, Picture(element, element.record.needle.header.resource_id),
                          element.record.needle.header.offset, element.record.needle.header.position,
                          NeedleTurn(element, value));
    }

    gauge_host::RecordingHost& host_;
    const GaugePictures& pictures_;
    Canvas& canvas_;
    ElementReading reading_;
};

}  // namespace

Canvas DrawGauge(gauge_host::RecordingHost& host, const GaugePictures& pictures, std::vector<ElementReading>* readings) {
    const gauge_host::ElementWalk walk = host.WalkElements();
    if (!walk.problems.empty()) throw std::runtime_error("the element tree cannot be drawn: " + walk.problems.front());
    const std::uint32_t background_id = walk.elements.front().record.base.resource_id;
    const gauge_host::Bitmap* background = pictures.Find(background_id);
    if (background == nullptr)
        throw std::runtime_error("the background names bitmap " + std::to_string(background_id) + ", which the module lacks");
    Canvas canvas(background->width, background->height);
    GaugePainter painter(host, pictures, canvas);
    if (readings != nullptr) readings->clear();
    for (const ElementRecord& element : walk.elements) {
        const ElementReading reading = painter.Draw(element);
        if (readings != nullptr) readings->push_back(reading);
    }
    return canvas;
}

}  // namespace gauge_preview
