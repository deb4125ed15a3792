// Running a command on a module that may be broken: a module whose records point outside itself
// or into memory the host may not write brings down the process that reads it, so the command
// runs in a child process and such a crash becomes one clear error instead.
#pragma once

#include <functional>
#include <string>

namespace gauge_preview {

// The command's exit status, or 1 with a message naming the module where the command crashed.
int RunGuarded(const std::string& module_path, const std::function<int()>& command);

}  // namespace gauge_preview
