// A bitmap resource as the host draws it: a device-independent bitmap of 8 bits per pixel with
// its own palette, stored without a file header, rows bottom-up and padded to 4 bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace gauge_host {

struct Color {
    std::uint8_t red, green, blue;
    bool operator==(const Color&) const = default;
    // Pure black is the see-through colour of every picture.
    bool see_through() const { return red == 0 && green == 0 && blue == 0; }
};

struct Bitmap {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<Color> palette;         // 256 entries
    std::vector<std::uint8_t> indices;  // palette index per pixel, top row first

    std::uint8_t IndexAt(std::int32_t x, std::int32_t y) const { return indices[y * width + x]; }
    Color At(std::int32_t x, std::int32_t y) const { return palette[IndexAt(x, y)]; }
};

// Decodes the resource bytes; the error names what is wrong where they are not an 8-bit,
// uncompressed, bottom-up bitmap of the size its header gives.
std::optional<Bitmap> DecodeBitmap(const std::vector<std::uint8_t>& bytes, std::string& error);

}  // namespace gauge_host
