#include "tools/preview/output_stream.h"

#include <cerrno>
#include <cstring>

#if defined(_WIN32)
#include <io.h>
#define write _write
#else
#include <unistd.h>
#endif

namespace gauge_preview {

bool DescriptorOutput::Write(const char* text, std::size_t count) {
    if (!error_.empty()) return false;
    while (count > 0) {
        const auto written = write(descriptor_, text, static_cast<unsigned>(count));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            error_ = written < 0 ? std::strerror(errno) : "nothing could be written";
            return false;
        }
        text += written;
        count -= static_cast<std::size_t>(written);
    }
    return true;
}

DescriptorOutput::int_type DescriptorOutput::overflow(int_type character) {
    if (traits_type::eq_int_type(character, traits_type::eof())) return traits_type::not_eof(character);
    const char byte = traits_type::to_char_type(character);
    return Write(&byte, 1) ? character : traits_type::eof();
}

std::streamsize DescriptorOutput::xsputn(const char* text, std::streamsize count) {
    return Write(text, static_cast<std::size_t>(count)) ? count : 0;
}

}  // namespace gauge_preview
