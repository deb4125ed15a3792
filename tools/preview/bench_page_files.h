// The bench's web page, built into the program from bench_page.html, .css and .js (the build turns
// each into an array of its bytes), so the page needs no files beside the program and no network.
#pragma once

#include <cstddef>

namespace gauge_preview {

struct EmbeddedFile {
    const char* name;  // the source's file name, "bench_page.js"
    const unsigned char* bytes;
    std::size_t size;
};

extern const EmbeddedFile kBenchPageFiles[];
extern const std::size_t kBenchPageFileCount;

}  // namespace gauge_preview
