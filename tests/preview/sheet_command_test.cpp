// `gauge_preview sheet`: every frame of the contact sheet is the gauge exactly as `render` draws
// it in that frame's state.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "preview_test_support.h"

namespace {

using namespace preview_test;

bool Contains(const Canvas& sheet, const Canvas& frame) {
    for (std::int32_t top = 0; top + frame.height() <= sheet.height(); ++top)
        for (std::int32_t left = 0; left + frame.width() <= sheet.width(); ++left) {
            bool same = true;
            for (std::int32_t y = 0; same && y < frame.height(); ++y)
                for (std::int32_t x = 0; same && x < frame.width(); ++x)
                    same = sheet.At(left + x, top + y) == frame.At(x, y);
            if (same) return true;
        }
    return false;
}

Canvas Render(const std::string& module, const std::vector<std::string>& options) {
    const std::string out = TemporaryPath("sheet_frame.png");
    std::vector<std::string> arguments{"render", BuiltModule(module)};
    arguments.insert(arguments.end(), options.begin(), options.end());
    arguments.insert(arguments.end(), {"--out", out});
    const ToolRun run = RunPreviewTool(arguments);
    EXPECT_EQ(run.exit_code, 0) << run.output;
    return ReadPng(out);
}

Canvas Sheet(const std::string& module, const std::vector<std::string>& options = {}) {
    const std::string out = TemporaryPath(module + "_sheet.png");
    std::vector<std::string> arguments{"sheet", BuiltModule(module), "--out", out};
    arguments.insert(arguments.end(), options.begin(), options.end());
    const ToolRun run = RunPreviewTool(arguments);
    EXPECT_EQ(run.exit_code, 0) << run.output;
    return ReadPng(out);
}

TEST(SheetCommand, QuadrantSheetShowsAllLeversAtZeroHalfAndFullSetting) {
    const Canvas sheet = Sheet("quadrant_gauge");
    for (const char* setting : {"0", "8191", "16383"}) {
        SCOPED_TRACE(setting);
        std::vector<std::string> options;
        for (const char* var : {"128", "163", "129", "164", "130", "165"})
            options.insert(options.end(), {"--set", std::string(var) + "=" + setting});
        EXPECT_TRUE(Contains(sheet, Render("quadrant_gauge", options)));
    }
}

TEST(SheetCommand, AmmeterSheetShowsTheSweepWithTheSwitchOnAndOff) {
    const Canvas sheet = Sheet("ammeter_gauge");
    const std::vector<std::string> gate{"--set", "171=2500"};
    const struct {
        const char* what;
        std::vector<std::string> options;
    } kFrames[] = {
        {"on, -50 A", {"--set", "352=-32750"}},
        {"on, +25 A", {"--set", "352=16375"}},
        {"off, +50 A: the switch clicked at its middle", {"--set", "352=32750", "--point", "111,271"}},
    };
    for (const auto& frame : kFrames) {
        SCOPED_TRACE(frame.what);
        std::vector<std::string> options = gate;
        options.insert(options.end(), frame.options.begin(), frame.options.end());
        EXPECT_TRUE(Contains(sheet, Render("ammeter_gauge", options)));
    }
}

// The sheets shown in the README and the release notes are the ones the built modules draw now,
// pixel for pixel: the same picture from the shared object and from the DLL.
TEST(SheetCommand, EachSheetIsThePublishedOne) {
    for (const char* module : {"quadrant_gauge", "ammeter_gauge"}) {
        SCOPED_TRACE(module);
        const Canvas published = ReadPng(std::string(GAUGE_SOURCE_DIR) + "/docs/preview/" + module + ".png");
        const Canvas drawn = Sheet(module);
        ASSERT_EQ(drawn.width(), published.width());
        ASSERT_EQ(drawn.height(), published.height());
        EXPECT_EQ(DifferingPixels(drawn, published), 0);
    }
}

// A gauge with neither sliders nor a known sweep gets a sheet of one frame, as installed.
TEST(SheetCommand, AGaugeWithoutAKnownSweepIsShownAsInstalled) {
    const Canvas sheet = Sheet("twin_gauge", {"--gauge", "Twin Right"});
    EXPECT_TRUE(Contains(sheet, Render("twin_gauge", {"--gauge", "Twin Right"})));
}

}  // namespace
