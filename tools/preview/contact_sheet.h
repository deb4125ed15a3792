// A contact sheet of a gauge: the gauge drawn over a sweep of its inputs, frame by frame, each
// frame captioned with what it shows.
//   - a gauge of sliders (the throttle quadrant): every slider variable at 0, 8191 and 16383;
//   - "Varn Ammeter": the needle's input at -50, -25, 0, 25 and 50 amperes (655 units per ampere,
//     the gate variable 171 at 2500), in a row with the switch on and a row with it off, the
//     switch clicked through its mouse rectangle between the rows;
//   - any other gauge: one frame, as installed.
#pragma once

#include <string>
#include <vector>

#include "tools/preview/canvas.h"
#include "tools/preview/preview_session.h"

namespace gauge_preview {

struct SheetFrame {
    std::string caption;
    Canvas picture;
};

// Frames in rows of `columns`, under a title.
Canvas LayOutSheet(const std::string& title, const std::vector<SheetFrame>& frames, std::size_t columns);

// Chooses the sweep by the gauge's name, or else by its element kinds: a gauge with neither a
// known name nor sliders is shown in one frame, as installed.
Canvas DrawContactSheet(PreviewSession& session);

}  // namespace gauge_preview
