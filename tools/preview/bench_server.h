// `gauge_preview serve`: a gauge on the bench behind one web page and a small JSON API, served on
// 127.0.0.1 only, by cpp-httplib. The page is plain HTML, CSS and JavaScript built into the
// program; nothing is fetched from anywhere else.
//
//   GET  /                 the page (and /bench_page.css, /bench_page.js)
//   GET  /api/state        the gauge, its variables, the latest events, its elements with what
//                          placed them in the last frame, its mouse columns, the module calls made
//   GET  /api/frame.png    a frame drawn now, 1:1, as PNG
//   POST /api/point        {"x": X, "y": Y, "drag": false}: points at the gauge; answers the state
//   POST /api/variables    {"id": VAR, "value": VALUE}: sets a host variable; answers the state
//
// A body that is refused (bench_requests.h) gets status 400 with one line saying why, and changes
// nothing; an unknown path gets 404. Every call into the module runs on one thread, one at a time
// (module_thread.h), while the server's other threads go on answering.
#pragma once

#include <ostream>

#include "tools/preview/gauge_bench.h"

namespace gauge_preview {

// The threads that answer requests: enough for a few browser tabs (a browser opens up to six
// connections to one server) and a handful of other clients at once.
inline constexpr int kServerThreads = 32;

// Loads and installs the gauge, binds 127.0.0.1:`port` (any free port for 0), prints the page's
// URL on `out`, and serves until the process ends. Throws what GaugeBench throws, and
// std::runtime_error where the port cannot be had.
void ServeBench(const BenchOptions& options, int port, std::ostream& out);

}  // namespace gauge_preview
