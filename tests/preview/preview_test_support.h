// What the preview's suites share: the built modules and the tool beside the test program,
// running the tool, reading its PNG back, and composing the picture a host should draw from the
// module's own bitmaps placed by hand.
#pragma once

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/bitmap.h"
#include "host/module_library.h"
#include "tools/preview/canvas.h"

namespace preview_test {

using gauge_host::Bitmap;
using gauge_host::Color;
using gauge_preview::Canvas;

inline std::string BuiltModule(const std::string& name) {
    return gauge_host::PathBesideProgram(gauge_host::ModuleFileName(name));
}

inline std::string TemporaryPath(const std::string& file_name) {
    return gauge_host::PathBesideProgram("preview_test_" + file_name);
}

struct ToolRun {
    int exit_code;
    std::string output;  // standard output and standard error together
};

// Runs gauge_preview, which the build puts beside the test program, with these arguments, in
// `folder` where one is given (see preview_tool_run.cpp).
ToolRun RunPreviewTool(const std::vector<std::string>& arguments, const std::string& folder = "");

// The tool's file name, and the suffix of a module's file, on this platform.
#if defined(_WIN32)
inline const char* const kToolName = "gauge_preview.exe";
#define MODULE_SUFFIX "dll"
#else
inline const char* const kToolName = "gauge_preview";
#define MODULE_SUFFIX "so"
#endif

// The PNG as RGB pixels, read with stb's image reader (see preview_png_reader.cpp).
Canvas ReadPng(const std::string& path);

// The bitmap's pixels that are not pure black, copied with its top-left pixel at (x, y): what a
// host must show of an unturned picture.
inline void Overlay(Canvas& canvas, const Bitmap& picture, std::int32_t x, std::int32_t y) {
    for (std::int32_t row = 0; row < picture.height; ++row)
        for (std::int32_t column = 0; column < picture.width; ++column)
            if (!picture.At(column, row).see_through()) canvas.Put(x + column, y + row, picture.At(column, row));
}

// The background alone, on the preview's backdrop, which shows through its pure black.
inline Canvas BackgroundAlone(const Bitmap& background) {
    Canvas canvas(background.width, background.height);
    Overlay(canvas, background, 0, 0);
    return canvas;
}

// The pixels where two canvases of one size differ.
inline int DifferingPixels(const Canvas& drawn, const Canvas& expected) {
    int count = 0;
    for (std::int32_t y = 0; y < drawn.height(); ++y)
        for (std::int32_t x = 0; x < drawn.width(); ++x) count += drawn.At(x, y) == expected.At(x, y) ? 0 : 1;
    return count;
}

}  // namespace preview_test
