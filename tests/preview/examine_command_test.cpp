// `gauge_preview inspect` and `render` on sound modules, on modules built wrong on purpose (one
// fault each), on modules whose code brings the host down, and on files that are no gauge module:
// a clear verdict with one line per failure and exit status 1, never a crash, a hang or the wrong
// file.
#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#endif

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "preview_test_support.h"

namespace {

using namespace preview_test;

// Under Wine every start of the tool costs seconds, so the Windows build runs the cases marked
// for every target; the Linux build runs them all.
#if defined(_WIN32)
constexpr bool kEveryCase = false;
#else
constexpr bool kEveryCase = true;
#endif

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
        bool every_target = false;
    } kCases[] = {
        {"quadrant_gauge",
         {"gauge \"Varn Throttle Quadrant\"", "slider  bitmap 300  position (75, 355)",
          "y: var 128 scale -0.00714111328125 (-117/16384)", "child  x 84..128, y 238..399  (45 x 162)",
          "bitmap 200  language 1033  73064 bytes  180 x 400", "ProductName = \"Varn Throttle Quadrant\""},
         true},
        {"ammeter_gauge",
         {"gauge \"Varn Ammeter\"", "needle  bitmap 300  position (112, 140)  offset (6, 6)",
          "icon  bitmap 500  position (103, 244)", "pictures 2", "child  x 103..120, y 244..299  (18 x 56)",
          "bitmap 503  language 1033  2184 bytes  18 x 56", "ProductName = \"Varn Ammeter 2\""},
         true},
        {"tiny_gauge", {"gauge \"Tiny Gauge\"", "static image  bitmap 300  position (2, 2)"}},
        // Two gauges: each reported, installed and checked.
        {"twin_gauge",
         {"gauge \"Twin Left\"\nheader words", "gauge \"Twin Right\"\nheader words", "ok      mouse list of \"Twin Left\"",
          "ok      mouse list of \"Twin Right\"", "ok      host contract at install of \"Twin Right\""},
         true},
        {"broken_gauge", {"gauge \"Broken Gauge\"", "needle  bitmap 300  position (4, 4)"}},
#if !defined(_WIN32)
        // Linked to stand at 0x10000000 rather than 0: its segments are still the module's own.
        {"broken_gauge_other_base", {"gauge \"Broken Gauge\"", "child  x 0..7, y 0..7  (8 x 8)"}},
#endif
        // A pivot two billion pixels off the needle's bitmap: drawing it costs no more for that.
        {"broken_gauge_far_pivot", {"offset (-2000000000, 1)"}, true},
    };
    for (const auto& test : kCases) {
        if (!kEveryCase && !test.every_target) continue;
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
        bool every_target = false;
    } kCases[] = {
        {"tiny_gauge_extra_export", {"FAILED  exports: it also exports TinyExtraExport ("}, nullptr, true},
        {"tiny_gauge_open_parent",
         {"FAILED  mouse list: the parent at record 0 is never closed"},
         "check failed: host contract at install: InstallMouseAreas was given a mouse list the host cannot take: the "
         "parent at record 0 is never closed",
         true},
        {"tiny_gauge_missing_bitmap",
         {"FAILED  bitmaps the elements name: static image element at 0x"}, "(bitmap 400): the module has no bitmap 400"},
        {"tiny_gauge_read_only_root",
         {"FAILED  records: gauge \"Tiny Gauge\": static image element at 0x"},
         "(bitmap 200) lies in read-only memory, where the host writes its fields", true},
        {"tiny_gauge_german",
         {"(bitmap 200): the module has bitmap 200 only in language 1031; the host looks for language 1033"},
         "the module has bitmap 200 only in language 1031", true},
        {"tiny_gauge_undecodable",
         {"FAILED  bitmaps the elements name: static image element at 0x", "FAILED  see-through colour: bitmap 200 does not"},
         "(bitmap 200): its bitmap 200 does not decode: not one plane of 8 bits per pixel"},
        {"tiny_gauge_wide",
         {"FAILED  bitmaps the elements name: the background bitmap 200 is 1100 x 1 pixels; a gauge is at most 1024 x 1024"},
         "the background bitmap 200 is 1100 x 1 pixels"},
        {"broken_gauge_calibration_outside", {"(bitmap 300): its 2 calibration points lie outside the module"},
         "its 2 calibration points lie outside the module", true},
#if !defined(_WIN32)
        {"broken_gauge_gap_pointer", {"(bitmap 300): its 2 calibration points lie outside the module"},
         "its 2 calibration points lie outside the module"},
#endif
        {"broken_gauge_tree_loop", {"is an element met before: the tree has a loop or shares an element"},
         "is an element met before: the tree has a loop", true},
        {"broken_gauge_stray_child", {"(bitmap 0) overlaps static image element at 0x"}, "(bitmap 0) overlaps static image"},
        {"broken_gauge_huge_count", {"(bitmap 300) claims 1073741824 calibration points; at most 256 make sense"},
         "claims 1073741824 calibration points"},
        {"broken_gauge_deep_chain", {"stands deeper than 32 levels in the element tree"}, "stands deeper than 32 levels"},
        {"broken_gauge_long_name", {"its name is not a text of at most 255 characters inside the module"},
         "its name is not a text of at most 255 characters"},
    };
    for (const auto& test : kCases) {
        if (!kEveryCase && !test.every_target) continue;
        SCOPED_TRACE(test.module);
        const ToolRun run = RunPreviewTool({"inspect", BuiltModule(test.module)});
        EXPECT_EQ(run.exit_code, 1) << run.output;
        for (const char* failure : test.failures) EXPECT_NE(run.output.find(failure), std::string::npos) << failure << "\n" << run.output;
        EXPECT_EQ(FailedChecks(run.output), static_cast<int>(test.failures.size())) << run.output;

        if (!kEveryCase && test.render == nullptr) continue;
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
        std::vector<const char*> message;  // the parts of its one line
    } kCases[] = {
        {"broken_gauge_crashing_install", {": the module crashed ", " in its install routine\n"}},
        {"broken_gauge_endless_install", {": the module did not finish its install routine within 2 s\n"}},
    };
    for (const auto& test : kCases)
        for (const char* command : {"inspect", "render", "sheet"}) {
            if (!kEveryCase && std::string(command) == "sheet") continue;
            SCOPED_TRACE(std::string(test.module) + " " + command);
            std::vector<std::string> arguments{command, BuiltModule(test.module), "--time-limit", "2"};
            if (std::string(command) != "inspect") arguments.insert(arguments.end(), {"--out", TemporaryPath("crash.png")});
            const ToolRun run = RunPreviewTool(arguments);
            EXPECT_EQ(run.exit_code, 1) << run.output;
            for (const char* part : test.message) EXPECT_EQ(Count(run.output, part), 1) << part << "\n" << run.output;
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

// What each platform's loader checks say of a file that is no library, and of a module cut short.
#if defined(_WIN32)
constexpr const char* kNotALibrary = "the loader rejects it: it is not a PE file";
constexpr const char* kTruncated = "the loader rejects it: section 0 (.text) has its bytes beyond the end of the file (the file is truncated)";
#else
constexpr const char* kNotALibrary = "the loader rejects it: it is not an ELF file";
constexpr const char* kTruncated =
    "the loader rejects it: program header 1 loads bytes from beyond the end of the file (the file is truncated)";
#endif

TEST(InspectCommand, AFileThatIsNoGaugeModuleGetsOneClearError) {
    const struct {
        const char* what;
        std::string path;
        const char* message;
    } kCases[] = {
        {"a text file", WriteFile(gauge_host::ModuleFileName("notes"), "not a library\n"), kNotALibrary},
        {"a truncated module", WriteFile(gauge_host::ModuleFileName("truncated"), FirstBytesOf(BuiltModule("quadrant_gauge"), 1200)),
         kTruncated},
        {"a missing file", TemporaryPath("absent"), "absent: cannot be read: No such file or directory"},
        {"a library without the exports", BuiltModule("plain_library"), "not a gauge module: it does not export Linkage"},
    };
    for (const auto& test : kCases) {
        SCOPED_TRACE(test.what);
        for (const char* command : {"inspect", "render"}) {
            if (!kEveryCase && std::string(command) == "render") continue;
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
// system's loader would find a library of that name elsewhere: on Windows the program's own folder
// holds a quadrant_gauge.dll, which the loader searches before the current folder.
TEST(InspectCommand, AModuleNamedWithoutAFolderIsTheFileInTheCurrentFolder) {
    const std::filesystem::path folder = TemporaryPath("own_folder");
    std::filesystem::create_directories(folder);
#if defined(_WIN32)
    const char* const kNames[] = {"tiny_gauge.dll", "quadrant_gauge.dll"};
#else
    const char* const kNames[] = {"tiny_gauge.so", "libm.so.6"};
#endif
    for (const char* name : kNames) {
        SCOPED_TRACE(name);
        std::filesystem::remove(folder / name);
        std::filesystem::copy_file(BuiltModule("tiny_gauge"), folder / name);
        const ToolRun run = RunPreviewTool({"inspect", name}, folder.string());
        EXPECT_EQ(run.exit_code, 0) << run.output;
        EXPECT_NE(run.output.find("gauge \"Tiny Gauge\""), std::string::npos) << run.output;
    }
}

#if defined(_WIN32)
// Wine's loader gives its own library for a file named like one of its system libraries, whatever
// folder the file is in; the host must not take that library's records for the file's. (Windows
// itself loads the file named by its full path, so there the gauge is shown.)
TEST(InspectCommand, ALibraryTheLoaderGivesInPlaceOfTheFileIsRefused) {
    const bool under_wine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
    const std::filesystem::path folder = TemporaryPath("system_name");
    std::filesystem::create_directories(folder);
    std::filesystem::remove(folder / "version.dll");
    std::filesystem::copy_file(BuiltModule("tiny_gauge"), folder / "version.dll");
    const ToolRun run = RunPreviewTool({"inspect", "version.dll"}, folder.string());
    if (!under_wine) {
        EXPECT_EQ(run.exit_code, 0) << run.output;
        EXPECT_NE(run.output.find("gauge \"Tiny Gauge\""), std::string::npos) << run.output;
        return;
    }
    EXPECT_EQ(run.exit_code, 1) << run.output;
    EXPECT_EQ(Count(run.output, "version.dll: not loaded: the loader gave another library of that name in its place\n"), 1)
        << run.output;
    EXPECT_EQ(Count(run.output, "gauge_preview: "), 1) << run.output;
}
#endif

}  // namespace
