// The crash guard's one line about a worker that did not finish its command, the same words on
// every platform: what the worker was doing (see module_activity.h) and how it came down.
#pragma once

#include <string>

#include "host/module_activity.h"

namespace gauge_host {

// The worker came down during `activity`: by a fault (`crashed`) or by ending its process; `how`
// gives the platform's account in brackets, "(signal 11)" or "(fault 0xc000001d)".
std::string CameDownVerdict(const std::string& module_path, const ActivityRecord& activity, bool crashed, const std::string& how);

// The worker was still at `activity` when the time limit ran out.
std::string TimeLimitVerdict(const std::string& module_path, const ActivityRecord& activity, int time_limit_seconds);

}  // namespace gauge_host
