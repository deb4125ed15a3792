// `gauge_preview` on DLL files damaged in the structures the Windows loader and the host trust:
// one line naming the check each fails, before the loader runs any code of the module. Then a few
// thousand damaged variants of the tiny gauge's DLL through the checks made before loading, in
// this process (a crash there would end the test), with a sample of those that pass them through
// the tool itself.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "host/module_file.h"
#include "host/module_records.h"
#include "host/module_resources.h"
#include "preview_test_support.h"
#include "tools/preview/module_checks.h"

namespace {

using namespace preview_test;
using Bytes = std::vector<std::uint8_t>;

Bytes ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), {});
}

std::string WriteAll(const std::string& name, const Bytes& bytes) {
    const std::string path = TemporaryPath(name);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return path;
}

std::uint32_t Word(const Bytes& bytes, std::size_t at) {
    std::uint32_t word;
    std::memcpy(&word, bytes.data() + at, 4);
    return word;
}
void SetWord(Bytes& bytes, std::size_t at, std::uint32_t word) { std::memcpy(bytes.data() + at, &word, 4); }

// Where the PE headers put things in the tiny gauge's DLL, read as the loader reads them.
struct Layout {
    std::size_t optional_header, section_table, export_directory_entry, resource_directory_entry, resource_root;
    explicit Layout(const Bytes& dll) {
        const std::size_t pe = Word(dll, 0x3C);
        const std::uint16_t optional_size = static_cast<std::uint16_t>(Word(dll, pe + 20) & 0xFFFF);
        optional_header = pe + 24;
        section_table = optional_header + optional_size;
        export_directory_entry = optional_header + 96;
        resource_directory_entry = optional_header + 96 + 2 * 8;
        const std::uint32_t resource_rva = Word(dll, resource_directory_entry);
        const std::uint16_t sections = static_cast<std::uint16_t>(Word(dll, pe + 4) >> 16);
        resource_root = 0;
        for (std::size_t i = 0; i < sections; ++i) {
            const std::size_t section = section_table + i * 40;
            const std::uint32_t rva = Word(dll, section + 12), size = Word(dll, section + 16), raw = Word(dll, section + 20);
            if (resource_rva >= rva && resource_rva < rva + size) resource_root = raw + (resource_rva - rva);
        }
    }
};

TEST(DamagedDll, EachDamageGetsOneLineNamingTheCheckItFails) {
    const Bytes dll = ReadAll(BuiltModule("tiny_gauge"));
    const Layout layout(dll);
    ASSERT_NE(layout.resource_root, 0u);
    auto damaged = [&](auto change) {
        Bytes bytes = dll;
        change(bytes);
        return bytes;
    };
    const struct {
        const char* what;
        Bytes file;
        const char* message;
    } kCases[] = {
        {"truncated headers", Bytes(dll.begin(), dll.begin() + 0x90), "the loader rejects it: its PE headers lie outside the file"},
        {"a section table past the end of the file", Bytes(dll.begin(), dll.begin() + layout.section_table + 8),
         "the loader rejects it: its section table runs past the end of the file"},
        {"an export directory outside the image", damaged([&](Bytes& b) { SetWord(b, layout.export_directory_entry, 0x7FFF0000); }),
         "the loader rejects it: its export directory points outside the image"},
        // The first type's entry names the root directory as its own subdirectory.
        {"a resource tree that loops",
         damaged([&](Bytes& b) { SetWord(b, layout.resource_root + 20, 0x80000000u); }),
         "its resource tree loops: a directory contains itself"},
        {"a resource tree pointing outside its section",
         damaged([&](Bytes& b) { SetWord(b, layout.resource_root + 20, 0x80000000u | 0x00FFFFF0u); }),
         "its resource tree points outside its resource section"},
    };
    for (const auto& test : kCases) {
        SCOPED_TRACE(test.what);
        const std::string path = WriteAll(std::string("damaged_") + std::to_string(&test - kCases) + ".dll", test.file);
        const ToolRun run = RunPreviewTool({"inspect", path});
        EXPECT_EQ(run.exit_code, 1) << run.output;
        EXPECT_EQ(run.output, "gauge_preview: " + path + ": " + test.message + "\n");
    }
}

// The checks before loading, in this process, as the tool makes them: the verdict, or "" where
// the variant passes every check that keeps the host from loading it.
std::string VerdictBeforeLoading(const std::string& path) {
    try {
        const gauge_host::ModuleFile file = gauge_host::ModuleFile::Read(path);
        gauge_host::RequireGaugeExports(file);
        const gauge_host::ModuleResources resources(file);
        const gauge_host::ModuleRecords records = gauge_host::ReadModuleRecords(
            file.image(), file.FindExport("Linkage")->address, file.FindExport("ImportTable")->address);
        for (const gauge_preview::CheckOutcome& outcome : gauge_preview::CheckBeforeLoading(file, records, resources))
            if (outcome.blocks_install && !outcome.failures.empty()) return outcome.check + ": " + outcome.failures.front();
        return "";
    } catch (const gauge_host::ModuleLoadError& error) {
        return error.what();
    }
}

TEST(DamagedDll, ThousandsOfDamagedVariantsGetAVerdictBeforeLoading) {
    const Bytes dll = ReadAll(BuiltModule("tiny_gauge"));
    const Layout layout(dll);
    // The parts damaged: the headers and section table, the export directory's entry and its
    // section, the resource tree and the records.
    const struct {
        std::size_t first, end;
    } kParts[] = {{0, layout.section_table + 7 * 40}, {layout.resource_root, layout.resource_root + 256}, {0x400, dll.size()}};
    const std::uint32_t kWords[] = {0, 1, 0x7F, 0x80, 0xFFFF, 0x10000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
    std::mt19937 random(20261211);
    constexpr int kVariants = 3000, kThroughTheTool = 8;
    int rejected = 0, passed = 0, run_through_tool = 0;
    for (int variant = 0; variant < kVariants; ++variant) {
        Bytes bytes = dll;
        const auto& part = kParts[variant % std::size(kParts)];
        for (int change = 0; change < 1 + static_cast<int>(random() % 4); ++change) {
            const std::size_t at = part.first + random() % (part.end - part.first - 4);
            if (random() % 2) bytes[at] = static_cast<std::uint8_t>(random());
            else SetWord(bytes, at & ~std::size_t{3}, kWords[random() % std::size(kWords)]);
        }
        const std::string path = WriteAll("variant.dll", bytes);
        const std::string verdict = VerdictBeforeLoading(path);
        if (!verdict.empty()) {
            ++rejected;
            EXPECT_EQ(verdict.find('\n'), std::string::npos) << verdict;
            continue;
        }
        ++passed;
        if (run_through_tool == kThroughTheTool) continue;
        // A variant the checks let through goes to the loader: the tool must still end with a
        // verdict or a report, each line naming the module.
        ++run_through_tool;
        const std::string tool_path = WriteAll("variant_" + std::to_string(variant) + ".dll", bytes);
        for (const char* command : {"inspect", "render"}) {
            std::vector<std::string> arguments{command, tool_path, "--time-limit", "20"};
            if (std::string(command) == "render") arguments.insert(arguments.end(), {"--out", tool_path + ".png"});
            const ToolRun run = RunPreviewTool(arguments);
            EXPECT_TRUE(run.exit_code == 0 || run.exit_code == 1) << variant << " " << command << "\n" << run.output;
            for (std::size_t at = run.output.find("gauge_preview: "); at != std::string::npos; at = run.output.find("gauge_preview: ", at + 1))
                EXPECT_EQ(run.output.compare(at, 15 + tool_path.size(), "gauge_preview: " + tool_path), 0) << run.output;
        }
    }
    std::cout << kVariants << " variants: " << rejected << " refused before loading, " << passed << " passed the checks, "
              << run_through_tool << " of them run through inspect and render\n";
    EXPECT_GT(rejected, 0);
    EXPECT_EQ(run_through_tool, kThroughTheTool);
}

}  // namespace
