#include "tools/preview/png_file.h"

#include <png.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <vector>

namespace gauge_preview {

namespace {

// libpng reports its errors by longjmp, so this frame holds nothing with a destructor.
bool WriteRgbRows(std::FILE* file, std::int32_t width, std::int32_t height, png_bytep* rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_rows(png, info, rows);
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

void WritePng(const Canvas& canvas, const std::string& path) {
    const std::size_t row_bytes = static_cast<std::size_t>(canvas.width()) * 3;
    std::vector<png_byte> pixels(row_bytes * canvas.height());
    std::vector<png_bytep> rows(canvas.height());
    for (std::int32_t y = 0; y < canvas.height(); ++y) {
        rows[y] = pixels.data() + row_bytes * y;
        for (std::int32_t x = 0; x < canvas.width(); ++x) {
            const Color color = canvas.At(x, y);
            rows[y][3 * x] = color.red;
            rows[y][3 * x + 1] = color.green;
            rows[y][3 * x + 2] = color.blue;
        }
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file) throw std::runtime_error(path + ": cannot be opened for writing");
    if (!WriteRgbRows(file.get(), canvas.width(), canvas.height(), rows.data()) || std::fflush(file.get()) != 0)
        throw std::runtime_error(path + ": writing the PNG failed");
}

}  // namespace gauge_preview
