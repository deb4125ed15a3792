// `gauge_preview datasheet` on both gauges: what it finds by loading, installing and pointing at
// the module, against the values of the gauges' own tables written out here.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "preview_test_support.h"

namespace {

using namespace preview_test;

std::string Datasheet(const std::string& module) {
    const ToolRun run = RunPreviewTool({"datasheet", BuiltModule(module)});
    EXPECT_EQ(run.exit_code, 0) << run.output;
    return run.output;
}

// The levers: column in background pixels, event, pointer travel, slider bitmap and position,
// host variable and rise over the full range.
struct Lever {
    std::int32_t left, right, top, bottom;
    std::uint32_t event;
    std::int32_t travel;
    std::uint32_t bitmap;
    PixelPos position;
    std::uint32_t var_id;
    int pixels;  // over 16384, and the rise for 16383 rounded
};
constexpr Lever kLevers[] = {
    {22, 71, 0, 113, 0x1017F, 80, 700, {32, 81}, 130, 86},     {72, 121, 0, 113, 0x10180, 80, 800, {57, 81}, 165, 86},
    {20, 51, 238, 399, 0x10183, 120, 500, {21, 366}, 129, 121}, {52, 83, 238, 399, 0x10184, 120, 600, {48, 366}, 164, 121},
    {84, 128, 238, 399, 0x1011C, 120, 300, {75, 355}, 128, 117}, {129, 173, 238, 399, 0x1011D, 120, 400, {100, 355}, 163, 117},
};

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

TEST(DatasheetCommand, TheQuadrantsSheetGivesEveryLeverItsVariableAndItsColumn) {
    const std::string sheet = Datasheet("quadrant_gauge");
    for (const char* expected : {"## Varn Throttle Quadrant\n", "| gauge name, as a panel names it | `Varn Throttle Quadrant` |\n",
                                 "| size | 180 x 400 pixels (its background, bitmap 200) |\n",
                                 "| 1 | static image (the background) | 200 | (0, 0) |",
                                 "None: every variable it reads is bound to one of its elements.\n"})
        EXPECT_NE(sheet.find(expected), std::string::npos) << expected << "\n" << sheet;
    for (const Lever& lever : kLevers) {
        SCOPED_TRACE(Hex(lever.event));
        const std::string slider = "| slider | " + std::to_string(lever.bitmap) + " | (" + std::to_string(lever.position.x) + ", " +
                                   std::to_string(lever.position.y) + ") | host variable " + std::to_string(lever.var_id) +
                                   " in y: -" + std::to_string(lever.pixels) + "/16384 pixels a unit, so 0 to 16383 moves it " +
                                   std::to_string(lever.pixels) + " pixels up |\n";
        EXPECT_NE(sheet.find(slider), std::string::npos) << slider << "\n" << sheet;
        // The setting falls from 16383 at the column's top to 0 at `travel` rows below it, and the
        // rest of the column is dead travel that sends 0.
        const std::int32_t zero_row = lever.top + lever.travel;
        std::string samples;
        for (std::int32_t y = 0; y <= lever.travel; y += 20)
            samples += (y == 0 ? "" : ", ") + std::string("row ") + std::to_string(lever.top + y) + " " +
                       std::to_string((lever.travel - y) * 16383 / lever.travel);
        const std::string column = "| x " + std::to_string(lever.left) + " to " + std::to_string(lever.right) + ", y " +
                                   std::to_string(lever.top) + " to " + std::to_string(lever.bottom) + " | sends event " +
                                   Hex(lever.event) + " (" + std::to_string(lever.event) + ") | 16383 at row " +
                                   std::to_string(lever.top) + " to 0 at row " + std::to_string(zero_row) + ": " + samples + " | " +
                                   std::to_string(zero_row) + " to " + std::to_string(lever.bottom) + ", all sending 0 |\n";
        EXPECT_NE(sheet.find(column), std::string::npos) << column << "\n" << sheet;
    }
    // The left throttle at the row of the worked example: 40 rows into its column.
    EXPECT_NE(sheet.find("| sends event 0x1011C (65820) | 16383 at row 238 to 0 at row 358: "), std::string::npos);
    EXPECT_NE(sheet.find("row 278 10922"), std::string::npos);
}

TEST(DatasheetCommand, TheAmmetersSheetGivesItsNeedleItsGateAndItsSwitch) {
    const std::string sheet = Datasheet("ammeter_gauge");
    for (const char* expected :
         {"## Varn Ammeter\n", "| gauge name, as a panel names it | `Varn Ammeter` |\n",
          "| size | 224 x 310 pixels (its background, bitmap 200) |\n",
          "| 2 | needle | 300 | (112, 140) | host variable 352, through the module's callback; its scale reads -50 to 50 over 5 "
          "calibration points |\n",
          "| 3 | static image | 400 | (23, 125) | nothing: it does not move |\n",
          "| 4 | icon | 500 | (103, 244) | the module's callback chooses one of 2 pictures: picture 0 is bitmap 500, picture 1 is "
          "bitmap 503 |\n",
          "- host variable 171: bound when the gauge is installed, read afresh every time the gauge is drawn\n",
          "| x 103 to 120, y 244 to 299 | sends no event; a click changes the next frame: icon of bitmap 500 shows picture 1 "
          "(bitmap 503) instead of 0 (bitmap 500), and a second click changes it back |"})
        EXPECT_NE(sheet.find(expected), std::string::npos) << expected << "\n" << sheet;
}

}  // namespace
