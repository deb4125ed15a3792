// `gauge_preview inspect` on the built gauges, on the tiny gauge sound and with one fault per
// build, and on files that are no gauge module at all: one clear message and a non-zero exit,
// never a crash.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "preview_test_support.h"

namespace {

using namespace preview_test;

int FailedChecks(const std::string& output) {
    const std::regex failed("\n  FAILED  ");
    const std::sregex_iterator first(output.begin(), output.end(), failed), end;
    return static_cast<int>(std::distance(first, end));
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
    };
    for (const auto& test : kCases) {
        SCOPED_TRACE(test.module);
        const ToolRun run = RunPreviewTool({"inspect", BuiltModule(test.module)});
        EXPECT_EQ(run.exit_code, 0) << run.output;
        EXPECT_EQ(FailedChecks(run.output), 0) << run.output;
        for (const char* seen : test.seen) EXPECT_NE(run.output.find(seen), std::string::npos) << seen << "\n" << run.output;
    }
}

TEST(InspectCommand, EachBrokenModuleFailsExactlyTheCheckOfItsFault) {
    const struct {
        const char* module;
        const char* failure;
    } kCases[] = {
        {"tiny_gauge_extra_export", "FAILED  exports: it also exports TinyExtraExport (a routine)"},
        {"tiny_gauge_open_parent", "FAILED  mouse list nesting: the parent at record 0 is never closed"},
        {"tiny_gauge_missing_bitmap", "FAILED  bitmaps the elements name: static image element of bitmap 400: "
                                      "the module has no bitmap 400"},
    };
    for (const auto& test : kCases) {
        SCOPED_TRACE(test.module);
        const ToolRun run = RunPreviewTool({"inspect", BuiltModule(test.module)});
        EXPECT_EQ(run.exit_code, 1) << run.output;
        EXPECT_NE(run.output.find(test.failure), std::string::npos) << run.output;
        EXPECT_EQ(FailedChecks(run.output), 1) << run.output;
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
        {"a text file", WriteFile("notes.so", "not a library\n"), "cannot be loaded as a library"},
        {"a truncated module", WriteFile("truncated.so", FirstBytesOf(BuiltModule("quadrant_gauge"), 1200)),
         "cannot be loaded as a library"},
        {"a missing file", TemporaryPath("absent.so"), "cannot be loaded as a library"},
        {"a library without the exports", "libm.so.6", "not a gauge module: it does not export Linkage"},
    };
    for (const auto& test : kCases) {
        SCOPED_TRACE(test.what);
        const ToolRun run = RunPreviewTool({"inspect", test.path});
        EXPECT_EQ(run.exit_code, 1) << run.output;
        EXPECT_NE(run.output.find(test.message), std::string::npos) << run.output;
        // One line: the error alone, no report and no trace of a crash.
        EXPECT_EQ(run.output.find('\n'), run.output.size() - 1) << run.output;
    }
}

// A module whose records the host cannot write brings down the process that installs it; the
// tool reports that as one error about the module, after what it printed before.
TEST(InspectCommand, AModuleThatCrashesTheHostGetsAClearErrorNotACrash) {
    for (const char* command : {"inspect", "sheet"}) {
        SCOPED_TRACE(command);
        std::vector<std::string> arguments{command, BuiltModule("tiny_gauge_read_only_root")};
        if (std::string(command) == "sheet") arguments.insert(arguments.end(), {"--out", TemporaryPath("crash.png")});
        const ToolRun run = RunPreviewTool(arguments);
        EXPECT_EQ(run.exit_code, 1) << run.output;
        EXPECT_NE(run.output.find("the module crashed the host"), std::string::npos) << run.output;
    }
}

}  // namespace
