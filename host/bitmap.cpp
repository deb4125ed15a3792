#include "host/bitmap.h"

#include <cstring>

namespace gauge_host {

std::optional<Bitmap> DecodeBitmap(const std::vector<std::uint8_t>& bytes, std::string& error) {
    auto word32 = [&](std::size_t at) {
        std::uint32_t word;
        std::memcpy(&word, bytes.data() + at, 4);
        return word;
    };
    auto word16 = [&](std::size_t at) { return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8); };
    constexpr std::size_t kInfoHeader = 40, kPalette = 256 * 4;
    if (bytes.size() < kInfoHeader) return error = "shorter than a bitmap's information header", std::nullopt;
    if (word32(0) != kInfoHeader) return error = "the information header is not 40 bytes", std::nullopt;
    const auto width = static_cast<std::int32_t>(word32(4));
    const auto height = static_cast<std::int32_t>(word32(8));
    if (word16(12) != 1 || word16(14) != 8) return error = "not one plane of 8 bits per pixel", std::nullopt;
    if (word32(16) != 0) return error = "compressed", std::nullopt;
    if (width <= 0 || height <= 0 || width > 4096 || height > 4096)
        return error = "width and height must be 1 to 4096 (bottom-up rows)", std::nullopt;
    if (bytes.size() < kInfoHeader + kPalette) return error = "shorter than a bitmap header and palette", std::nullopt;
    const std::size_t stride = (static_cast<std::size_t>(width) + 3) & ~std::size_t{3};
    if (bytes.size() != kInfoHeader + kPalette + stride * height)
        return error = "its size is not 40 + 1024 + row stride x height", std::nullopt;

    Bitmap bitmap;
    bitmap.width = width;
    bitmap.height = height;
    for (std::size_t entry = 0; entry < 256; ++entry) {
        const std::uint8_t* bgr0 = bytes.data() + kInfoHeader + 4 * entry;
        bitmap.palette.push_back({bgr0[2], bgr0[1], bgr0[0]});
    }
    bitmap.indices.resize(static_cast<std::size_t>(width) * height);
    for (std::int32_t row = 0; row < height; ++row) {
        const std::uint8_t* stored = bytes.data() + kInfoHeader + kPalette + stride * (height - 1 - row);
        std::memcpy(bitmap.indices.data() + static_cast<std::size_t>(row) * width, stored, width);
    }
    return bitmap;
}

}  // namespace gauge_host
