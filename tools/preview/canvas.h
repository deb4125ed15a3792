// The picture the preview draws into: opaque RGB pixels, top row first, in background pixels of
// the gauge. Pixels start as the backdrop colour, which shows wherever every element is see-through.
#pragma once

#include <cstdint>
#include <vector>

#include "host/bitmap.h"

namespace gauge_preview {

using gauge_host::Color;

// A dark panel grey: pure black is see-through on every picture, the background's included, so
// what lies behind the gauge has to be a colour of its own to show where the gauge has no pixels.
inline constexpr Color kPanelBackdrop{46, 50, 56};

class Canvas {
public:
    Canvas(std::int32_t width, std::int32_t height, Color fill = kPanelBackdrop);

    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }
    bool Contains(std::int32_t x, std::int32_t y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

    Color At(std::int32_t x, std::int32_t y) const { return pixels_[Index(x, y)]; }
    // Both ignore points outside the canvas, so a picture may hang over its edge.
    void Put(std::int32_t x, std::int32_t y, Color color);
    // Mixes `color` over the pixel by `coverage`, 0 (nothing) to 1 (replaces it).
    void Blend(std::int32_t x, std::int32_t y, Color color, double coverage);

    // Copies `other` with its top-left corner at (x, y).
    void Paste(const Canvas& other, std::int32_t x, std::int32_t y);
    void FillRect(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, Color color);

private:
    std::size_t Index(std::int32_t x, std::int32_t y) const { return static_cast<std::size_t>(y) * width_ + x; }

    std::int32_t width_;
    std::int32_t height_;
    std::vector<Color> pixels_;
};

}  // namespace gauge_preview
