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
    "  gauge_preview render MODULE [--gauge NAME] [--set VAR=VALUE]... [--point X,Y]... [--link EVENT=VAR]... --out FILE.png\n"
    "      sets the host variables, then points at each background pixel X,Y in turn, applying the\n"
    "      module's events to the variables linked to them, then draws the gauge\n"
    "  gauge_preview sheet MODULE [--gauge NAME] --out FILE.png\n"
    "      draws the gauge over a sweep of its inputs\n"
    "  gauge_preview inspect MODULE\n"
    "      prints what the host sees of the module and checks it; fails if a check fails\n"
    "  gauge_preview datasheet MODULE [--gauge NAME] [--out FILE.md]\n"
    "      writes in Markdown what installing the gauge takes: its name, size, elements, variables\n"
    "      and what pointing into each mouse column does (to standard output without --out)\n"
    "  gauge_preview serve MODULE [--gauge NAME] [--set VAR=VALUE]... [--link EVENT=VAR]... [--port N]\n"
    "      serves a live bench page for the gauge on 127.0.0.1 (port N, or a free one where N is 0\n"
    "      or not given) and prints its URL: point at the gauge, set its variables, watch it answer\n"
    "MODULE is the file itself: a name without a folder is a file in the current folder.\n"
    "--gauge chooses a gauge of a module that holds several; the first is the default.\n"
    "--time-limit SECONDS (render, sheet, inspect) is how long the module may take, 120 unless\n"
    "given; serve runs as long as it is left running.\n"
    "Numbers are decimal (a leading zero changes nothing) or 0x hexadecimal; VALUE may have a\n"
    "fraction and must be finite.\n";

enum class PreviewAction { Render, Sheet, Inspect, Datasheet, Serve };

struct PreviewCommand {
    PreviewAction action = PreviewAction::Inspect;
    std::string module_path;
    std::string gauge_name;                                  // --gauge; empty for the first gauge
    std::vector<std::pair<std::uint32_t, double>> settings;  // --set, in order
    std::vector<PixelPos> points;                            // --point, in order
    std::vector<EventLink> links;                            // --link
    std::string out_path;
    int time_limit_seconds = 120;                            // --time-limit; serve: 0, no limit
    int port = 0;                                            // --port (serve); 0 for a free one
};

struct CommandLineError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Throws CommandLineError naming what is wrong.
PreviewCommand ParseCommandLine(int argc, char** argv);

}  // namespace gauge_preview
