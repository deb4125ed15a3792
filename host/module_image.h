// Where a gauge module's bytes lie, segment by segment, and what the host may do in each: read
// its records, write their host-owned fields, call its routines. A record the host reads must
// lie wholly inside one segment that allows it; the span from the lowest to the highest address
// is not module memory, since the gaps between segments are not mapped.
//
// The same image serves two views of a module: the file as the loader will map it, with link-time
// addresses and the bytes read from the file (checked before any of the module's code runs), and
// the module the loader has mapped, read in place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace gauge_host {

// What a segment allows, as bits.
inline constexpr std::uint8_t kRead = 1;
inline constexpr std::uint8_t kWrite = 2;
inline constexpr std::uint8_t kExecute = 4;

struct ImageSegment {
    std::uintptr_t begin = 0;
    std::uintptr_t end = 0;
    std::uint8_t access = 0;
    // Where the segment's contents are held: null for a mapped module, whose contents stand at
    // `begin` itself; otherwise bytes read from the file, `end - begin` of them.
    const std::uint8_t* contents = nullptr;
};

class ModuleImage {
public:
    ModuleImage() = default;
    // The segments may come in any order; they must not overlap.
    explicit ModuleImage(std::vector<ImageSegment> segments);

    const std::vector<ImageSegment>& segments() const { return segments_; }
    // The lowest address of the image, 0 for an empty one.
    std::uintptr_t begin() const { return segments_.empty() ? 0 : segments_.front().begin; }

    const ImageSegment* SegmentAt(std::uintptr_t address) const;
    bool Contains(std::uintptr_t address) const { return SegmentAt(address) != nullptr; }
    bool Contains(const void* address) const { return Contains(reinterpret_cast<std::uintptr_t>(address)); }

    // Whether `size` bytes from `address` lie wholly inside one segment that allows `access`.
    bool Holds(std::uintptr_t address, std::uint64_t size, std::uint8_t access = kRead) const;
    bool Holds(const void* address, std::uint64_t size, std::uint8_t access = kRead) const {
        return Holds(reinterpret_cast<std::uintptr_t>(address), size, access);
    }
    // Whether `count` entries of `entry_size` bytes from `first` do (no product to overflow).
    bool HoldsArray(std::uintptr_t first, std::uint64_t count, std::uint64_t entry_size,
                    std::uint8_t access = kRead) const;

    // Copies `size` bytes from `address`, or copies nothing and returns false where they do not
    // lie inside one readable segment.
    bool Read(std::uintptr_t address, void* out, std::size_t size) const;
    template <class Record>
    bool ReadRecord(std::uintptr_t address, Record& record) const {
        return Read(address, &record, sizeof record);
    }
    // A NUL-terminated text of at most `limit` characters that lies inside one readable segment.
    std::optional<std::string> ReadText(std::uintptr_t address, std::size_t limit) const;

    // The same segments moved by `shift` bytes and read in place: the image of a module the
    // loader mapped `shift` bytes above its link-time addresses.
    ModuleImage MappedAt(std::uintptr_t shift) const;

private:
    std::vector<ImageSegment> segments_;  // in ascending order of address
};

// "0x0804a000", the way the tools print addresses.
std::string AddressText(std::uintptr_t address);

// A text read from a module as the tools print it: every byte outside printable ASCII as \xNN.
std::string PrintableText(const std::string& text);

}  // namespace gauge_host
