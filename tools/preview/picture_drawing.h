// Putting a module's bitmap onto the canvas the way the host does: pure black, by colour and
// whatever its palette entry, lets what lies beneath show through. Both routines touch only the
// canvas pixels the picture can reach, so drawing costs at most a fixed amount per canvas pixel,
// wherever the records place the picture.
#pragma once

#include <cstdint>

#include "gauge_frame/gauge_frame.h"
#include "host/bitmap.h"
#include "tools/preview/canvas.h"

namespace gauge_preview {

// The bitmap unturned, its top-left pixel at (x, y); every pixel that is not pure black replaces
// the canvas pixel.
void DrawPicture(Canvas& canvas, const gauge_host::Bitmap& picture, std::int64_t x, std::int64_t y);

// The bitmap turned by `radians` (clockwise on the screen, y pointing down) about its pixel
// `pivot`, which lands on canvas pixel `target`. Each canvas pixel samples the turned bitmap
// bilinearly; pure black samples count as holes, so the picture's edge blends smoothly into what
// lies beneath instead of bringing a dark fringe with it.
void DrawTurnedPicture(Canvas& canvas, const gauge_host::Bitmap& picture, PixelPos pivot, PixelPos target,
                       double radians);

}  // namespace gauge_preview
