// `gauge_preview render` end to end: pointing into a lever's column makes the module send the
// lever's event, and --link applies it to the lever's variable as the simulator would, so the
// next frame shows the lever moved.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/module_resources.h"
#include "preview_test_support.h"
#include "tools/preview/gauge_pictures.h"
#include "tools/preview/preview_session.h"

namespace {

using namespace preview_test;

constexpr std::uint32_t kLeftThrottleEvent = 0x1011C, kLeftThrottleVar = 128;
constexpr PixelPos kLeftThrottleAtSetting0{75, 355};

// The quadrant drawn with every lever at 0 but the left throttle, lifted by `rise`.
Canvas QuadrantWithLeftThrottleRisen(int rise) {
    gauge_host::ModuleLibrary module(BuiltModule("quadrant_gauge"));
    const gauge_preview::GaugePictures pictures{gauge_host::ModuleResources(module.file())};
    Canvas canvas = BackgroundAlone(*pictures.Find(200));
    const struct { std::uint32_t bitmap; PixelPos at; } kChain[] = {
        {400, {100, 355}}, {300, {75, 355}}, {600, {48, 366}}, {500, {21, 366}}, {800, {57, 81}}, {700, {32, 81}}};
    for (const auto& lever : kChain)
        Overlay(canvas, *pictures.Find(lever.bitmap), lever.at.x,
                lever.at.y - (lever.at.x == kLeftThrottleAtSetting0.x ? rise : 0));
    return canvas;
}

TEST(RenderCommand, LinkedLeverEventSetsTheVariableTheHandlerComputed) {
    gauge_preview::PreviewSession session(BuiltModule("quadrant_gauge"));
    session.Link({kLeftThrottleEvent, kLeftThrottleVar});
    // Background (100, 278) is y = 40 in the left throttle's column, which starts at row 238:
    // (120 - 40) x 16383 / 120 = 10922.
    ASSERT_TRUE(session.PointAt(100, 278));
    EXPECT_EQ(session.Variable(kLeftThrottleVar), 10922);
    // The right throttle's column sends another event, which no link carries to variable 128.
    ASSERT_TRUE(session.PointAt(150, 238));
    EXPECT_EQ(session.Variable(kLeftThrottleVar), 10922);
}

TEST(RenderCommand, PointsInOrderAndSettingsMoveTheLeftThrottleInTheRenderedFrame) {
    const std::string link = "0x1011C=128";
    const struct {
        const char* what;
        std::vector<std::string> options;
        int rise;  // the setting x 117/16384, rounded to the nearest pixel
    } kCases[] = {
        {"y 40: 10922 lifts it 77.99 pixels", {"--point", "100,278", "--link", link}, 78},
        {"y 0: 16383 lifts it 116.99 pixels", {"--point", "100,238", "--link", "65820=128"}, 117},
        {"y 40, then y 120: the last point wins", {"--point", "100,278", "--point", "100,358", "--link", link}, 0},
        {"without the link the event moves nothing", {"--point", "100,278"}, 0},
        {"a set variable, no point", {"--set", "128=10922"}, 78},
    };
    const std::string out = TemporaryPath("render_link.png");
    for (const auto& test : kCases) {
        SCOPED_TRACE(test.what);
        std::vector<std::string> arguments{"render", BuiltModule("quadrant_gauge")};
        arguments.insert(arguments.end(), test.options.begin(), test.options.end());
        arguments.insert(arguments.end(), {"--out", out});
        const ToolRun run = RunPreviewTool(arguments);
        ASSERT_EQ(run.exit_code, 0) << run.output;
        EXPECT_EQ(DifferingPixels(ReadPng(out), QuadrantWithLeftThrottleRisen(test.rise)), 0);
    }
}

TEST(RenderCommand, ANonModuleOrABadCommandLineFailsWithOneMessage) {
    const std::string module = BuiltModule("quadrant_gauge");
    const struct {
        std::vector<std::string> arguments;
        int exit_code;
        const char* message;
    } kCases[] = {
        {{"render", module}, 2, "render needs --out FILE.png"},
        {{"render", module, "--point", "100", "--out", "x.png"}, 2, "--point: \"100\" has no ','"},
        {{"render", BuiltModule("no_such_gauge"), "--out", "x.png"}, 1, "no_such_gauge." MODULE_SUFFIX ": cannot be read: No such file or directory"},
        {{"render", module, "--set", "128=nan", "--out", "x.png"}, 2, "--set: \"nan\" is not a finite number"},
        {{"render", module, "--set", "128=1e999", "--out", "x.png"}, 2, "--set: \"1e999\" is not a finite number"},
        {{"render", module, "--set", "0128=5", "--set", "0x=5", "--out", "x.png"}, 2, "--set: \"0x\" is not a whole number"},
        {{"render", module, "--out", "a.png", "--out", "b.png"}, 2, "--out is given twice"},
        {{"render", module, "--time-limit", "0", "--out", "x.png"}, 2, "--time-limit: 0 is not 1 to 86400 seconds"},
    };
    for (const auto& test : kCases) {
        SCOPED_TRACE(test.message);
        const ToolRun run = RunPreviewTool(test.arguments);
        EXPECT_EQ(run.exit_code, test.exit_code) << run.output;
        EXPECT_NE(run.output.find(test.message), std::string::npos) << run.output;
    }
}

// Numbers with a leading zero are decimal: 0128 is variable 128, never octal (which would read
// 0200 as variable 128 too, and 0128 not at all).
TEST(RenderCommand, ALeadingZeroIsDecimal) {
    const std::string out = TemporaryPath("render_leading_zero.png");
    const struct {
        const char* setting;
        int rise;
    } kCases[] = {{"0128=10922", 78}, {"0200=10922", 0}, {"0x80=10922", 78}};
    for (const auto& test : kCases) {
        SCOPED_TRACE(test.setting);
        const ToolRun run = RunPreviewTool({"render", BuiltModule("quadrant_gauge"), "--set", test.setting, "--out", out});
        ASSERT_EQ(run.exit_code, 0) << run.output;
        EXPECT_EQ(DifferingPixels(ReadPng(out), QuadrantWithLeftThrottleRisen(test.rise)), 0);
    }
}

// A module that holds two gauges: the first is drawn unless --gauge names another; an unknown
// name is refused with the names there are.
TEST(RenderCommand, GaugeChoosesAmongTheGaugesOfAModule) {
    const std::string out = TemporaryPath("render_twin.png");
    const struct {
        std::vector<std::string> options;
        int exit_code;
        std::int32_t width;  // of the frame drawn
        const char* message;
    } kCases[] = {
        {{}, 0, 8, ""},
        {{"--gauge", "Twin Left"}, 0, 8, ""},
        {{"--gauge", "Twin Right"}, 0, 4, ""},
        {{"--gauge", "Twin"}, 1, 0, "the module has no gauge named \"Twin\"; its gauges are \"Twin Left\", \"Twin Right\"\n"},
    };
    for (const auto& test : kCases) {
        SCOPED_TRACE(test.options.empty() ? "no --gauge" : test.options[1]);
        std::vector<std::string> arguments{"render", BuiltModule("twin_gauge"), "--out", out};
        arguments.insert(arguments.end(), test.options.begin(), test.options.end());
        const ToolRun run = RunPreviewTool(arguments);
        EXPECT_EQ(run.exit_code, test.exit_code) << run.output;
        if (test.exit_code == 0) EXPECT_EQ(ReadPng(out).width(), test.width);
        else EXPECT_NE(run.output.find(test.message), std::string::npos) << run.output;
    }
}

}  // namespace
