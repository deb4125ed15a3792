#include "host/module_image.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace gauge_host {

ModuleImage::ModuleImage(std::vector<ImageSegment> segments) : segments_(std::move(segments)) {
    std::sort(segments_.begin(), segments_.end(),
              [](const ImageSegment& a, const ImageSegment& b) { return a.begin < b.begin; });
}

const ImageSegment* ModuleImage::SegmentAt(std::uintptr_t address) const {
    auto after = std::upper_bound(segments_.begin(), segments_.end(), address,
                                  [](std::uintptr_t value, const ImageSegment& segment) { return value < segment.begin; });
    if (after == segments_.begin()) return nullptr;
    const ImageSegment& segment = *(after - 1);
    return address < segment.end ? &segment : nullptr;
}

bool ModuleImage::Holds(std::uintptr_t address, std::uint64_t size, std::uint8_t access) const {
    const ImageSegment* segment = SegmentAt(address);
    return segment != nullptr && (segment->access & access) == access && size <= segment->end - address;
}

bool ModuleImage::HoldsArray(std::uintptr_t first, std::uint64_t count, std::uint64_t entry_size,
                             std::uint8_t access) const {
    if (count == 0) return true;
    const ImageSegment* segment = SegmentAt(first);
    return segment != nullptr && (segment->access & access) == access && entry_size != 0 &&
           count <= (segment->end - first) / entry_size;
}

bool ModuleImage::Read(std::uintptr_t address, void* out, std::size_t size) const {
    if (!Holds(address, size, kRead)) return false;
    const ImageSegment& segment = *SegmentAt(address);
    const void* from = segment.contents != nullptr ? static_cast<const void*>(segment.contents + (address - segment.begin))
                                                   : reinterpret_cast<const void*>(address);
    std::memcpy(out, from, size);
    return true;
}

std::optional<std::string> ModuleImage::ReadText(std::uintptr_t address, std::size_t limit) const {
    std::string text;
    for (std::size_t length = 0; length <= limit; ++length) {
        char character;
        if (length > 0 && address + length < address) return std::nullopt;
        if (!Read(address + length, &character, 1)) return std::nullopt;
        if (character == '\0') return text;
        text.push_back(character);
    }
    return std::nullopt;
}

ModuleImage ModuleImage::MappedAt(std::uintptr_t shift) const {
    std::vector<ImageSegment> mapped;
    for (const ImageSegment& segment : segments_)
        mapped.push_back({segment.begin + shift, segment.end + shift, segment.access, nullptr});
    return ModuleImage(std::move(mapped));
}

std::string AddressText(std::uintptr_t address) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(address));
    return text;
}

}  // namespace gauge_host

namespace gauge_host {

std::string PrintableText(const std::string& text) {
    std::string printable;
    for (unsigned char character : text) {
        if (character >= 0x20 && character < 0x7F && character != '\\') {
            printable.push_back(static_cast<char>(character));
            continue;
        }
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", character);
        printable += escaped;
    }
    return printable;
}

}  // namespace gauge_host
