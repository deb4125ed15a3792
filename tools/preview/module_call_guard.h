// The host contract that every call into a module is made one at a time: the host never enters
// the module while another of its calls into it is still running. The guard counts the calls in
// progress at every entry, so a host that breaks the contract (two threads entering at once, or a
// service slot calling back into the module) sees it, and says so, instead of the module seeing it.
#pragma once

#include <atomic>
#include <cstdint>

namespace gauge_preview {

struct ModuleCallCounts {
    std::uint64_t made = 0;         // calls entered so far
    std::uint64_t overlapping = 0;  // of them, those entered while another was in progress
    int most_at_once = 0;           // the most calls in progress at one moment
};

class ModuleCallGuard {
public:
    // One call into the module, from entry to return.
    class Call {
    public:
        explicit Call(ModuleCallGuard& guard);
        ~Call();
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;

    private:
        ModuleCallGuard& guard_;
    };

    ModuleCallCounts counts() const;

private:
    std::atomic<int> in_progress_{0};
    std::atomic<int> most_at_once_{0};
    std::atomic<std::uint64_t> made_{0};
    std::atomic<std::uint64_t> overlapping_{0};
};

}  // namespace gauge_preview
