// Checks of records that every gauge module carries in the same form, read as raw words.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/module_library.h"
#include "raw_words.h"

// The header's fixed words: version 610, the name, reserved 0, constant 181, ten reserved zeros.
inline void ExpectGaugeHeader(const void* header, const char* gauge_name) {
    EXPECT_EQ(raw::Word(header, 0x00), 610u);
    EXPECT_STREQ(static_cast<const char*>(raw::Pointer(header, 0x04)), gauge_name);
    EXPECT_EQ(raw::Word(header, 0x28), 0u);
    EXPECT_EQ(raw::Word(header, 0x2C), 181u);
    EXPECT_TRUE(raw::Zero(header, 0x30, 40));
}

struct ExpectedMouseArea {
    std::uint32_t kind;
    std::int32_t x, y, width, height, rect_code;
    std::uint32_t mouse_mask;
};

// A mouse list as InstallMouseAreas received it: 44 bytes a record, host-owned words zero, and a
// handler into the module on every child and on nothing else.
template <std::size_t N>
void ExpectMouseList(const std::vector<std::uint8_t>& installed, const ExpectedMouseArea (&list)[N],
                     const gauge_host::ModuleImage& image) {
    ASSERT_EQ(installed.size(), 44 * N);
    for (std::size_t i = 0; i < N; ++i) {
        SCOPED_TRACE("mouse record " + std::to_string(i));
        const std::uint8_t* record = installed.data() + 44 * i;
        EXPECT_EQ(raw::Word(record, 0x00), list[i].kind);
        EXPECT_EQ(raw::SignedWord(record, 0x04), list[i].x);
        EXPECT_EQ(raw::SignedWord(record, 0x08), list[i].y);
        EXPECT_EQ(raw::SignedWord(record, 0x0C), list[i].width);
        EXPECT_EQ(raw::SignedWord(record, 0x10), list[i].height);
        EXPECT_EQ(raw::SignedWord(record, 0x14), list[i].rect_code);
        EXPECT_EQ(raw::Word(record, 0x1C), list[i].mouse_mask);
        if (list[i].kind == 2) EXPECT_TRUE(image.Contains(raw::Pointer(record, 0x24))) << "the handler";
        else EXPECT_EQ(raw::Word(record, 0x24), 0u);
        EXPECT_TRUE(raw::Zero(record, 0x18, 4));
        EXPECT_TRUE(raw::Zero(record, 0x20, 4));
        EXPECT_TRUE(raw::Zero(record, 0x28, 4));
    }
}
