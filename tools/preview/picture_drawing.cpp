#include "tools/preview/picture_drawing.h"

#include <algorithm>
#include <cmath>

namespace gauge_preview {

void DrawPicture(Canvas& canvas, const gauge_host::Bitmap& picture, std::int32_t x, std::int32_t y) {
    for (std::int32_t row = 0; row < picture.height; ++row)
        for (std::int32_t column = 0; column < picture.width; ++column) {
            const Color color = picture.At(column, row);
            if (!color.see_through()) canvas.Put(x + column, y + row, color);
        }
}

namespace {

// The bitmap's colour and coverage at a point between pixel centres (pixel (i, j) has its centre
// at (i, j)): the four pixels around it, weighted by nearness, holes and the outside weighing
// nothing towards the colour.
struct Sample {
    double red = 0, green = 0, blue = 0, coverage = 0;
};

Sample SampleBetweenPixels(const gauge_host::Bitmap& picture, double x, double y) {
    const double left = std::floor(x), top = std::floor(y);
    const double across = x - left, down = y - top;
    Sample sample;
    for (int dy = 0; dy < 2; ++dy)
        for (int dx = 0; dx < 2; ++dx) {
            const auto column = static_cast<std::int32_t>(left) + dx;
            const auto row = static_cast<std::int32_t>(top) + dy;
            if (column < 0 || row < 0 || column >= picture.width || row >= picture.height) continue;
            const Color color = picture.At(column, row);
            if (color.see_through()) continue;
            const double weight = (dx ? across : 1 - across) * (dy ? down : 1 - down);
            sample.red += weight * color.red;
            sample.green += weight * color.green;
            sample.blue += weight * color.blue;
            sample.coverage += weight;
        }
    return sample;
}

}  // namespace

void DrawTurnedPicture(Canvas& canvas, const gauge_host::Bitmap& picture, PixelPos pivot, PixelPos target,
                       double radians) {
    const double cosine = std::cos(radians), sine = std::sin(radians);
    // The canvas pixels the turned bitmap can reach: its four corners turned about the pivot.
    double min_x = target.x, max_x = target.x, min_y = target.y, max_y = target.y;
    for (const double corner_x : {-1.0, picture.width + 0.0})
        for (const double corner_y : {-1.0, picture.height + 0.0}) {
            const double from_pivot_x = corner_x - pivot.x, from_pivot_y = corner_y - pivot.y;
            const double x = target.x + from_pivot_x * cosine - from_pivot_y * sine;
            const double y = target.y + from_pivot_x * sine + from_pivot_y * cosine;
            min_x = std::min(min_x, x), max_x = std::max(max_x, x);
            min_y = std::min(min_y, y), max_y = std::max(max_y, y);
        }
    for (auto y = static_cast<std::int32_t>(std::floor(min_y)); y <= static_cast<std::int32_t>(std::ceil(max_y)); ++y)
        for (auto x = static_cast<std::int32_t>(std::floor(min_x)); x <= static_cast<std::int32_t>(std::ceil(max_x));
             ++x) {
            // Turn the canvas pixel back into the bitmap to find what lands on it.
            const double from_target_x = x - target.x, from_target_y = y - target.y;
            const double source_x = pivot.x + from_target_x * cosine + from_target_y * sine;
            const double source_y = pivot.y - from_target_x * sine + from_target_y * cosine;
            const Sample sample = SampleBetweenPixels(picture, source_x, source_y);
            if (sample.coverage <= 0) continue;
            const Color color{static_cast<std::uint8_t>(std::lround(sample.red / sample.coverage)),
                              static_cast<std::uint8_t>(std::lround(sample.green / sample.coverage)),
                              static_cast<std::uint8_t>(std::lround(sample.blue / sample.coverage))};
            canvas.Blend(x, y, color, sample.coverage);
        }
}

}  // namespace gauge_preview
