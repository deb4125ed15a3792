// Every bitmap as the host loads it from the built modules, through the loader's resource
// facility on Windows and the resource section of a shared object on Linux: the stored format,
// the palettes and where pure black (the see-through colour) may and may not appear.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "bitmap_geometry.h"
#include "host/bitmap.h"
#include "host/module_library.h"
#include "host/module_resources.h"
#include "module_under_test.h"
#include "raw_words.h"

using gauge_host::Bitmap;
using gauge_host::ModuleLibrary;
using gauge_host::ModuleResources;
using raw::Word;

namespace {

enum class Surround {
    Painted,  // a background: black only where nothing is painted
    // A lever, needle, plate or switch: the black pixels are the surround, one area joined to
    // the bitmap's border. A throttle knob touches the right and bottom edges, cutting off the
    // corner between them, so pixels count as joined through the border around the bitmap.
    Shape
};

struct ExpectedBitmap {
    const char* module;
    std::uint32_t id;
    std::int32_t width, height, stride;
    std::uint32_t resolution;
    std::uint32_t resource_size;
    std::set<int> black_entries;  // the pure-black palette entries
    int surround_entry;           // the one of them the see-through pixels use
    Surround surround;
};

const ExpectedBitmap kBitmaps[] = {
    {"quadrant_gauge", 200, 180, 400, 180, 2834, 73064, {255}, 255, Surround::Painted},
    {"quadrant_gauge", 300, 54, 44, 56, 2834, 3528, {0}, 0, Surround::Shape},
    {"quadrant_gauge", 400, 73, 44, 76, 2834, 4408, {0}, 0, Surround::Shape},
    {"quadrant_gauge", 500, 32, 30, 32, 2834, 2024, {0, 240, 241}, 0, Surround::Shape},
    {"quadrant_gauge", 600, 37, 30, 40, 2834, 2264, {0}, 0, Surround::Shape},
    {"quadrant_gauge", 700, 32, 30, 32, 2834, 2024, {0}, 0, Surround::Shape},
    {"quadrant_gauge", 800, 59, 30, 60, 2834, 2864, {0}, 0, Surround::Shape},
    {"ammeter_gauge", 200, 224, 310, 224, 2833, 70504, {0}, 0, Surround::Painted},
    {"ammeter_gauge", 300, 104, 13, 104, 2833, 2416, {0}, 0, Surround::Shape},
    {"ammeter_gauge", 400, 176, 79, 176, 2833, 14968, {0}, 0, Surround::Shape},
    {"ammeter_gauge", 500, 17, 56, 20, 11810, 2184, {254}, 254, Surround::Shape},
    {"ammeter_gauge", 503, 18, 56, 20, 11810, 2184, {254}, 254, Surround::Shape},
};

class BitmapResources : public testing::Test {
protected:
    static void SetUpTestSuite() {
        for (const char* name : {"quadrant_gauge", "ammeter_gauge"}) {
            ModuleLibrary module(ModuleUnderTest(name));
            ModuleResources resources(module.file());
            for (const auto& resource : resources.all()) all_[name].push_back(resource);
        }
    }
    static const gauge_host::Resource* Find(const std::string& module, std::uint32_t type, std::uint32_t id) {
        for (const auto& resource : all_[module])
            if (resource.type == type && resource.id == id && resource.language == 1033) return &resource;
        return nullptr;
    }
    static std::map<std::string, std::vector<gauge_host::Resource>> all_;
};
std::map<std::string, std::vector<gauge_host::Resource>> BitmapResources::all_;

TEST_F(BitmapResources, EachModuleCarriesExactlyItsBitmapsAndOneVersionBlock) {
    const std::map<std::string, std::vector<std::uint32_t>> expected = {
        {"quadrant_gauge", {200, 300, 400, 500, 600, 700, 800}},
        {"ammeter_gauge", {200, 300, 400, 500, 503}},
    };
    const std::map<std::string, std::uint32_t> version_id = {{"quadrant_gauge", 1}, {"ammeter_gauge", 100}};
    for (const auto& [module, ids] : expected) {
        std::vector<std::uint32_t> bitmaps, versions;
        for (const auto& resource : all_[module]) {
            EXPECT_EQ(resource.language, 1033) << module << " resource " << resource.id;
            if (resource.type == gauge_host::kBitmapResource) bitmaps.push_back(resource.id);
            else if (resource.type == gauge_host::kVersionResource) versions.push_back(resource.id);
            else ADD_FAILURE() << module << " carries a resource of type " << resource.type;
        }
        EXPECT_EQ(bitmaps, ids) << module;
        EXPECT_EQ(versions, std::vector<std::uint32_t>{version_id.at(module)}) << module;
    }
}

TEST_F(BitmapResources, InformationHeaderAndSizeFollowTheStorageFormat) {
    for (const ExpectedBitmap& expected : kBitmaps) {
        SCOPED_TRACE(std::string(expected.module) + " bitmap " + std::to_string(expected.id));
        const auto* resource = Find(expected.module, gauge_host::kBitmapResource, expected.id);
        ASSERT_NE(resource, nullptr);
        const auto& bytes = resource->bytes;
        ASSERT_EQ(bytes.size(), expected.resource_size);
        ASSERT_EQ(expected.resource_size, 40u + 1024u + static_cast<std::uint32_t>(expected.stride * expected.height));
        const std::uint8_t* header = bytes.data();
        EXPECT_EQ(Word(header, 0), 40u);
        EXPECT_EQ(raw::SignedWord(header, 4), expected.width);
        EXPECT_EQ(raw::SignedWord(header, 8), expected.height) << "positive: rows stored bottom-up";
        EXPECT_EQ(Word(header, 12), 1u | 8u << 16) << "one plane, 8 bits per pixel";
        EXPECT_EQ(Word(header, 16), 0u) << "no compression";
        EXPECT_EQ(Word(header, 20), static_cast<std::uint32_t>(expected.stride * expected.height));
        EXPECT_EQ(Word(header, 24), expected.resolution);
        EXPECT_EQ(Word(header, 28), expected.resolution);
        EXPECT_EQ(Word(header, 32), 256u);
        EXPECT_EQ(Word(header, 36), 256u);
        for (int entry = 0; entry < 256; ++entry) EXPECT_EQ(bytes[40 + 4 * entry + 3], 0) << "palette entry " << entry;
        for (std::int32_t row = 0; row < expected.height; ++row)
            for (std::int32_t pad = expected.width; pad < expected.stride; ++pad)
                EXPECT_EQ(bytes[1064 + row * expected.stride + pad], 0) << "row padding, row " << row;
    }
}

TEST_F(BitmapResources, PureBlackSitsOnlyAtItsPaletteEntriesAndOnlyAroundTheShapes) {
    for (const ExpectedBitmap& expected : kBitmaps) {
        SCOPED_TRACE(std::string(expected.module) + " bitmap " + std::to_string(expected.id));
        const Bitmap bitmap = DecodeOrFail(Find(expected.module, gauge_host::kBitmapResource, expected.id));
        std::set<int> black_entries;
        for (int entry = 0; entry < 256; ++entry)
            if (bitmap.palette[entry].see_through()) black_entries.insert(entry);
        EXPECT_EQ(black_entries, expected.black_entries);

        std::set<int> black_entries_used;
        for (std::uint8_t index : bitmap.indices)
            if (bitmap.palette[index].see_through()) black_entries_used.insert(index);
        EXPECT_EQ(black_entries_used, std::set<int>{expected.surround_entry});

        if (expected.surround == Surround::Painted) continue;
        EXPECT_TRUE(EveryBlackAreaTouchesBorder(bitmap)) << "a black pixel lies inside the shape";
    }
}

// The measurement itself: a black pixel enclosed by the shape is caught, an open notch is not.
TEST(BlackSurround, AnEnclosedBlackPixelIsCaught) {
    Bitmap bitmap;
    bitmap.width = bitmap.height = 5;
    bitmap.palette = std::vector<gauge_host::Color>(256, gauge_host::Color{200, 40, 40});
    bitmap.palette[0] = {0, 0, 0};
    bitmap.indices = {0, 0, 0, 0, 0,
                      0, 1, 1, 1, 0,
                      0, 1, 0, 1, 0,
                      0, 1, 1, 1, 0,
                      0, 0, 0, 0, 0};
    EXPECT_FALSE(EveryBlackAreaTouchesBorder(bitmap));
    bitmap.indices[17] = 0;  // open the shape downwards
    EXPECT_TRUE(EveryBlackAreaTouchesBorder(bitmap));
}

TEST_F(BitmapResources, NoTwoBitmapsShareAPalette) {
    std::map<std::vector<std::uint8_t>, std::string> seen;
    for (const ExpectedBitmap& expected : kBitmaps) {
        const auto& bytes = Find(expected.module, gauge_host::kBitmapResource, expected.id)->bytes;
        const std::vector<std::uint8_t> palette(bytes.begin() + 40, bytes.begin() + 1064);
        const std::string name = std::string(expected.module) + " " + std::to_string(expected.id);
        auto [it, fresh] = seen.emplace(palette, name);
        EXPECT_TRUE(fresh) << name << " has the palette of " << it->second;
    }
}

TEST_F(BitmapResources, TheSeeThroughRowsOfThePlateAndSwitchesAreBlack) {
    struct Rows {
        const char* module;
        std::uint32_t id;
        std::int32_t first, last;  // rows that are wholly pure black
    };
    const Rows rows[] = {
        {"ammeter_gauge", 500, 33, 55}, {"ammeter_gauge", 503, 0, 17}, {"ammeter_gauge", 400, 0, 0},
        {"quadrant_gauge", 200, 0, 2},
    };
    for (const Rows& band : rows) {
        const Bitmap bitmap = DecodeOrFail(Find(band.module, gauge_host::kBitmapResource, band.id));
        for (std::int32_t y = band.first; y <= band.last; ++y)
            for (std::int32_t x = 0; x < bitmap.width; ++x)
                ASSERT_TRUE(bitmap.At(x, y).see_through()) << band.module << " " << band.id << " at " << x << "," << y;
    }
}

// What a background's picture makes of a pixel: unpainted (pure black), painted (never pure
// black), or, near an edge that is rounded, anti-aliased or given only roughly, either.
enum class Paint { Bare, Painted, Either };

struct Box {
    std::int32_t left, top, right, bottom;  // inclusive, background pixels
    bool Holds(std::int32_t x, std::int32_t y) const { return x >= left && x <= right && y >= top && y <= bottom; }
};

// The throttle quadrant: rows 0-2 and everything left, right and between the painted parts are
// bare. The painted boxes keep a pixel or more inside each part's outline and short of its rounded
// corners; the bare boxes keep a pixel or more outside it, more where a part's extent is "about".
Paint QuadrantBackground(std::int32_t x, std::int32_t y) {
    static const Box painted[] = {
        {8, 8, 89, 113},    {12, 3, 85, 7},                           // mixture housing
        {90, 27, 96, 82},   {90, 15, 92, 94},                         // its end cap, x 90-96, rows 15-94
        {8, 114, 89, 245},                                            // pedestal
        {93, 158, 103, 225}, {96, 148, 100, 235},                     // trim wheel, x 92-104, rows 147-236
        {104, 166, 121, 170}, {122, 163, 133, 174}, {120, 167, 135, 170},  // crank and grip, out to x 135
        {123, 289, 128, 361}, {123, 301, 133, 349},                   // red knob, x 123-134, rows 289-361
        {0, 246, 122, 399},                                           // propeller and throttle housing
    };
    static const Box bare[] = {
        {0, 0, 179, 2},     {0, 0, 7, 245},                           // the top rows; left of the column
        {137, 0, 179, 399},                                           // right of everything
        {98, 3, 179, 144},  {91, 3, 97, 13}, {91, 96, 97, 113},       // around the end cap
        {91, 114, 179, 144}, {91, 238, 179, 245},                     // above and below the wheel
        {107, 145, 179, 160}, {107, 177, 179, 237},                   // right of the wheel, off the crank
        {124, 246, 179, 287}, {124, 363, 179, 399}, {136, 289, 179, 361},  // beside the lower housing
    };
    for (const Box& box : painted)
        if (box.Holds(x, y)) return Paint::Painted;
    for (const Box& box : bare)
        if (box.Holds(x, y)) return Paint::Bare;
    return Paint::Either;
}

// The ammeter: the 224 x 224 bezel is painted but for its corners chamfered at 45 degrees (a
// pixel's corner depth is how far it lies from the nearest corner along both edges); below it,
// the panel strip, rows 224-309, is bare apart from the lettering and the switch mounting.
Paint AmmeterBackground(std::int32_t x, std::int32_t y) {
    if (y < 224) {
        const std::int32_t corner_depth = std::min({x + y, 223 - x + y, x + 223 - y, 446 - x - y});
        return corner_depth <= 17 ? Paint::Bare : corner_depth >= 21 ? Paint::Painted : Paint::Either;
    }
    const std::int32_t mounting_distance_squared = (x - 112) * (x - 112) + (y - 273) * (y - 273);
    if (mounting_distance_squared <= 16 * 16) return Paint::Painted;  // about 36 across, at (112, 273)
    const Box lettering[] = {
        {44, 232, 184, 252},  // GENERATOR 2, about x 47-181, y 235-249
        {92, 288, 133, 307},  // OFF, about x 95-130, y 291-304
    };
    for (const Box& box : lettering)
        if (box.Holds(x, y)) return Paint::Either;
    return mounting_distance_squared <= 20 * 20 ? Paint::Either : Paint::Bare;
}

TEST_F(BitmapResources, EachBackgroundIsPureBlackExactlyWhereItsPictureIsUnpainted) {
    struct Background {
        const char* module;
        Paint (*picture)(std::int32_t x, std::int32_t y);
    };
    for (const Background& background : {Background{"quadrant_gauge", QuadrantBackground},
                                         Background{"ammeter_gauge", AmmeterBackground}}) {
        SCOPED_TRACE(background.module);
        const Bitmap bitmap = DecodeOrFail(Find(background.module, gauge_host::kBitmapResource, 200));
        int wrong = 0;
        for (std::int32_t y = 0; y < bitmap.height; ++y)
            for (std::int32_t x = 0; x < bitmap.width; ++x) {
                const Paint expected = background.picture(x, y);
                if (expected == Paint::Either || (expected == Paint::Bare) == bitmap.At(x, y).see_through()) continue;
                // The first few say where; the count says how much.
                if (++wrong <= 5)
                    ADD_FAILURE() << (expected == Paint::Bare ? "paint where the picture is bare" : "pure black inside a painted part")
                                  << " at " << x << "," << y;
            }
        EXPECT_EQ(wrong, 0);
    }
}

}  // namespace
