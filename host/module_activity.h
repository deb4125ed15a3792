// What the host is doing with the module at this moment ("its install routine", "a mouse
// handler", the system loader loading it), so that a module that brings the process down can be
// told apart from a file the loader fails on, and the report can say where it happened.
#pragma once

#include <cstddef>

namespace gauge_host {

// The kinds of work during which the process may come down, in the host's terms.
enum class ActivityKind : char {
    Host = 0,      // the host's own work
    Loading = 1,   // the system loader maps the module and runs its start-up code
    Module = 2,    // the host runs a routine, callback or handler of the module
};

// Names the activity for as long as it lives; the one before it comes back afterwards. `what` is
// a text in static storage.
class ModuleActivity {
public:
    ModuleActivity(ActivityKind kind, const char* what);
    ~ModuleActivity();
    ModuleActivity(const ModuleActivity&) = delete;
    ModuleActivity& operator=(const ModuleActivity&) = delete;

private:
    ActivityKind previous_kind_;
    const char* previous_what_;
};

// Where the activities are published: a buffer that outlives the process (the crash guard's
// memory shared with its parent), or none.
struct ActivityRecord {
    volatile ActivityKind kind;
    volatile char what[96];
};
void PublishActivitiesTo(ActivityRecord* record);

}  // namespace gauge_host
