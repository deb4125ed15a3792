// Drawing an installed gauge as the host does: the element tree from the root outwards, each
// element placed from the host's variables and the module's callbacks at the moment of drawing.
#pragma once

#include <cstdint>
#include <vector>

#include "host/recording_host.h"
#include "tools/preview/canvas.h"
#include "tools/preview/gauge_pictures.h"

namespace gauge_preview {

// Where a slider's bitmap is shifted to by one variable: value x scale pixels, rounded to the
// nearest pixel with halves away from zero (std::lround), so a lever at 16383 on a scale of
// -117/16384 (116.99 pixels) rises by 117, and the same value of either sign moves as far. A
// shift beyond a billion pixels stands at a billion (it is off the gauge either way); one that is
// not a number is no shift.
std::int32_t SliderShift(double value, double scale);

// The picture an icon's callback result chooses: the nearest whole number, limited to the icon's
// pictures (a result outside them, or not a number, shows the nearest end or the first).
std::uint32_t IconPictureIndex(double callback_result, std::uint32_t picture_count);

// What placed one element in a frame: the values the host read from the variables and the module's
// callbacks while drawing it.
struct ElementReading {
    std::uint32_t element_type = 0;
    std::uint32_t bitmap = 0;   // the bitmap drawn (an icon's: the picture it chose)
    double value = 0;           // a needle's value (its callback's result, or its variable), an icon's callback result
    std::uint32_t picture = 0;  // an icon's picture index
    PixelPos shift{0, 0};       // a slider's shift in pixels
};

// Draws the gauge installed in `host` on a canvas the size of its background bitmap, with the
// backdrop colour wherever every element is see-through. The tree is walked afresh for every
// frame and drawn from the records as read then; where `readings` is given, it receives one
// reading per element, in drawing order. Throws std::runtime_error where the tree cannot be
// walked or an element names a bitmap the module lacks.
Canvas DrawGauge(gauge_host::RecordingHost& host, const GaugePictures& pictures,
                 std::vector<ElementReading>* readings = nullptr);

}  // namespace gauge_preview
