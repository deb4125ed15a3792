#include "tools/preview/picture_drawing.h"

#include <algorithm>
#include <cmath>

namespace gauge_preview {

void DrawPicture(Canvas& canvas, const gauge_host::Bitmap& picture, std::int64_t x, std::int64_t y) {
    // Only the rows and columns of the picture that land on the canvas.
    const std::int64_t first_row = std::max<std::int64_t>(0, -y), last_row = std::min<std::int64_t>(picture.height, canvas.height() - y);
    const std::int64_t first_column = std::max<std::int64_t>(0, -x), last_column = std::min<std::int64_t>(picture.width, canvas.width() - x);
    for (std::int64_t row = first_row; row < last_row; ++row)
        for (std::int64_t column = first_column; column < last_column; ++column) {
            const Color color = picture.At(static_cast<std::int32_t>(column), static_cast<std::int32_t>(row));
            if (!color.see_through())
                canvas.Put(static_cast<std::int32_t>(x + column), static_cast<std::int32_t>(y + row), color);
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
    if (!(x > -1 && y > -1 && x < picture.width && y < picture.height)) return {};  // no pixel of it around
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
            const double from_pivot_x = corner_x - static_cast<double>(pivot.x), from_pivot_y = corner_y - static_cast<double>(pivot.y);
            const double x = target.x + from_pivot_x * cosine - from_pivot_y * sine;
            const double y = target.y + from_pivot_x * sine + from_pivot_y * cosine;
            min_x = std::min(min_x, x), max_x = std::max(max_x, x);
            min_y = std::min(min_y, y), max_y = std::max(max_y, y);
        }
    // Only the canvas pixels inside both the turned picture's box and the canvas.
    min_x = std::max(std::floor(min_x), 0.0), max_x = std::min(std::ceil(max_x), canvas.width() - 1.0);
    min_y = std::max(std::floor(min_y), 0.0), max_y = std::min(std::ceil(max_y), canvas.height() - 1.0);
    if (!(min_x <= max_x) || !(min_y <= max_y)) return;
    for (auto y = static_cast<std::int32_t>(min_y); y <= static_cast<std::int32_t>(max_y); ++y)
        for (auto x = static_cast<std::int32_t>(min_x); x <= static_cast<std::int32_t>(max_x); ++x) {
            // Turn the canvas pixel back into the bitmap to find what lands on it.
            const double from_target_x = x - static_cast<double>(target.x), from_target_y = y - static_cast<double>(target.y);
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
