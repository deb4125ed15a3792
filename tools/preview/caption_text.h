// Captions on the contact sheet, in a small built-in pixel font of 5 x 7 cells: capitals (small
// letters are drawn as capitals), digits and the signs a caption needs. Other characters leave a
// blank cell.
#pragma once

#include <cstdint>
#include <string_view>

#include "tools/preview/canvas.h"

namespace gauge_preview {

// Each font pixel is drawn as a `scale` x `scale` square; a character is 6 cells wide with its
// gap, a line 7 cells tall.
std::int32_t CaptionWidth(std::string_view text, std::int32_t scale);
std::int32_t CaptionHeight(std::int32_t scale);
void DrawCaption(Canvas& canvas, std::int32_t x, std::int32_t y, std::string_view text, Color color,
                 std::int32_t scale);

}  // namespace gauge_preview
