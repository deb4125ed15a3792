// Writing the preview's pictures as PNG files, through stb's image writer.
#pragma once

#include <string>
#include <vector>

#include "tools/preview/canvas.h"

namespace gauge_preview {

// The canvas as the bytes of an 8-bit RGB PNG file; throws std::runtime_error where it cannot be
// encoded.
std::vector<unsigned char> EncodePng(const Canvas& canvas);

// An 8-bit RGB PNG of the canvas; throws std::runtime_error naming the file and the cause where it
// cannot be written.
void WritePng(const Canvas& canvas, const std::string& path);

}  // namespace gauge_preview
