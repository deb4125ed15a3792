#include "host/module_activity.h"

namespace gauge_host {

namespace {

ActivityRecord* published = nullptr;
ActivityKind current_kind = ActivityKind::Host;
const char* current_what = "";

void Publish() {
    if (published == nullptr) return;
    published->kind = current_kind;
    std::size_t i = 0;
    for (; current_what[i] != '\0' && i + 1 < sizeof published->what; ++i) published->what[i] = current_what[i];
    published->what[i] = '\0';
}

}  // namespace

ModuleActivity::ModuleActivity(ActivityKind kind, const char* what)
    : previous_kind_(current_kind), previous_what_(current_what) {
    current_kind = kind;
    current_what = what;
    Publish();
}

ModuleActivity::~ModuleActivity() {
    current_kind = previous_kind_;
    current_what = previous_what_;
    Publish();
}

void PublishActivitiesTo(ActivityRecord* record) {
    published = record;
    Publish();
}

}  // namespace gauge_host
