// The ammeter as the preview draws it: the needle turned towards the calibration point of its
// reading, the plate over the needle's hub, and the switch picture that the click chooses, with
// the panel's lettering showing through the black around it.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "preview_test_support.h"
#include "tools/preview/preview_session.h"

namespace {

using namespace preview_test;
using gauge_preview::PreviewSession;

constexpr PixelPos kPivot{112, 140};
constexpr PixelPos kPlateAt{23, 125};
constexpr PixelPos kSwitchAt{103, 244};  // both pictures; the click area is 18 x 56 from here
constexpr PixelPos kSwitchMiddle{111, 271};

class AmmeterDrawing : public testing::Test {
protected:
    PreviewSession session{BuiltModule("ammeter_gauge")};

    const Bitmap& Picture(std::uint32_t id) { return *session.pictures().Find(id); }

    Canvas DrawAtAmperes(double amperes) {
        session.SetVariable(352, amperes * 655);  // 655 source units per ampere
        session.SetVariable(171, 2500);           // the gate open
        return session.Draw();
    }
};

int ColourDistance(Color a, Color b) {
    return std::abs(a.red - b.red) + std::abs(a.green - b.green) + std::abs(a.blue - b.blue);
}

// The needle's tip: of the pixels above the plate that the drawing changed clearly from the
// background, the one farthest from the pivot.
std::optional<PixelPos> NeedleTip(const Canvas& drawn, const Canvas& background) {
    std::optional<PixelPos> tip;
    double farthest = 0;
    for (std::int32_t y = 0; y < kPlateAt.y; ++y)
        for (std::int32_t x = 0; x < drawn.width(); ++x) {
            if (ColourDistance(drawn.At(x, y), background.At(x, y)) < 60) continue;
            const double distance = std::hypot(x - kPivot.x, y - kPivot.y);
            if (distance > farthest) farthest = distance, tip = PixelPos{x, y};
        }
    return tip;
}

TEST_F(AmmeterDrawing, NeedleTipPointsAtTheCalibrationPointOfItsReading) {
    const struct {
        double amperes;
        PixelPos calibration_point;
    } kCases[] = {{-50, {29, 90}}, {0, {112, 43}}, {50, {193, 90}}};
    const Canvas background = BackgroundAlone(Picture(200));
    for (const auto& test : kCases) {
        SCOPED_TRACE(test.amperes);
        const auto tip = NeedleTip(DrawAtAmperes(test.amperes), background);
        ASSERT_TRUE(tip.has_value());
        // The needle reaches 97 pixels from the pivot, the calibration points 95 to 97.
        EXPECT_LE(std::hypot(tip->x - test.calibration_point.x, tip->y - test.calibration_point.y), 3.0)
            << "tip at (" << tip->x << ", " << tip->y << ")";
    }
}

// Between two calibration points the needle turns in proportion to the reading: its direction
// lies that fraction of the way between the two points' directions from the pivot.
TEST_F(AmmeterDrawing, NeedleTurnsInProportionBetweenCalibrationPoints) {
    const struct {
        double amperes;
        PixelPos below, above;  // the calibration points of the neighbouring readings
        double fraction;        // how far the reading lies from `below` towards `above`
    } kCases[] = {
        {-37.5, {29, 90}, {65, 56}, 0.5}, {-20, {65, 56}, {112, 43}, 0.2}, {12.5, {112, 43}, {159, 56}, 0.5},
        {45, {159, 56}, {193, 90}, 0.8},
    };
    const Canvas background = BackgroundAlone(Picture(200));
    for (const auto& test : kCases) {
        SCOPED_TRACE(test.amperes);
        const double from = std::atan2(test.below.y - kPivot.y, test.below.x - kPivot.x);
        const double to = std::atan2(test.above.y - kPivot.y, test.above.x - kPivot.x);
        const double angle = from + (to - from) * test.fraction;
        const double expected_x = kPivot.x + 97 * std::cos(angle), expected_y = kPivot.y + 97 * std::sin(angle);
        const auto tip = NeedleTip(DrawAtAmperes(test.amperes), background);
        ASSERT_TRUE(tip.has_value());
        EXPECT_LE(std::hypot(tip->x - expected_x, tip->y - expected_y), 3.0)
            << "tip at (" << tip->x << ", " << tip->y << "), expected near (" << expected_x << ", " << expected_y << ")";
    }
}

TEST_F(AmmeterDrawing, PlateHidesTheNeedlesHubAtEveryReading) {
    const Bitmap& plate = Picture(400);
    for (const double amperes : {-50.0, -20.0, 0.0, 35.0, 50.0}) {
        SCOPED_TRACE(amperes);
        const Canvas drawn = DrawAtAmperes(amperes);
        // The hub is 13 pixels across about the pivot; the plate covers all of it.
        int plate_pixels = 0;
        for (std::int32_t y = kPivot.y - 6; y <= kPivot.y + 6; ++y)
            for (std::int32_t x = kPivot.x - 6; x <= kPivot.x + 6; ++x) {
                const Color painted = plate.At(x - kPlateAt.x, y - kPlateAt.y);
                ASSERT_FALSE(painted.see_through());
                EXPECT_EQ(drawn.At(x, y), painted) << "at (" << x << ", " << y << ")";
                ++plate_pixels;
            }
        EXPECT_EQ(plate_pixels, 13 * 13);
    }
}

// Within the switch's box: the picture's own pixels, and where it is pure black the background,
// or the backdrop where the background is pure black too.
void ExpectSwitchPicture(const Canvas& drawn, const Bitmap& picture, const Canvas& background) {
    for (std::int32_t row = 0; row < 56; ++row)
        for (std::int32_t column = 0; column < 18; ++column) {
            const std::int32_t x = kSwitchAt.x + column, y = kSwitchAt.y + row;
            const bool inside = column < picture.width && !picture.At(column, row).see_through();
            EXPECT_EQ(drawn.At(x, y), inside ? picture.At(column, row) : background.At(x, y))
                << "at (" << x << ", " << y << ")";
        }
}

// The background's light lettering inside the switch's box, in rows first to last, where the
// picture is see-through: what must show through.
int LetteringShowingThrough(const Canvas& drawn, const Bitmap& picture, const Canvas& background, std::int32_t first,
                            std::int32_t last) {
    int count = 0;
    for (std::int32_t y = first; y <= last; ++y)
        for (std::int32_t column = 0; column < 18; ++column) {
            const std::int32_t x = kSwitchAt.x + column;
            const Color letter = background.At(x, y);
            const bool see_through = column >= picture.width || picture.At(column, y - kSwitchAt.y).see_through();
            if (see_through && letter.red + letter.green + letter.blue > 3 * 150 && drawn.At(x, y) == letter) ++count;
        }
    return count;
}

TEST_F(AmmeterDrawing, SwitchPictureFlipsWithEachClickAndLetsTheLetteringShowThrough) {
    const Canvas background = BackgroundAlone(Picture(200));
    const Canvas on = DrawAtAmperes(10);
    ExpectSwitchPicture(on, Picture(500), background);
    // GENERATOR 2 ends at row 249, just below the top of the upward lever's box.
    EXPECT_GT(LetteringShowingThrough(on, Picture(500), background, 244, 249), 0);

    ASSERT_TRUE(session.PointAt(kSwitchMiddle.x, kSwitchMiddle.y));
    const Canvas off = DrawAtAmperes(10);
    ExpectSwitchPicture(off, Picture(503), background);
    // OFF begins at row 291, above the bottom of the downward lever's box.
    EXPECT_GT(LetteringShowingThrough(off, Picture(503), background, 291, 299), 0);

    ASSERT_TRUE(session.PointAt(kSwitchMiddle.x, kSwitchMiddle.y));
    ExpectSwitchPicture(DrawAtAmperes(10), Picture(500), background);
}

// Switched off, the gauge at any input is the gauge switched on at -20 A but for the switch.
TEST_F(AmmeterDrawing, SwitchOffRestsTheNeedleAtMinusTwentyWhateverTheInput) {
    const Canvas on_at_rest = DrawAtAmperes(-20);
    ASSERT_TRUE(session.PointAt(kSwitchMiddle.x, kSwitchMiddle.y));
    for (const double amperes : {-50.0, 0.0, 50.0}) {
        SCOPED_TRACE(amperes);
        const Canvas off = DrawAtAmperes(amperes);
        int differing_outside_switch = 0, differing_inside_switch = 0;
        for (std::int32_t y = 0; y < off.height(); ++y)
            for (std::int32_t x = 0; x < off.width(); ++x) {
                if (off.At(x, y) == on_at_rest.At(x, y)) continue;
                const bool in_switch = x >= kSwitchAt.x && x < kSwitchAt.x + 18 && y >= kSwitchAt.y && y < kSwitchAt.y + 56;
                ++(in_switch ? differing_inside_switch : differing_outside_switch);
            }
        EXPECT_EQ(differing_outside_switch, 0);
        EXPECT_GT(differing_inside_switch, 0);
    }
}

}  // namespace
