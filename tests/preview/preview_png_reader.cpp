// Reading the preview's PNG files back in the tests, with stb's image reader: the same library
// family that writes them, on every target.
#include <stdexcept>

#include "preview_test_support.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#include <stb_image.h>
#pragma GCC diagnostic pop

namespace preview_test {

Canvas ReadPng(const std::string& path) {
    int width = 0, height = 0, channels = 0;
    unsigned char* pixels = stbi_load(path.c_str(), &width, &height, &channels, 3);
    if (pixels == nullptr) throw std::runtime_error(path + ": not a readable PNG");
    Canvas canvas(width, height);
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x) {
            const unsigned char* rgb = pixels + 3 * (static_cast<std::size_t>(y) * width + x);
            canvas.Put(x, y, {rgb[0], rgb[1], rgb[2]});
        }
    stbi_image_free(pixels);
    return canvas;
}

}  // namespace preview_test
