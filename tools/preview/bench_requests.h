// The bodies the bench's API takes, read without trusting them: each is a small JSON object with
// exactly the fields below. Anything else is refused with one line that says why, before anything
// changes.
//
//   POST /api/point      {"x": X, "y": Y, "drag": false}   a background pixel; "drag" (optional,
//                        false unless given) says the button is held and moving, not going down
//   POST /api/variables  {"id": VAR, "value": VALUE}       a host variable, 1 to 4294967295, and
//                        a number within +-1e9
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace gauge_preview {

// Larger than any body the API takes (those are some 40 bytes), small enough to read at once.
inline constexpr std::size_t kLargestRequestBody = 1024;
// Far beyond any input these gauges read (a lever's 16383, the ammeter's 32750 for 50 A).
inline constexpr double kLargestVariableValue = 1e9;

struct RequestRefused : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct PointRequest {
    std::int32_t x;
    std::int32_t y;
    bool drag;
};

struct VariableRequest {
    std::uint32_t id;
    double value;
};

// Each throws RequestRefused with the reason.
PointRequest ReadPointRequest(const std::string& body, std::int32_t width, std::int32_t height);
VariableRequest ReadVariableRequest(const std::string& body);

}  // namespace gauge_preview
