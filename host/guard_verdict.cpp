#include "host/guard_verdict.h"

namespace gauge_host {

namespace {

std::string ActivityText(const ActivityRecord& activity) {
    std::string text;
    for (std::size_t i = 0; i < sizeof activity.what && activity.what[i] != '\0'; ++i) text.push_back(activity.what[i]);
    return text;
}

}  // namespace

std::string CameDownVerdict(const std::string& module_path, const ActivityRecord& activity, bool crashed, const std::string& how) {
    const std::string prefix = module_path + ": ";
    switch (activity.kind) {
        case ActivityKind::Loading:
            return prefix + "the loader rejects it: loading it " + (crashed ? "crashed the process " : "ended the process ") + how +
                   ", in the system loader or in the module's start-up code";
        case ActivityKind::Module:
            return prefix + "the module " + (crashed ? "crashed the host " : "ended the host process ") + how + " in " +
                   ActivityText(activity);
        case ActivityKind::Host:
        default:
            return prefix + "the host came down " + how + " while reading the module";
    }
}

std::string TimeLimitVerdict(const std::string& module_path, const ActivityRecord& activity, int time_limit_seconds) {
    const std::string what = ActivityText(activity);
    return module_path + ": " + (activity.kind == ActivityKind::Module ? "the module" : "the host") + " did not finish " +
           (what.empty() ? "its work" : what) + " within " + std::to_string(time_limit_seconds) + " s";
}

}  // namespace gauge_host
