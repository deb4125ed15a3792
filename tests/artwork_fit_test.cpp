// The pictures fit the records that place them: computed from the built modules' bitmaps and the
// positions, scales and calibration points their element records give.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "bitmap_geometry.h"
#include "host/bitmap.h"
#include "host/module_library.h"
#include "host/module_resources.h"
#include "module_under_test.h"
#include "raw_words.h"

using gauge_host::Bitmap;
using gauge_host::Color;
using gauge_host::ModuleLibrary;
using gauge_host::ModuleResources;
using raw::Double;
using raw::Pointer;
using raw::SignedWord;
using raw::Word;

namespace {

using Pixel = std::pair<std::int32_t, std::int32_t>;

class Gauge {
public:
    explicit Gauge(const char* name)
        : module_(ModuleUnderTest(name)), resources_(module_.file()) {}

    // The element chain from the root, as the header's root variable leads to it.
    std::vector<const void*> Chain() const {
        std::vector<const void*> chain{Pointer(Pointer(&module_.gauge(), 0x08), 0)};
        while (Word(chain.back(), 0x28) != 0) chain.push_back(Pointer(Pointer(chain.back(), 0x28), 0));
        return chain;
    }
    Bitmap BitmapOf(std::uint32_t id) const { return DecodeOrFail(resources_.Find(gauge_host::kBitmapResource, id)); }
    Bitmap BitmapOf(const void* element) const { return BitmapOf(Word(element, 0x04)); }

private:
    ModuleLibrary module_;
    ModuleResources resources_;
};

// The stem is flat mid-grey; everything else that is not see-through belongs to the knob.
bool IsStem(Color color) {
    auto near = [](int a, int b) { return std::abs(a - b) <= 8; };
    return near(color.red, color.green) && near(color.green, color.blue) && color.red >= 60 && color.red <= 100;
}

// A slot is a near-black channel, darker than the metal around it.
bool IsSlot(Color color) { return !color.see_through() && std::max({color.red, color.green, color.blue}) <= 48; }

// Where the host draws a slider's top-left corner at a setting, rounded to the nearest pixel.
Pixel SliderCorner(const void* slider, double setting) {
    return {SignedWord(slider, 0x08), SignedWord(slider, 0x0C) + static_cast<std::int32_t>(std::lround(setting * Double(slider, 0x88)))};
}

TEST(ArtworkFit, EachLeverStemStartsInsideItsSlotAtBothEndsOfTravel) {
    Gauge quadrant("quadrant_gauge");
    const Bitmap background = quadrant.BitmapOf(quadrant.Chain()[0]);
    const auto chain = quadrant.Chain();
    for (std::size_t i = 1; i < chain.size(); ++i) {
        const Bitmap lever = quadrant.BitmapOf(chain[i]);
        SCOPED_TRACE("lever bitmap " + std::to_string(Word(chain[i], 0x04)));
        // The stem's end that reaches into the slot is the bitmap's leftmost painted column.
        std::int32_t left = lever.width;
        for (std::int32_t y = 0; y < lever.height; ++y)
            for (std::int32_t x = 0; x < lever.width; ++x)
                if (!lever.At(x, y).see_through()) left = std::min(left, x);
        std::vector<std::int32_t> stem_rows;
        for (std::int32_t y = 0; y < lever.height; ++y)
            if (!lever.At(left, y).see_through()) stem_rows.push_back(y);
        ASSERT_FALSE(stem_rows.empty());
        for (std::int32_t y : stem_rows) EXPECT_TRUE(IsStem(lever.At(left, y))) << "row " << y << " of the stem's end";
        // The stem runs the slot's length, so at either end of travel its edge rows may reach past
        // the slot's end; its middle row must stand in the channel.
        const std::int32_t middle = stem_rows[stem_rows.size() / 2];
        for (double setting : {0.0, 16383.0}) {
            const auto [corner_x, corner_y] = SliderCorner(chain[i], setting);
            EXPECT_TRUE(IsSlot(background.At(corner_x + left, corner_y + middle)))
                << "setting " << setting << ": the stem's end lands outside the slot at " << corner_x + left << ","
                << corner_y + middle;
        }
    }
}

TEST(ArtworkFit, TheKnobsOfAPairNeverOverlap) {
    Gauge quadrant("quadrant_gauge");
    const auto chain = quadrant.Chain();
    auto knob_pixels = [&](const void* slider, double setting) {
        const Bitmap lever = quadrant.BitmapOf(slider);
        const auto [corner_x, corner_y] = SliderCorner(slider, setting);
        std::set<Pixel> pixels;
        for (std::int32_t y = 0; y < lever.height; ++y)
            for (std::int32_t x = 0; x < lever.width; ++x)
                if (!lever.At(x, y).see_through() && !IsStem(lever.At(x, y))) pixels.insert({corner_x + x, corner_y + y});
        return pixels;
    };
    // The chain runs right, left through each pair: throttles, propellers, mixtures.
    for (std::size_t right = 1; right + 1 < chain.size(); right += 2) {
        SCOPED_TRACE("pair with bitmap " + std::to_string(Word(chain[right], 0x04)));
        for (double setting : {0.0, 16383.0}) {
            const auto right_knob = knob_pixels(chain[right], setting);
            const auto left_knob = knob_pixels(chain[right + 1], setting);
            EXPECT_GT(right_knob.size(), 300u);
            for (const Pixel& pixel : left_knob)
                ASSERT_EQ(right_knob.count(pixel), 0u) << "setting " << setting << " at " << pixel.first << "," << pixel.second;
        }
    }
}

TEST(ArtworkFit, TheNeedleComesOutFromBehindThePlateAtEveryCalibrationPoint) {
    Gauge ammeter("ammeter_gauge");
    const auto chain = ammeter.Chain();
    const void* needle = chain[1];
    const void* plate = chain[2];
    const Bitmap plate_bitmap = ammeter.BitmapOf(plate);
    const double pivot_x = SignedWord(needle, 0x08), pivot_y = SignedWord(needle, 0x0C);
    const double length = std::hypot(SignedWord(needle, 0x68) - SignedWord(needle, 0x18),
                                      SignedWord(needle, 0x6C) - SignedWord(needle, 0x1C));
    const std::int32_t plate_x = SignedWord(plate, 0x08), plate_y = SignedWord(plate, 0x0C);
    auto hidden = [&](double x, double y) {
        const auto px = static_cast<std::int32_t>(std::floor(x)) - plate_x;
        const auto py = static_cast<std::int32_t>(std::floor(y)) - plate_y;
        if (px < 0 || py < 0 || px >= plate_bitmap.width || py >= plate_bitmap.height) return false;
        return !plate_bitmap.At(px, py).see_through();
    };
    const auto* points = static_cast<const std::uint8_t*>(Pointer(needle, 0x70));
    for (std::uint32_t i = 0; i < Word(needle, 0x74); ++i) {
        const double value = Double(points + 24 * i, 0x08);
        SCOPED_TRACE("calibration value " + std::to_string(value));
        const double dx = SignedWord(points + 24 * i, 0x00) - pivot_x, dy = SignedWord(points + 24 * i, 0x04) - pivot_y;
        const double distance = std::hypot(dx, dy);
        EXPECT_TRUE(hidden(pivot_x, pivot_y)) << "the hub is not covered";
        bool emerged = false;
        for (double along = 0; along <= length; along += 0.5) {
            const bool covered = hidden(pivot_x + dx / distance * along, pivot_y + dy / distance * along);
            if (!covered) emerged = true;
            ASSERT_FALSE(emerged && covered) << "covered again " << along << " pixels from the pivot";
        }
        EXPECT_TRUE(emerged) << "the tip stays behind the plate";
    }
}

// The host turns the needle so that the line from `offset` to `needle_tip` points at the reading;
// the blade must end on that line, right at `needle_tip`, or the painted point misses the scale.
TEST(ArtworkFit, TheNeedlesPaintedPointEndsJustLeftOfItsNeedleTipOnThePivotsRow) {
    Gauge ammeter("ammeter_gauge");
    const void* needle = ammeter.Chain()[1];
    const Bitmap bitmap = ammeter.BitmapOf(needle);
    const std::int32_t tip_x = SignedWord(needle, 0x68), tip_y = SignedWord(needle, 0x6C);
    EXPECT_EQ(tip_y, SignedWord(needle, 0x1C)) << "needle_tip is off the pivot's row";
    std::int32_t rightmost = -1;
    for (std::int32_t y = 0; y < bitmap.height; ++y)
        for (std::int32_t x = 0; x < bitmap.width; ++x)
            if (!bitmap.At(x, y).see_through()) rightmost = std::max(rightmost, x);
    EXPECT_EQ(rightmost, tip_x - 1) << "the blade's point is not the pixel just left of needle_tip";
    ASSERT_GE(rightmost, 0);
    std::vector<std::int32_t> point_rows;
    for (std::int32_t y = 0; y < bitmap.height; ++y)
        if (!bitmap.At(rightmost, y).see_through()) point_rows.push_back(y);
    EXPECT_EQ(point_rows, std::vector<std::int32_t>{tip_y}) << "the point is not one pixel on needle_tip's row";
}

TEST(ArtworkFit, TheSwitchNutLandsOnThePaintedMountingInBothPositions) {
    Gauge ammeter("ammeter_gauge");
    const auto chain = ammeter.Chain();
    const Bitmap background = ammeter.BitmapOf(chain[0]);
    const void* icon = chain[3];
    const std::int32_t icon_x = SignedWord(icon, 0x08), icon_y = SignedWord(icon, 0x0C);
    struct Picture {
        std::uint32_t id;
        std::int32_t nut_top, nut_bottom;
    };
    for (const Picture& picture : {Picture{500, 19, 32}, Picture{503, 18, 30}}) {
        SCOPED_TRACE("switch bitmap " + std::to_string(picture.id));
        const Bitmap bitmap = ammeter.BitmapOf(picture.id);
        int nut_pixels = 0;
        for (std::int32_t y = picture.nut_top; y <= picture.nut_bottom; ++y)
            for (std::int32_t x = 0; x < bitmap.width; ++x) {
                if (bitmap.At(x, y).see_through()) continue;
                ++nut_pixels;
                EXPECT_FALSE(background.At(icon_x + x, icon_y + y).see_through())
                    << "nut pixel over the bare panel at " << icon_x + x << "," << icon_y + y;
            }
        EXPECT_GT(nut_pixels, 100);
    }
}

}  // namespace
