// The x87 control word of the calling thread. A host may leave any precision in it when it calls
// a module; the tests set each one to show that the module's arithmetic does not depend on it.
#pragma once

#include <cstdint>
#include <type_traits>

namespace gauge_host {

inline constexpr std::uint16_t kX87Extended = 0x37F;  // 64-bit significand: a 32-bit Linux program's start
inline constexpr std::uint16_t kX87Double = 0x27F;    // 53-bit significand: a Windows thread's start
inline constexpr std::uint16_t kX87Single = 0x07F;    // 24-bit significand

inline std::uint16_t X87ControlWord() {
    std::uint16_t word;
    asm volatile("fnstcw %0" : "=m"(word));
    return word;
}

inline void SetX87ControlWord(std::uint16_t word) { asm volatile("fldcw %0" : : "m"(word) : "memory"); }

// Runs `call` with the control word set to `word`, and restores the caller's afterwards.
template <class Call>
auto WithX87ControlWord(std::uint16_t word, Call&& call) {
    const std::uint16_t saved = X87ControlWord();
    SetX87ControlWord(word);
    if constexpr (std::is_void_v<decltype(call())>) {
        call();
        SetX87ControlWord(saved);
    } else {
        auto result = call();
        SetX87ControlWord(saved);
        return result;
    }
}

}  // namespace gauge_host
