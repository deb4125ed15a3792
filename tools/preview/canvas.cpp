#include "tools/preview/canvas.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace gauge_preview {

namespace {

// Far above any sheet of a gauge of the largest size; what lies beyond is a fault of the caller.
constexpr std::int64_t kMostPixels = std::int64_t{64} << 20;

std::size_t PixelCount(std::int32_t width, std::int32_t height) {
    if (width < 0 || height < 0 || std::int64_t{width} * height > kMostPixels)
        throw std::length_error("a picture of " + std::to_string(width) + " x " + std::to_string(height) +
                                " pixels is larger than the preview draws");
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
}

}  // namespace

Canvas::Canvas(std::int32_t width, std::int32_t height, Color fill)
    : width_(width), height_(height), pixels_(PixelCount(width, height), fill) {}

void Canvas::Put(std::int32_t x, std::int32_t y, Color color) {
    if (Contains(x, y)) pixels_[Index(x, y)] = color;
}

void Canvas::Blend(std::int32_t x, std::int32_t y, Color color, double coverage) {
    if (!Contains(x, y)) return;
    Color& pixel = pixels_[Index(x, y)];
    auto mix = [coverage](std::uint8_t under, std::uint8_t over) {
        return static_cast<std::uint8_t>(std::lround(under + (over - under) * std::clamp(coverage, 0.0, 1.0)));
    };
    pixel = {mix(pixel.red, color.red), mix(pixel.green, color.green), mix(pixel.blue, color.blue)};
}

void Canvas::Paste(const Canvas& other, std::int32_t x, std::int32_t y) {
    for (std::int32_t row = 0; row < other.height(); ++row)
        for (std::int32_t column = 0; column < other.width(); ++column) Put(x + column, y + row, other.At(column, row));
}

void Canvas::FillRect(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, Color color) {
    for (std::int32_t row = y; row < y + height; ++row)
        for (std::int32_t column = x; column < x + width; ++column) Put(column, row, color);
}

}  // namespace gauge_preview
