// The ammeter module as the host sees it: its records read as raw words and checked against the
// gauge's tables, the needle reading through its callback, and the switch through its picture
// callback, its handler and the mouse list.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
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
using raw::AddressOf;
using raw::Double;
using raw::Pointer;
using raw::SignedWord;
using raw::Word;
using raw::Zero;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

std::uint64_t Bits(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

class Ammeter : public testing::Test {
protected:
    ModuleLibrary module{ModuleUnderTest("ammeter_gauge")};
    RecordingHost host{module};

    const void* header() { return &module.gauge(); }
    void* root() { return const_cast<void*>(Pointer(Pointer(header(), 0x08), 0)); }
    void* Child(const void* element) { return const_cast<void*>(Pointer(Pointer(element, 0x28), 0)); }
    NeedleElement& needle() { return *static_cast<NeedleElement*>(Child(root())); }
    IconElement& icon() { return *static_cast<IconElement*>(Child(Child(&needle()))); }
    // The gauge's own binding is the one record BindVar received at install.
    VarBinding* gate() { return gate_; }

    double Reading(double source, double gate_value, std::uint16_t control_word = gauge_host::kX87Double) {
        host.SetVariable(352, source);
        host.SetVariable(171, gate_value);
        return gauge_host::WithX87ControlWord(control_word, [&] { return host.CallElementCallback(needle()); });
    }
    double Picture() { return host.CallElementCallback(icon()); }
    void Click() {
        PixelPos point{5, 5};
        EXPECT_EQ(host.registered_mouse_areas()[2].handler(&point, 0), 0u);
    }

    void SetUp() override {
        host.Install();
        gate_ = reinterpret_cast<VarBinding*>(host.calls().at(1).args.at(0));
    }
    void TearDown() override { EXPECT_TRUE(host.contract_breaks().empty()) << host.contract_breaks().front(); }

    VarBinding* gate_ = nullptr;
};

TEST_F(Ammeter, HeaderNamesTheGauge) {
    ExpectGaugeHeader(header(), "Varn Ammeter");
    EXPECT_EQ(Word(&module.linkage(), 0x18), AddressOf(header()));
}

TEST_F(Ammeter, ElementChainIsBackgroundNeedlePlateSwitch) {
    struct Element {
        std::uint32_t type, resource;
        std::int32_t x, y, offset_x, offset_y;
        std::uint32_t flags;
    };
    const Element chain[] = {
        {0, 200, 0, 0, 0, 0, 1}, {1, 300, 112, 140, 6, 6, 3}, {0, 400, 23, 125, 0, 0, 1}, {4, 500, 103, 244, 0, 0, 3},
    };
    const void* element = root();
    for (std::size_t i = 0; i < std::size(chain); ++i) {
        SCOPED_TRACE("element " + std::to_string(i));
        EXPECT_EQ(Word(element, 0x00), chain[i].type);
        EXPECT_EQ(Word(element, 0x04), chain[i].resource);
        EXPECT_EQ(SignedWord(element, 0x08), chain[i].x);
        EXPECT_EQ(SignedWord(element, 0x0C), chain[i].y);
        EXPECT_EQ(SignedWord(element, 0x18), chain[i].offset_x);
        EXPECT_EQ(SignedWord(element, 0x1C), chain[i].offset_y);
        EXPECT_EQ(Pointer(element, 0x20), header());
        EXPECT_EQ(Word(element, 0x30), chain[i].flags);
        if (i + 1 < std::size(chain)) {
            EXPECT_EQ(Word(Pointer(element, 0x28), 4), 0u);
            element = Child(element);
        }
    }
    EXPECT_EQ(Word(element, 0x28), 0u) << "nothing is drawn over the switch";

    const void* needle_record = &needle();
    EXPECT_EQ(Word(needle_record, 0x3C), 352u);
    EXPECT_NE(Word(needle_record, 0x58), 0u);
    EXPECT_EQ(SignedWord(needle_record, 0x68), 104);
    EXPECT_EQ(SignedWord(needle_record, 0x6C), 6);
    EXPECT_EQ(Word(needle_record, 0x74), 5u);
    EXPECT_EQ(SignedWord(needle_record, 0x78), 6);
    struct Point {
        std::int32_t x, y;
        double value;
    };
    const Point calibration[] = {{29, 90, -50.0}, {65, 56, -25.0}, {112, 43, 0.0}, {159, 56, 25.0}, {193, 90, 50.0}};
    const auto* entries = static_cast<const std::uint8_t*>(Pointer(needle_record, 0x70));
    for (std::size_t i = 0; i < std::size(calibration); ++i) {
        EXPECT_EQ(SignedWord(entries + 24 * i, 0x00), calibration[i].x);
        EXPECT_EQ(SignedWord(entries + 24 * i, 0x04), calibration[i].y);
        EXPECT_EQ(Double(entries + 24 * i, 0x08), calibration[i].value);
    }

    const void* icon_record = &icon();
    EXPECT_EQ(Word(icon_record, 0x3C), 0u) << "the switch picture binds no variable";
    EXPECT_NE(Word(icon_record, 0x58), 0u);
    EXPECT_EQ(Word(icon_record, 0x70), 2u);
}

TEST_F(Ammeter, MouseListHoldsTheSwitchBox) {
    const ExpectedMouseArea list[] = {
        {1, 0, 0, 0, 0, -1, 0},  {1, 103, 244, 18, 56, -1, 0}, {2, 0, 0, 18, 56, 5, 0x20000000},
        {3, 0, 0, 0, 0, -1, 0},  {3, 0, 0, 0, 0, -1, 0},       {0, 0, 0, 0, 0, -1, 0},
    };
    ExpectMouseList(host.mouse_list_as_installed(), list, module.image());
}

TEST_F(Ammeter, InstallBindsTheGateBetweenElementsAndMouseAreas) {
    EXPECT_EQ(host.CalledSlots(), (std::vector<int>{25, 38, 32, 33}));
    const void* gauge_size = reinterpret_cast<const void*>(host.calls()[2].args[2]);
    EXPECT_EQ(raw::Words(gauge_size, 2), (std::vector<std::uint32_t>{224, 310})) << "the background's size";
    EXPECT_EQ(Word(gate(), 0x00), 171u);
    EXPECT_TRUE(module.image().Contains(gate()));
    host.ClearCalls();
    host.Kill();
    EXPECT_EQ(host.CalledSlots(), (std::vector<int>{34, 31})) << "the gate stays bound";
}

TEST_F(Ammeter, GateBindingAndSwitchPositionSurviveKillAndReinstall) {
    Click();
    host.Kill();
    host.Install();
    EXPECT_EQ(Picture(), 1.0) << "still off";
    EXPECT_EQ(Reading(6550, 2500), -20.0);
    Click();
    host.Kill();
    host.Install();
    EXPECT_EQ(Reading(6550, 2500), 10.0);
}

TEST_F(Ammeter, NeedleReadingCases) {
    struct Case {
        const char* what;
        double source, gate, reading;
    };
    const Case cases[] = {
        {"gate exactly at the threshold", 6550, 2000.0, 10.0},
        {"gate just below the threshold", 6550, 1999.9, -20.0},
        {"top of the scale, exactly", 32750, 2500, 50.0},
        {"just past the top", 32751, 2500, 50.0},
        {"far past the top", 65500, 2500, 50.0},
        {"bottom of the scale, exactly", -32750, 2500, -50.0},
        {"just past the bottom", -32751, 2500, -50.0},
        {"gate not a number", 6550, kNaN, -20.0},
        {"source not a number", kNaN, 2500, -50.0},
        {"source plus infinity", kInfinity, 2500, 50.0},
        {"source minus infinity", -kInfinity, 2500, -50.0},
        {"zero", 0.0, 2500, 0.0},
    };
    for (std::uint16_t control_word : {gauge_host::kX87Extended, gauge_host::kX87Double}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + ", x87 control word " + std::to_string(control_word));
            host.ClearCalls();
            EXPECT_EQ(Bits(Reading(c.source, c.gate, control_word)), Bits(c.reading));
            EXPECT_EQ(host.calls(), (std::vector<ServiceCall>{{0, gauge_host::kRefreshVar, {AddressOf(gate())}}}));
        }
    }
}

TEST_F(Ammeter, SwitchedOffTheNeedleRestsAtMinusTwentyAndStillRefreshesTheGate) {
    Click();
    for (double source : {0.0, 6550.0, 32750.0, -99999.0, kNaN}) {
        host.ClearCalls();
        EXPECT_EQ(Reading(source, 2500), -20.0) << source;
        EXPECT_EQ(host.calls(), (std::vector<ServiceCall>{{0, gauge_host::kRefreshVar, {AddressOf(gate())}}}));
    }
}

TEST_F(Ammeter, GateIsReadAfterItsRefreshAtOffsetTwelve) {
    host.SetVariable(171, 2500);
    std::memset(reinterpret_cast<std::uint8_t*>(gate()) + 0x0C, 0, 8);  // stale: a closed gate
    VarBinding input{};
    const double source = 6550;
    std::memcpy(reinterpret_cast<std::uint8_t*>(&input) + 0x0C, &source, 8);
    std::memset(reinterpret_cast<std::uint8_t*>(&input) + 0x04, 0x47, 8);  // host words, not the value
    std::memset(reinterpret_cast<std::uint8_t*>(&input) + 0x14, 0x47, 8);
    EXPECT_EQ(needle().callback(&input), 10.0);

    host.SetVariable(171, 0);
    const double stale_open = 2500;
    std::memcpy(reinterpret_cast<std::uint8_t*>(gate()) + 0x0C, &stale_open, 8);
    EXPECT_EQ(needle().callback(&input), -20.0);
}

// Any pair of 64-bit patterns (NaN payloads, subnormals, signed zeros, huge values) in either
// position, with the switch either way.
TEST_F(Ammeter, ReadingIsAlwaysRestingOrOnTheScaleAndFollowsTheFormula) {
    std::mt19937_64 random(20261210);
    auto any_double = [&] {
        const std::uint64_t bits = random();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    };
    bool switch_on = true;
    for (int trial = 0; trial < 20000; ++trial) {
        if (random() % 8 == 0) {
            Click();
            switch_on = !switch_on;
        }
        const double source = trial % 3 == 0 ? std::ldexp(any_double(), -1000) : any_double();
        const double gate_value = trial % 2 == 0 ? 2000.0 + (random() % 4096) : any_double();
        const double reading = Reading(source, gate_value);

        double expected = source * (1.0 / 655);
        if (!switch_on || !(gate_value >= 2000.0)) expected = -20.0;
        if (expected > 50.0) expected = 50.0;
        else if (!(expected >= -50.0)) expected = -50.0;

        ASSERT_TRUE(reading == -20.0 || (reading >= -50.0 && reading <= 50.0)) << source << " " << gate_value;
        ASSERT_EQ(Bits(reading), Bits(expected)) << source << " " << gate_value;
    }
}

TEST_F(Ammeter, SwitchToggles) {
    EXPECT_EQ(Bits(Picture()), Bits(0.0)) << "on at load";
    host.ClearCalls();
    Click();
    EXPECT_TRUE(host.calls().empty()) << "the switch handler makes no host call";
    EXPECT_EQ(Bits(Picture()), Bits(1.0));
    Click();
    EXPECT_EQ(Bits(Picture()), Bits(0.0)) << "two clicks bring it back on";
}

TEST_F(Ammeter, SwitchBoxIsBackgroundPixels103To120By244To299) {
    const std::pair<std::int32_t, std::int32_t> inside[] = {{103, 244}, {120, 244}, {103, 299}, {120, 299}, {112, 270}};
    bool on = true;
    for (auto [x, y] : inside) {
        EXPECT_EQ(host.PointAt(x, y), 0u) << x << "," << y;
        on = !on;
        EXPECT_EQ(Picture(), on ? 0.0 : 1.0) << x << "," << y;
    }
    const std::pair<std::int32_t, std::int32_t> outside[] = {{102, 244}, {121, 244}, {103, 243}, {103, 300}, {0, 0}};
    for (auto [x, y] : outside) EXPECT_FALSE(host.PointAt(x, y).has_value()) << x << "," << y;
    EXPECT_EQ(Picture(), on ? 0.0 : 1.0);
}

}  // namespace
