// The command line of gauge_preview, parsed into what to do.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "gauge_frame/gauge_frame.h"
#include "tools/preview/preview_session.h"

namespace gauge_preview {

inline constexpr const char* kUsage =
    "usage:\n"
    "  gauge_preview render MODULE [--set VAR=VALUE]... [--point X,Y]... [--link EVENT=VAR]... --out FILE.png\n"
    "      sets the host variables, then points at each background pixel X,Y in turn, applying the\n"
    "      module's events to the variables linked to them, then draws the gauge\n"
    "  gauge_preview sheet MODULE --out FILE.png\n"
    "      draws the gauge over a sweep of its inputs\n"
    "  gauge_preview inspect MODULE\n"
    "      prints what the host sees of the module and checks it; fails if a check fails\n"
    "numbers are decimal or 0x hexadecimal; VALUE may have a fraction\n";

enum class PreviewAction { Render, Sheet, Inspect };

struct PreviewCommand {
    PreviewAction action = PreviewAction::Inspect;
    std::string module_path;
    std::vector<std::pair<std::uint32_t, double>> settings;  // --set, in order
    std::vector<PixelPos> points;                            // --point, in order
    std::vector<EventLink> links;                            // --link
    std::string out_path;
};

struct CommandLineError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Throws CommandLineError naming what is wrong.
PreviewCommand ParseCommandLine(int argc, char** argv);

}  // namespace gauge_preview
