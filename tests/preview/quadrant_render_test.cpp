// The throttle quadrant as the preview draws it: each lever bitmap at its position, lifted by its
// variable times its scale, over the background and the levers before it in the chain.
#include <gtest/gtest.h>

#include <string>

#include "preview_test_support.h"
#include "tools/preview/preview_session.h"

namespace {

using namespace preview_test;
using gauge_preview::PreviewSession;

struct Lever {
    const char* name;
    std::uint32_t var_id;
    std::uint32_t bitmap;
    PixelPos at_setting_0;
    int rise_at_8191;   // 8191 x travel / 16384, rounded half away from zero
    int rise_at_16383;  // 16383 x travel / 16384
};

// In drawing order (the chain from the root), so a later lever lies over an earlier one. The
// throttles travel 117 pixels over 16384 settings, the propellers 121, the mixtures 86:
// 8191 gives 58.49, 60.49 and 42.99 pixels, 16383 gives 116.99, 120.99 and 85.99.
constexpr Lever kLevers[] = {
    {"right throttle", 163, 400, {100, 355}, 58, 117},
    {"left throttle", 128, 300, {75, 355}, 58, 117},
    {"right propeller", 164, 600, {48, 366}, 60, 121},
    {"left propeller", 129, 500, {21, 366}, 60, 121},
    {"right mixture", 165, 800, {57, 81}, 43, 86},
    {"left mixture", 130, 700, {32, 81}, 43, 86},
};

class QuadrantDrawing : public testing::Test {
protected:
    PreviewSession session{BuiltModule("quadrant_gauge")};

    const Bitmap& Picture(std::uint32_t id) { return *session.pictures().Find(id); }

    // The background, then every lever lifted by its own rise.
    Canvas Expected(const std::vector<int>& rises) {
        Canvas canvas = BackgroundAlone(Picture(200));
        for (std::size_t i = 0; i < std::size(kLevers); ++i)
            Overlay(canvas, Picture(kLevers[i].bitmap), kLevers[i].at_setting_0.x, kLevers[i].at_setting_0.y - rises[i]);
        return canvas;
    }
};

TEST_F(QuadrantDrawing, LeversAtSettingZeroChangeNoBackgroundPixelOutsideTheirKnobsAndStems) {
    for (const Lever& lever : kLevers) session.SetVariable(lever.var_id, 0);
    const Canvas drawn = session.Draw();
    const Canvas background = BackgroundAlone(Picture(200));

    // Every pixel that no lever's knob or stem covers at its setting-0 place is the background's.
    std::vector<bool> lever_pixel(static_cast<std::size_t>(drawn.width()) * drawn.height(), false);
    for (const Lever& lever : kLevers) {
        const Bitmap& picture = Picture(lever.bitmap);
        for (std::int32_t row = 0; row < picture.height; ++row)
            for (std::int32_t column = 0; column < picture.width; ++column)
                if (!picture.At(column, row).see_through())
                    lever_pixel[(lever.at_setting_0.y + row) * drawn.width() + lever.at_setting_0.x + column] = true;
    }
    int changed_outside = 0;
    for (std::int32_t y = 0; y < drawn.height(); ++y)
        for (std::int32_t x = 0; x < drawn.width(); ++x)
            if (!lever_pixel[y * drawn.width() + x] && !(drawn.At(x, y) == background.At(x, y))) ++changed_outside;
    EXPECT_EQ(changed_outside, 0);
    EXPECT_EQ(DifferingPixels(drawn, Expected({0, 0, 0, 0, 0, 0})), 0);
}

// Each lever alone at a setting, the others at 0; at 8191 and 16383 no two levers overlap.
TEST_F(QuadrantDrawing, EachLeverRisesByItsSettingTimesItsScaleRoundedToWholePixels) {
    for (const int setting : {8191, 16383})
        for (std::size_t moved = 0; moved < std::size(kLevers); ++moved) {
            SCOPED_TRACE(std::string(kLevers[moved].name) + " at " + std::to_string(setting));
            std::vector<int> rises(std::size(kLevers), 0);
            for (std::size_t i = 0; i < std::size(kLevers); ++i) session.SetVariable(kLevers[i].var_id, 0);
            session.SetVariable(kLevers[moved].var_id, setting);
            rises[moved] = setting == 8191 ? kLevers[moved].rise_at_8191 : kLevers[moved].rise_at_16383;
            EXPECT_EQ(DifferingPixels(session.Draw(), Expected(rises)), 0);
        }
}

TEST_F(QuadrantDrawing, AllLeversAtFullSettingLieOverOneAnotherInChainOrder) {
    std::vector<int> rises;
    for (const Lever& lever : kLevers) {
        session.SetVariable(lever.var_id, 16383);
        rises.push_back(lever.rise_at_16383);
    }
    EXPECT_EQ(DifferingPixels(session.Draw(), Expected(rises)), 0);
}

}  // namespace
