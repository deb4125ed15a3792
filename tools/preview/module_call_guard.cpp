#include "tools/preview/module_call_guard.h"

namespace gauge_preview {

ModuleCallGuard::Call::Call(ModuleCallGuard& guard) : guard_(guard) {
    const int at_once = guard_.in_progress_.fetch_add(1) + 1;
    guard_.made_.fetch_add(1);
    if (at_once > 1) guard_.overlapping_.fetch_add(1);
    int most = guard_.most_at_once_.load();
    while (at_once > most && !guard_.most_at_once_.compare_exchange_weak(most, at_once)) {
    }
}

ModuleCallGuard::Call::~Call() { guard_.in_progress_.fetch_sub(1); }

ModuleCallCounts ModuleCallGuard::counts() const {
    return {made_.load(), overlapping_.load(), most_at_once_.load()};
}

}  // namespace gauge_preview
