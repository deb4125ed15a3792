#include "tools/preview/png_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <vector>

// stb's writer is one header with its implementation in it; its own code is not held to this
// project's warnings. It encodes into memory, and this file does the writing, so that every
// failure of the file itself is seen and named.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wsign-compare"
#include <stb_image_write.h>
#pragma GCC diagnostic pop

namespace gauge_preview {

namespace {

void Append(void* context, void* data, int size) {
    auto* bytes = static_cast<std::vector<unsigned char>*>(context);
    const auto* first = static_cast<const unsigned char*>(data);
    bytes->insert(bytes->end(), first, first + size);
}

}  // namespace

std::vector<unsigned char> EncodePng(const Canvas& canvas) {
    std::vector<unsigned char> pixels;
    pixels.reserve(static_cast<std::size_t>(canvas.width()) * canvas.height() * 3);
    for (std::int32_t y = 0; y < canvas.height(); ++y)
        for (std::int32_t x = 0; x < canvas.width(); ++x) {
            const Color color = canvas.At(x, y);
            pixels.insert(pixels.end(), {color.red, color.green, color.blue});
        }
    std::vector<unsigned char> png;
    if (!stbi_write_png_to_func(Append, &png, canvas.width(), canvas.height(), 3, pixels.data(), canvas.width() * 3))
        throw std::runtime_error("the picture cannot be encoded as PNG");
    return png;
}

void WritePng(const Canvas& canvas, const std::string& path) {
    std::vector<unsigned char> png;
    try {
        png = EncodePng(canvas);
    } catch (const std::runtime_error& error) {
        throw std::runtime_error(path + ": " + error.what());
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) throw std::runtime_error(path + ": cannot be opened for writing: " + std::strerror(errno));
    const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size() && std::fflush(file) == 0;
    const int error = errno;
    if (std::fclose(file) != 0 || !written)
        throw std::runtime_error(path + ": writing the PNG failed: " + std::strerror(written ? errno : error));
}

}  // namespace gauge_preview
