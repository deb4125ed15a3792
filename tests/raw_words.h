// Reading a module's records the way a host does: as raw little-endian words at byte offsets.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace raw {

inline std::uint32_t Word(const void* record, std::size_t offset) {
    std::uint32_t word;
    std::memcpy(&word, static_cast<const std::uint8_t*>(record) + offset, sizeof word);
    return word;
}

inline std::int32_t SignedWord(const void* record, std::size_t offset) {
    return static_cast<std::int32_t>(Word(record, offset));
}

inline double Double(const void* record, std::size_t offset) {
    double value;
    std::memcpy(&value, static_cast<const std::uint8_t*>(record) + offset, sizeof value);
    return value;
}

inline std::vector<std::uint32_t> Words(const void* record, std::size_t count) {
    std::vector<std::uint32_t> words(count);
    std::memcpy(words.data(), record, count * 4);
    return words;
}

inline const void* Pointer(const void* record, std::size_t offset) {
    return reinterpret_cast<const void*>(static_cast<std::uintptr_t>(Word(record, offset)));
}

inline std::uint32_t AddressOf(const void* pointer) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(pointer));
}

// True when every byte of [offset, offset + size) is zero.
inline bool Zero(const void* record, std::size_t offset, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(record) + offset;
    for (std::size_t i = 0; i < size; ++i)
        if (bytes[i] != 0) return false;
    return true;
}

}  // namespace raw
