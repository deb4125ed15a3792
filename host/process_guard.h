// Running a command on a module that may be broken: the command runs in a child process, so that
// a module (or a file the system loader fails on) that brings the process down, ends it or hangs
// in it becomes one clear error line naming the module, instead of a crashed or stuck tool.
//
// The child's exit status is the command's. The parent says, where the child did not finish its
// command, what it was doing (see module_activity.h): the loader failing on the file, or the
// module crashing, ending or hanging in one of its routines. The child ends when the parent ends.
#pragma once

#include <functional>
#include <string>

namespace gauge_host {

// A time limit of 0 lets the command run as long as it likes. `argv` is the program's own command
// line, which the platform may need to start the child.
int RunGuarded(const std::string& module_path, int time_limit_seconds, const std::function<int()>& command, char** argv);

}  // namespace gauge_host
