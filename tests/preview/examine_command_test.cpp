// `gauge_preview inspect` and `render` on sound modules, on modules built wrong on purpose (one
// fault each), on modules whose code brings the host down, and on files that are no gauge module:
// a clear verdict with one line per failure and exit status 1, never a crash, a hang or the wrong
// file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "preview_test_support.h"

namespace {

using namespace preview_test;

int Count(const std::string& output, const std::string& text) {
    int count = 0;
    for (std::size_t at = output.find(text); at != std::string::npos; at = output.find(text, at + text.size())) ++count;
    return count;
}
int FailedChecks(const std::string& output) { return Count(output, "\n  FAILED  "); }
int Lines(const std::string& output) { return Count(output, "\n"); }

ToolRun Render(const std::string& module, std::vector<std::string> options = {}) {
    std::vector<std::string> arguments{"render", BuiltModule(module)};
    arguments.insert(arguments.end(), options.begin(), options.end());
    arguments.insert(arguments.end(), {"--out", TemporaryPath("examine.png")});
    return RunPreviewTool(arguments);
}

TEST(InspectCommand, SoundModulesPassEveryCheckAndShowWhatTheHostSees) {
    const struct {
        const char* module;
        std::vector<const char*> seen;
    } kCases[] = {
        {"quadrant_gauge",
         {"gauge \"Varn Throttle Quadrant\"", "slider  bitmap 300  position (75, 355)",
          "y: var 128 scale -0.00714111328125 (-117/16384)", "child  x 84..128, y 238..399  (45 x 162)",
          "bitmap 200  language 1033  73064 bytes  180 x 400", "ProductName = \"Varn Throttle Quadrant\""}},
        {"ammeter_gauge",
         {"gauge \"Varn Ammeter\"", "needle  bitmap 300  position (112, 140)  offset (6, 6)",
          "icon  bitmap 500  position (103, 244)", "pictures 2", "child  x 103..120, y 244..299  (18 x 56)",
          "bitmap 503  language 1033  2184 bytes  18 x 56", "ProductName = \"Varn Ammeter 2\""}},
        {"tiny_gauge", {"gauge \"Tiny Gauge\"", "static image  bitmap 300  position (2, 2)"}},
        {"broken_gauge", {"gauge \"Broken Gauge\"", "needle  bitmap 300  position (4, 4)"}},
        // Linked to stand at 0x10000000 rather than 0: its segments are still the module's own.
        {"broken_gauge_other_base", {"gauge \"Broken Gauge\"", "child  x 0..7, y 0..7  (8 x 8)"}},
        // A pivot two billion pixels off the needle's bitmap: drawing it costs no more for that.
        {"broken_gauge_far_pivot", {"offset (-2000000000, 1)"}},
    };
    for (const auto& test : kCases) {
        SCOPED_TRACE(test.module);
        const ToolRun run = RunPreviewTool({"inspect", BuiltModule(test.module)});
        EXPECT_EQ(run.exit_code, 0) << run.output;
        EXPECT_EQ(FailedChecks(run.output), 0) << run.output;
        for (const char* seen : test.seen) EXPECT_NE(run.output.find(seen), std::string::npos) << seen << "\n" << run.output;
        const ToolRun rendered = Render(test.module);
        EXPECT_EQ(rendered.exit_code, 0) << rendered.output;
        EXPECT_EQ(rendered.output, "");
    }
}

// Each module breaks one rule. `inspect` names exactly the failed checks; `render` refuses to
// install the gauge with one line per failure that keeps it from doing so, or draws it where the
// fault harms nothing.
TEST(InspectCommand, EachBrokenModuleFailsExactlyTheChecksOfItsFault) {
    const struct {
        const char* module;
        std::vector<const char*> failures;  // as inspect lists them
        const char* render;                 // render's one line, or null where it draws
    } kCases[] = {
        {"tiny_gauge_extra_export", {"FAILED  exports: it also exports TinyExtraExport (a routine)"}, nullptr},
        {"tiny_gauge_open_parent",
         {"FAILED  mouse list: the parent at record 0 is never closed"},
         "check failed: host contract at install: InstallMouseAreas was given a mouse list the host cannot take: the "
         "parent at record 0 is never closed"},
        {"tiny_gauge_missing_bitmap",
         {"FAILED  bitmaps the elements name: static image element at 0x"}, "(bitmap 400): the module has no bitmap 400"},
        {"tiny_gauge_read_only_root",
         {"FAILED  records: gauge \"Tiny Gauge\": static image element at 0x"},
         "(bitmap 200) lies in read-only memory, where the host writes its fields"},
        {"tiny_gauge_german",
         {"(bitmap 200): the module has bitmap 200 only in language 1031; the host looks for language 1033"},
         "the module has bitmap 200 only in language 1031"},
        {"tiny_gauge_undecodable",
         {"FAILED  bitmaps the elements name: static image element at 0x", "FAILED  see-through colour: bitmap 200 does not"},
         "(bitmap 200): its bitmap 200 does not decode: not one plane of 8 bits per pixel"},
        {"tiny_gauge_wide",
         {"FAILED  bitmaps the elements name: the background bitmap 200 is 1100 x 1 pixels; a gauge is at most 1024 x 1024"},
         "the background bitmap 200 is 1100 x 1 pixels"},
        {"broken_gauge_calibration_outside", {"(bitmap 300): its 2 calibration points lie outside the module"},
         "its 2 calibration points lie outside the module"},
        {"broken_gauge_gap_pointer", {"(bitmap 300): its 2 calibration points lie outside the module"},
         "its 2 calibration points lie outside the module"},
        {"broken_gauge_tree_loop", {"is an element met before: the tree has a loop or shares an element"},
         "is an element met before: the tree has a loop"},
        {"broken_gauge_stray_child", {"(bitmap 0) overlaps static image element at 0x"}, "(bitmap 0) overlaps static image"},
        {"broken_gauge_huge_count", {"(bitmap 300) claims 1073741824 calibration points; at most 256 make sense"},
         "claims 1073741824 calibration points"},
        {"broken_gauge_deep_chain", {"stands deeper than 32 levels in the element tree"}, "stands deeper than 32 levels"},
        {"broken_gauge_long_name", {"its name is not a text of at most 255 characters inside the module"},
         "its name is not a text of at most 255 characters"},
    };
    for (const auto& test : kCases) {
        SCOPED_TRACE(test.module);
        const ToolRun run = RunPreviewTool({"inspect", BuiltModule(test.module)});
        EXPECT_EQ(run.exit_code, 1) << run.output;
        for (const char* failure : test.failures) EXPECT_NE(run.output.find(failure), std::string::npos) << failure << "\n" << run.output;
        EXPECT_EQ(FailedChecks(run.output), static_cast<int>(test.failures.size())) << run.output;

        const ToolRun rendered = Render(test.module);
        if (test.render == nullptr) {
            EXPECT_EQ(rendered.exit_code, 0) << rendered.output;
            continue;
        }
        EXPECT_EQ(rendered.exit_code, 1) << rendered.output;
        EXPECT_NE(rendered.output.find(test.render), std::string::npos) << rendered.output;
        EXPECT_EQ(Lines(rendered.output), 1) << rendered.output;
    }
}

// A module whose own code crashes or never returns: one line saying so, for every command.
TEST(InspectCommand, AModuleWhoseCodeBringsTheHostDownGetsOneClearError) {
    const struct {
        const char* module;
        const char* message;
    } kCases[] = {
        {"broken_gauge_crashing_install", "broken_gauge_crashing_install.so: the module crashed the host (signal 11) in its install routine\n"},
        {"broken_gauge_endless_install", "broken_gauge_endless_install.so: the module did not finish its install routine within 2 s\n"},
    };
    for (const auto& test : kCases)
        for (const char* command : {"inspect", "render", "sheet"}) {
            SCOPED_TRACE(std::string(test.module) + " " + command);
            std::vector<std::string> arguments{command, BuiltModule(test.module), "--time-limit", "2"};
            if (std::string(command) != "inspect") arguments.insert(arguments.end(), {"--out", TemporaryPath("crash.png")});
            const ToolRun run = RunPreviewTool(arguments);
            EXPECT_EQ(run.exit_code, 1) << run.output;
            EXPECT_EQ(Count(run.output, test.message), 1) << run.output;
            EXPECT_EQ(Count(run.output, "gauge_preview: "), 1) << run.output;
        }
}

std::string WriteFile(const std::string& name, const std::string& bytes) {
    const std::string path = TemporaryPath(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::string FirstBytesOf(const std::string& path, std::size_t count) {
    std::ifstream file(path, std::ios::binary);
    std::string bytes(count, '\0');
    file.read(bytes.data(), static_cast<std::streamsize>(count));
    return bytes.substr(0, static_cast<std::size_t>(file.gcount()));
}

TEST(InspectCommand, AFileThatIsNoGaugeModuleGetsOneClearError) {
    const struct {
        const char* what;
        std::string path;
        const char* message;
    } kCases[] = {
        {"a text file", WriteFile("notes.so", "not a library\n"), "notes.so: the loader rejects it: it is not an ELF file"},
        {"a truncated module", WriteFile("truncated.so", FirstBytesOf(BuiltModule("quadrant_gauge"), 1200)),
         "truncated.so: the loader rejects it: program header 1 loads bytes from beyond the end of the file (the file "
         "is truncated)"},
        {"a missing file", TemporaryPath("absent.so"), "absent.so: cannot be read: No such file or directory"},
        {"a library without the exports", BuiltModule("plain_library"), "plain_library.so: not a gauge module: it does not export Linkage"},
    };
    for (const auto& test : kCases) {
        SCOPED_TRACE(test.what);
        for (const char* command : {"inspect", "render"}) {
            std::vector<std::string> arguments{command, test.path};
            if (std::string(command) == "render") arguments.insert(arguments.end(), {"--out", TemporaryPath("none.png")});
            const ToolRun run = RunPreviewTool(arguments);
            EXPECT_EQ(run.exit_code, 1) << run.output;
            EXPECT_NE(run.output.find(test.message), std::string::npos) << run.output;
            // One line: the error alone, no report and no trace of a crash.
            EXPECT_EQ(Lines(run.output), 1) << run.output;
        }
    }
}

// A module named without a folder is the file of that name in the current folder, even where the
// system's loader knows a library of that name.
TEST(InspectCommand, AModuleNamedWithoutAFolderIsTheFileInTheCurrentFolder) {
    const std::filesystem::path folder = TemporaryPath("own_folder");
    std::filesystem::create_directories(folder);
    for (const char* name : {"tiny_gauge.so", "libm.so.6"}) {
        SCOPED_TRACE(name);
        std::filesystem::copy_file(BuiltModule("tiny_gauge"), folder / name, std::filesystem::copy_options::overwrite_existing);
        const ToolRun run = RunPreviewTool({"inspect", name}, folder.string());
        EXPECT_EQ(run.exit_code, 0) << run.output;
        EXPECT_NE(run.output.find("gauge \"Tiny Gauge\""), std::string::npos) << run.output;
    }
}

}  // namespace
