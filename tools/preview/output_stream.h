// Standard output written straight to its file descriptor, remembering the first write that
// failed: a closed pipe or a full disk is an error of the tool's output, reported with its cause,
// never a signal that would look like a crash of the module.
#pragma once

#include <streambuf>
#include <string>

namespace gauge_preview {

class DescriptorOutput : public std::streambuf {
public:
    explicit DescriptorOutput(int descriptor) : descriptor_(descriptor) {}
    // Empty while every write has succeeded; otherwise why the first one failed.
    const std::string& error() const { return error_; }

protected:
    int_type overflow(int_type character) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;

private:
    bool Write(const char* text, std::size_t count);

    int descriptor_;
    std::string error_;
};

}  // namespace gauge_preview
