// The fixture module's records as a host reads them: raw words at the documented offsets, read
// from the loaded library before any gauge routine runs. Every check also runs on a copy that
// the loader had to relocate, which shows that each pointer field carries a load-time relocation.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "host/module_library.h"
#if defined(_WIN32)
#include <windows.h>
#endif
#include "host/recording_host.h"
#include "module_under_test.h"
#include "raw_words.h"
#include "record_expectations.h"

using gauge_host::ModuleLibrary;
using gauge_host::Placement;
using raw::Double;
using raw::Pointer;
using raw::SignedWord;
using raw::Word;
using raw::Words;
using raw::Zero;

namespace {

class FixtureRecords : public testing::TestWithParam<Placement> {
protected:
    ModuleLibrary module{ModuleUnderTest("fixture_gauge"), GetParam()};

    // A pointer field must point into the module's own image, wherever the loader put it.
    const void* InImage(const void* record, std::size_t offset) {
        const void* target = Pointer(record, offset);
        EXPECT_TRUE(module.image().Contains(target)) << "pointer at offset " << offset << " leaves the module";
        return target;
    }

    const void* header() { return Pointer(&module.linkage(), 0x18); }
    const void* Root() { return Pointer(Pointer(header(), 0x08), 0); }
    const void* Child(const void* element) {
        const void* list = InImage(element, 0x28);
        EXPECT_EQ(Word(list, 4), 0u) << "a child list holds one element, then null";
        return InImage(list, 0);
    }
};

#if defined(_WIN32)
TEST_P(FixtureRecords, ModuleIsPlacedWhereTheTestAskedFor) {
    if (GetParam() != Placement::AwayFromPreferred) return;
    ASSERT_NE(module.avoided_base(), 0u);
    EXPECT_NE(module.image().begin(), module.avoided_base()) << "the loader did not relocate the module";
}

DWORD WINAPI DoNothing(void*) { return 0; }

// Starting and ending a thread sends the DLL thread attach and detach notifications; they change
// nothing in the records.
TEST_P(FixtureRecords, ThreadNotificationsLeaveTheRecordsAlone) {
    const auto linkage = Words(&module.linkage(), 8);
    const auto imports = Words(module.import_table(), 4);
    const auto header_words = Words(header(), 22);
    HANDLE thread = CreateThread(nullptr, 0, DoNothing, nullptr, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_EQ(Words(&module.linkage(), 8), linkage);
    EXPECT_EQ(Words(module.import_table(), 4), imports);
    EXPECT_EQ(Words(header(), 22), header_words);
}
#endif

TEST_P(FixtureRecords, LinkageAndImportTableReadAsWords) {
    const void* linkage = &module.linkage();
    auto words = Words(linkage, 8);
    EXPECT_EQ(words[0], 19u);
    InImage(linkage, 0x04);
    EXPECT_EQ(words[2], words[1]) << "init and deinit are one empty routine";
    EXPECT_EQ(words[3], 0u);
    EXPECT_EQ(words[4], 0u);
    EXPECT_EQ(words[5], 0u);
    InImage(linkage, 0x18);
    EXPECT_EQ(words[7], 0u) << "one gauge, then the null end";

    EXPECT_EQ(Words(module.import_table(), 4), (std::vector<std::uint32_t>{15, 0, 0, 0}));
    EXPECT_TRUE(module.image().Contains(module.import_table()));
}

TEST_P(FixtureRecords, GaugeHeaderReadsAsWords) {
    const void* gauge = header();
    ExpectGaugeHeader(gauge, "Fixture Gauge");
    InImage(gauge, 0x04);
    const void* root_variable = InImage(gauge, 0x08);
    EXPECT_EQ(InImage(root_variable, 0), Root());
    for (std::size_t routine = 0x0C; routine <= 0x24; routine += 4) InImage(gauge, routine);
    std::set<std::uint32_t> routines;
    for (std::size_t routine = 0x0C; routine <= 0x24; routine += 4) routines.insert(Word(gauge, routine));
    EXPECT_EQ(routines.size(), 7u) << "seven distinct routines";
}

TEST_P(FixtureRecords, ElementChainReadsAtItsOffsets) {
    const void* gauge = header();
    struct Expected {
        std::uint32_t type, resource;
        std::int32_t x, y, offset_x, offset_y;
        std::uint32_t flags;
    };
    const Expected chain[] = {
        {0, 200, 0, 0, 0, 0, 1}, {1, 300, 41, 42, 3, 4, 3}, {0, 350, 61, 62, 0, 0, 1},
        {3, 400, 81, 82, 0, 0, 3}, {4, 500, 101, 102, 0, 0, 3},
    };
    const void* element = Root();
    for (const Expected& expected : chain) {
        SCOPED_TRACE("element with resource " + std::to_string(expected.resource));
        EXPECT_EQ(Word(element, 0x00), expected.type);
        EXPECT_EQ(Word(element, 0x04), expected.resource);
        EXPECT_EQ(SignedWord(element, 0x08), expected.x);
        EXPECT_EQ(SignedWord(element, 0x0C), expected.y);
        EXPECT_TRUE(Zero(element, 0x10, 8));
        EXPECT_EQ(SignedWord(element, 0x18), expected.offset_x);
        EXPECT_EQ(SignedWord(element, 0x1C), expected.offset_y);
        EXPECT_EQ(InImage(element, 0x20), gauge);
        EXPECT_TRUE(Zero(element, 0x24, 4));
        EXPECT_TRUE(Zero(element, 0x2C, 4));
        EXPECT_EQ(Word(element, 0x30), expected.flags);
        EXPECT_TRUE(Zero(element, 0x34, 8));
        if (expected.type == 4) {
            EXPECT_EQ(Word(element, 0x28), 0u) << "the last element has a null child list";
        } else {
            element = Child(element);
        }
    }
}

TEST_P(FixtureRecords, ElementKindsCarryTheirOwnFields) {
    const void* background = Root();
    EXPECT_TRUE(Zero(background, 0x3C, 80 - 0x3C)) << "image and host area are zero at load";

    const void* needle = Child(background);
    EXPECT_EQ(Word(needle, 0x3C), 22u);
    EXPECT_TRUE(Zero(needle, 0x40, 28 - 4)) << "binding words and value zero at load";
    InImage(needle, 0x58);
    EXPECT_TRUE(Zero(needle, 0x5C, 12));
    EXPECT_EQ(SignedWord(needle, 0x68), 51);
    EXPECT_EQ(SignedWord(needle, 0x6C), 4);
    const void* calibration = InImage(needle, 0x70);
    EXPECT_EQ(Word(needle, 0x74), 3u);
    EXPECT_EQ(SignedWord(needle, 0x78), 9);
    EXPECT_TRUE(Zero(needle, 0x7C, 100));
    const double values[] = {-1.5, 0.25, 3.0};
    const std::int32_t points[][2] = {{10, 90}, {50, 20}, {90, 90}};
    for (int i = 0; i < 3; ++i) {
        const auto* entry = static_cast<const std::uint8_t*>(calibration) + 24 * i;
        EXPECT_EQ(SignedWord(entry, 0x00), points[i][0]);
        EXPECT_EQ(SignedWord(entry, 0x04), points[i][1]);
        EXPECT_EQ(Double(entry, 0x08), values[i]);
        EXPECT_TRUE(Zero(entry, 0x10, 8));
    }

    const void* plate = Child(needle);
    EXPECT_TRUE(Zero(plate, 0x3C, 80 - 0x3C));

    const void* slider = Child(plate);
    EXPECT_EQ(Word(slider, 0x3C), 33u);
    EXPECT_TRUE(Zero(slider, 0x40, 24));
    EXPECT_EQ(Word(slider, 0x58), 0u);
    EXPECT_TRUE(Zero(slider, 0x5C, 4));
    EXPECT_EQ(Double(slider, 0x60), 0.5);
    EXPECT_EQ(Word(slider, 0x68), 34u);
    EXPECT_TRUE(Zero(slider, 0x6C, 24));
    EXPECT_EQ(Word(slider, 0x84), 0u);
    EXPECT_EQ(Double(slider, 0x88), -0.25);
    EXPECT_TRUE(Zero(slider, 0x90, 24));

    const void* icon = Child(slider);
    EXPECT_EQ(Word(icon, 0x3C), 44u);
    EXPECT_TRUE(Zero(icon, 0x40, 24));
    InImage(icon, 0x58);
    EXPECT_TRUE(Zero(icon, 0x5C, 20));
    EXPECT_EQ(Word(icon, 0x70), 3u);
    EXPECT_TRUE(Zero(icon, 0x74, 20));
}

TEST_P(FixtureRecords, MouseListReadsAtItsOffsets) {
    const ExpectedMouseArea list[] = {
        {1, 0, 0, 0, 0, -1, 0},       {1, 10, 20, 60, 40, -1, 0}, {2, 0, 0, 30, 40, 5, 0x00800000},
        {1, 30, 0, 30, 40, -1, 0},    {2, 0, 0, 30, 40, 5, 0x00800000}, {3, 0, 0, 0, 0, -1, 0},
        {3, 0, 0, 0, 0, -1, 0},       {3, 0, 0, 0, 0, -1, 0},     {0, 0, 0, 0, 0, -1, 0},
    };
    // The list is reached only through the install routine: read it as InstallMouseAreas got it.
    gauge_host::RecordingHost host(module);
    host.Install();
    ExpectMouseList(host.mouse_list_as_installed(), list, module.image());
}

// A shared object is relocated wherever it lands, so one load shows it; a DLL is loaded once at
// its preferred base and once away from it.
#if defined(_WIN32)
#define FIXTURE_PLACEMENTS testing::Values(Placement::Preferred, Placement::AwayFromPreferred)
#else
#define FIXTURE_PLACEMENTS testing::Values(Placement::Preferred)
#endif
INSTANTIATE_TEST_SUITE_P(Load, FixtureRecords, FIXTURE_PLACEMENTS,
                         [](const auto& info) {
                             return info.param == Placement::Preferred ? "AtPreferredBase" : "Relocated";
                         });

}  // namespace
