// The throttle quadrant module as the host sees it: its records read as raw words and checked
// against the gauge's tables, and its lever handlers driven directly and through the mouse list.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include "host/module_library.h"
#include "host/recording_host.h"
#include "host/x87_control.h"
#include "module_under_test.h"
#include "raw_words.h"
#include "record_expectations.h"
#include "service_call_printer.h"

using gauge_host::ModuleLibrary;
using gauge_host::RecordingHost;
using gauge_host::ServiceCall;
using raw::Double;
using raw::Pointer;
using raw::SignedWord;
using raw::Word;
using raw::Zero;

namespace {

// The six levers: mouse record, event id, pointer travel, slider resource, host variable, and the
// slider's scale as a whole number of pixels over 16384.
struct Lever {
    const char* name;
    int mouse_record;
    std::uint32_t event_id;
    std::int32_t travel;
};
const Lever kLevers[] = {
    {"left mixture", 2, 0x1017F, 80},     {"right mixture", 3, 0x10180, 80},
    {"left propeller", 6, 0x10183, 120},  {"right propeller", 7, 0x10184, 120},
    {"left throttle", 8, 0x1011C, 120},   {"right throttle", 9, 0x1011D, 120},
};

// The exact setting for a pointer y pixels below the top of a column of the given travel.
std::int32_t ReferenceSetting(std::int64_t y, std::int64_t travel) {
    if (y <= 0) return 16383;
    if (y >= travel) return 0;
    return static_cast<std::int32_t>((travel - y) * 16383 / travel);
}

class Quadrant : public testing::Test {
protected:
    ModuleLibrary module{ModuleUnderTest("quadrant_gauge")};
    RecordingHost host{module};

    const void* header() { return &module.gauge(); }
    const void* root() { return Pointer(Pointer(header(), 0x08), 0); }
    MouseArea* mouse_areas() { return host.registered_mouse_areas(); }

    // Calls a lever's handler as the host does and returns what it sent.
    std::vector<ServiceCall> Point(const Lever& lever, std::int32_t x, std::int32_t y, std::uint32_t host_word = 0) {
        host.ClearCalls();
        PixelPos point{x, y};
        EXPECT_EQ(mouse_areas()[lever.mouse_record].handler(&point, host_word), 0u);
        return host.calls();
    }
    ServiceCall Event(const Lever& lever, std::int32_t value) {
        return {0, gauge_host::kSendEvent, {lever.event_id, static_cast<std::uint32_t>(value)}};
    }

    void SetUp() override { host.Install(); }
    void TearDown() override { EXPECT_TRUE(host.contract_breaks().empty()) << host.contract_breaks().front(); }
};

TEST_F(Quadrant, HeaderNamesTheGauge) {
    ExpectGaugeHeader(header(), "Varn Throttle Quadrant");
    EXPECT_EQ(Word(&module.linkage(), 0x18), raw::AddressOf(header()));
}

TEST_F(Quadrant, LeversHangInAChainOverTheBackground) {
    const void* background = root();
    EXPECT_EQ(Word(background, 0x00), 0u);
    EXPECT_EQ(Word(background, 0x04), 200u);
    EXPECT_EQ(SignedWord(background, 0x08), 0);
    EXPECT_EQ(SignedWord(background, 0x0C), 0);
    EXPECT_EQ(Word(background, 0x30), 1u);
    EXPECT_EQ(Pointer(background, 0x20), header());

    struct Slider {
        std::uint32_t resource;
        std::int32_t x, y;
        std::uint32_t var_id;
        double pixels_over_16384;
    };
    const Slider chain[] = {
        {400, 100, 355, 163, -117}, {300, 75, 355, 128, -117}, {600, 48, 366, 164, -121},
        {500, 21, 366, 129, -121},  {800, 57, 81, 165, -86},   {700, 32, 81, 130, -86},
    };
    const void* element = background;
    for (const Slider& expected : chain) {
        SCOPED_TRACE("slider " + std::to_string(expected.resource));
        const void* list = Pointer(element, 0x28);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(Word(list, 4), 0u);
        element = Pointer(list, 0);
        EXPECT_EQ(Word(element, 0x00), 3u);
        EXPECT_EQ(Word(element, 0x04), expected.resource);
        EXPECT_EQ(SignedWord(element, 0x08), expected.x);
        EXPECT_EQ(SignedWord(element, 0x0C), expected.y);
        EXPECT_EQ(SignedWord(element, 0x18), 0);
        EXPECT_EQ(SignedWord(element, 0x1C), 0);
        EXPECT_EQ(Pointer(element, 0x20), header());
        EXPECT_EQ(Word(element, 0x30), 3u);
        EXPECT_EQ(Word(element, 0x3C), 0u) << "no sideways variable";
        EXPECT_EQ(Word(element, 0x58), 0u) << "no x callback";
        EXPECT_EQ(Double(element, 0x60), 0.0);
        EXPECT_EQ(Word(element, 0x68), expected.var_id);
        EXPECT_EQ(Word(element, 0x84), 0u) << "no y callback";
        EXPECT_EQ(Double(element, 0x88), expected.pixels_over_16384 / 16384);
    }
    EXPECT_EQ(Word(element, 0x28), 0u) << "the last lever has nothing over it";
}

TEST_F(Quadrant, MouseListHoldsTwoGroupsOfLeverColumns) {
    constexpr std::uint32_t kLever = 0x00800000;
    const ExpectedMouseArea list[] = {
        {1, 0, 0, 0, 0, -1, 0},            {1, 22, 0, 100, 114, -1, 0},      {2, 0, 0, 50, 114, 5, kLever},
        {2, 50, 0, 50, 114, 5, kLever},    {3, 0, 0, 0, 0, -1, 0},           {1, 20, 238, 154, 162, -1, 0},
        {2, 0, 0, 32, 162, 5, kLever},     {2, 32, 0, 32, 162, 5, kLever},   {2, 64, 0, 45, 162, 5, kLever},
        {2, 109, 0, 45, 162, 5, kLever},   {3, 0, 0, 0, 0, -1, 0},           {3, 0, 0, 0, 0, -1, 0},
        {0, 0, 0, 0, 0, -1, 0},
    };
    ExpectMouseList(host.mouse_list_as_installed(), list, module.image());
}

TEST_F(Quadrant, InstallAndKillMakeExactlyTheFrameCalls) {
    EXPECT_EQ(host.CalledSlots(), (std::vector<int>{25, 32, 33}));
    const void* gauge_size = reinterpret_cast<const void*>(host.calls()[1].args[2]);
    EXPECT_EQ(raw::Words(gauge_size, 2), (std::vector<std::uint32_t>{180, 400})) << "the background's size";
    host.ClearCalls();
    host.Kill();
    EXPECT_EQ(host.CalledSlots(), (std::vector<int>{34, 31}));
}

TEST_F(Quadrant, EveryLeverSendsTheSettingsOfItsTravel) {
    struct Case {
        std::int32_t travel, y, setting;
    };
    const Case cases[] = {
        {120, 1, 16246}, {120, 40, 10922}, {120, 60, 8191}, {120, 80, 5461}, {120, 119, 136},
        {120, 120, 0},   {120, 121, 0},    {80, 1, 16178},  {80, 40, 8191},  {80, 79, 204},
        {80, 80, 0},     {80, 81, 0},
    };
    for (const Lever& lever : kLevers) {
        SCOPED_TRACE(lever.name);
        for (std::int32_t y : {0, -1, -50})
            EXPECT_EQ(Point(lever, 0, y), (std::vector<ServiceCall>{Event(lever, 16383)})) << "y " << y;
        for (const Case& c : cases) {
            if (c.travel != lever.travel) continue;
            EXPECT_EQ(Point(lever, 0, c.y), (std::vector<ServiceCall>{Event(lever, c.setting)})) << "y " << c.y;
        }
    }
}

TEST_F(Quadrant, OnlyThePointersHeightMatters) {
    for (const Lever& lever : kLevers) {
        SCOPED_TRACE(lever.name);
        const auto expected = std::vector<ServiceCall>{Event(lever, ReferenceSetting(40, lever.travel))};
        for (std::int32_t x : {0, 17, -5, 100000})
            for (std::uint32_t word : {0u, 1u, 0xFFFFFFFFu}) EXPECT_EQ(Point(lever, x, 40, word), expected);
    }
}

TEST_F(Quadrant, SweepMatchesTheExactQuotientInEveryX87Precision) {
    for (std::uint16_t control_word : {gauge_host::kX87Extended, gauge_host::kX87Double, gauge_host::kX87Single}) {
        for (const Lever& lever : kLevers) {
            SCOPED_TRACE(std::string(lever.name) + ", x87 control word " + std::to_string(control_word));
            for (std::int32_t y = -300; y <= 300; ++y) {
                host.ClearCalls();
                PixelPos point{0, y};
                MouseHandler handler = mouse_areas()[lever.mouse_record].handler;
                gauge_host::WithX87ControlWord(control_word, [&] { return handler(&point, 0); });
                ASSERT_EQ(host.calls(), (std::vector<ServiceCall>{Event(lever, ReferenceSetting(y, lever.travel))}))
                    << "y " << y;
            }
        }
    }
}

TEST_F(Quadrant, PointersFarOutsideTheColumnGiveTheSoundSetting) {
    const std::int32_t extremes[] = {INT32_MIN, INT32_MIN + 1, -131073, -131072, -131071, -65536,
                                     65536,     131071,        131072,  131073,  INT32_MAX - 1, INT32_MAX};
    for (const Lever& lever : kLevers) {
        SCOPED_TRACE(lever.name);
        for (std::int32_t y : extremes)
            EXPECT_EQ(Point(lever, 0, y), (std::vector<ServiceCall>{Event(lever, y < 0 ? 16383 : 0)})) << "y " << y;
    }
}

// Points in background pixels, dispatched through the registered mouse list.
TEST_F(Quadrant, EachColumnOfTheGaugeDrivesOnlyItsOwnLever) {
    struct Column {
        int lever;
        std::int32_t left, right, top, bottom;  // inclusive, background pixels
    };
    const Column columns[] = {
        {0, 22, 71, 0, 113},    {1, 72, 121, 0, 113},   {2, 20, 51, 238, 399},
        {3, 52, 83, 238, 399},  {4, 84, 128, 238, 399}, {5, 129, 173, 238, 399},
    };
    for (const Column& column : columns) {
        const Lever& lever = kLevers[column.lever];
        SCOPED_TRACE(lever.name);
        for (std::int32_t x : {column.left, (column.left + column.right) / 2, column.right}) {
            for (std::int32_t y = column.top; y <= column.bottom; y += 7) {
                host.ClearCalls();
                ASSERT_EQ(host.PointAt(x, y), 0u) << x << "," << y;
                ASSERT_EQ(host.calls(), (std::vector<ServiceCall>{Event(lever, ReferenceSetting(y - column.top, lever.travel))}))
                    << x << "," << y;
            }
        }
        // The column's whole range: its top sends 16383 and the end of its travel 0.
        host.ClearCalls();
        host.PointAt(column.left, column.top);
        host.PointAt(column.right, column.top + lever.travel);
        EXPECT_EQ(host.calls(), (std::vector<ServiceCall>{Event(lever, 16383), Event(lever, 0)}));
    }
}

TEST_F(Quadrant, PointsOutsideBothGroupsReachNoLever) {
    std::vector<std::pair<std::int32_t, std::int32_t>> outside;
    for (std::int32_t y = 114; y <= 237; ++y)
        for (std::int32_t x = 0; x < 180; x += 9) outside.emplace_back(x, y);  // the pedestal
    for (std::int32_t y : {0, 113}) outside.insert(outside.end(), {{21, y}, {122, y}, {179, y}});
    for (std::int32_t y : {238, 399}) outside.insert(outside.end(), {{19, y}, {174, y}, {179, y}});
    outside.insert(outside.end(), {{50, -1}, {50, 400}});
    host.ClearCalls();
    for (auto [x, y] : outside) EXPECT_FALSE(host.PointAt(x, y).has_value()) << x << "," << y;
    EXPECT_TRUE(host.calls().empty());
}

}  // namespace
