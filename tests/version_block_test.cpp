// Each module's version block as the host reads it: the raw block (fixed part, strings in their
// stored order, translation) on both targets, and on Windows also through the system's own
// version API on the DLL file.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "host/module_library.h"
#include "host/module_resources.h"
#include "host/version_block.h"
#include "module_under_test.h"

#if defined(_WIN32)
#include <windows.h>
#endif

using gauge_host::ModuleLibrary;
using gauge_host::ModuleResources;

namespace {

struct Expected {
    const char* module;
    std::uint32_t resource_id;
    const char* product_name;
};
// The maker's name and legal notice, the same in every module.
constexpr const char* kCompanyName = "Varn Gauge Works";
constexpr const char* kLegalCopyright = "Copyright (C) 2026 Varn Gauge Works. All rights reserved.";

const Expected kModules[] = {
    {"quadrant_gauge", 1, "Varn Throttle Quadrant"},
    {"ammeter_gauge", 100, "Varn Ammeter 2"},
};

TEST(VersionBlock, RawBlockHoldsTheFixedPartSixStringsInOrderAndTheTranslation) {
    for (const Expected& expected : kModules) {
        SCOPED_TRACE(expected.module);
        ModuleLibrary module(ModuleUnderTest(expected.module));
        ModuleResources resources(module.file());
        const auto* resource = resources.Find(gauge_host::kVersionResource, expected.resource_id);
        ASSERT_NE(resource, nullptr);
        auto block = gauge_host::ParseVersionBlock(resource->bytes);
        ASSERT_TRUE(block.has_value());
        EXPECT_EQ(block->key, "VS_VERSION_INFO");
        const auto& fixed = block->fixed;
        EXPECT_EQ(fixed.signature, 0xFEEF04BDu);
        EXPECT_EQ(fixed.structure_version, 0x00010000u);
        EXPECT_EQ(fixed.file_version_high, 0x00010000u);
        EXPECT_EQ(fixed.file_version_low, 0u);
        EXPECT_EQ(fixed.product_version_high, 0x00010000u);
        EXPECT_EQ(fixed.product_version_low, 0u);
        EXPECT_EQ(fixed.file_flags_mask, 0x3Fu);
        EXPECT_EQ(fixed.file_flags, 0u);
        EXPECT_EQ(fixed.operating_system, 0x10004u);
        EXPECT_EQ(fixed.file_type, 2u);
        EXPECT_EQ(fixed.file_subtype, 0u);
        EXPECT_EQ(fixed.file_date_high, 0u);
        EXPECT_EQ(fixed.file_date_low, 0u);

        EXPECT_EQ(block->string_tables, std::vector<std::string>{"040904b0"});
        std::vector<std::string> names;
        for (const auto& [name, value] : block->strings) names.push_back(name);
        EXPECT_EQ(names, (std::vector<std::string>{"CompanyName", "FileDescription", "FileVersion", "LegalCopyright",
                                                   "ProductName", "ProductVersion"}));
        ASSERT_EQ(block->strings.size(), 6u);
        EXPECT_EQ(block->strings[0].second, kCompanyName);
        EXPECT_EQ(block->strings[1].second, "Varn Gauge");
        EXPECT_EQ(block->strings[2].second, "1.0.0");
        EXPECT_EQ(block->strings[3].second, kLegalCopyright);
        EXPECT_EQ(block->strings[4].second, expected.product_name);
        EXPECT_EQ(block->strings[5].second, "1.0.0");
        EXPECT_EQ(block->translations, (std::vector<std::pair<std::uint16_t, std::uint16_t>>{{0x0409, 0x04B0}}));
    }
}

#if defined(_WIN32)
// The system's version API reads only a version block of id 1, which the throttle quadrant
// carries; the ammeter's block, id 100, is read above through the loader's FindResource.
TEST(VersionBlock, SystemVersionApiReadsTheQuadrantsBlock) {
    for (const Expected& expected : {kModules[0]}) {
        const std::string path = ModuleUnderTest(expected.module);
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
        ASSERT_GT(size, 0u);
        std::vector<char> data(size);
        ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, data.data()));

        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
        EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
        EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
        EXPECT_EQ(fixed->dwFileVersionLS, 0u);
        EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
        EXPECT_EQ(fixed->dwFileOS, 0x10004u);
        EXPECT_EQ(fixed->dwFileType, 2u);

        auto text = [&](const char* name) {
            char* value = nullptr;
            UINT chars = 0;
            const std::string query = std::string("\\StringFileInfo\\040904b0\\") + name;
            return VerQueryValueA(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &chars)
                       ? std::string(value)
                       : std::string("<missing>");
        };
        EXPECT_EQ(text("FileDescription"), "Varn Gauge");
        EXPECT_EQ(text("FileVersion"), "1.0.0");
        EXPECT_EQ(text("ProductName"), expected.product_name);
        EXPECT_EQ(text("ProductVersion"), "1.0.0");
        EXPECT_EQ(text("CompanyName"), kCompanyName);
        EXPECT_EQ(text("LegalCopyright"), kLegalCopyright);

        WORD* translation = nullptr;
        ASSERT_TRUE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                                   &length));
        ASSERT_EQ(length, 4u);
        EXPECT_EQ(translation[0], 0x0409);
        EXPECT_EQ(translation[1], 0x04B0);
    }
}
#endif

}  // namespace
