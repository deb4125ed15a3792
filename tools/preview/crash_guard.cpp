#include "tools/preview/crash_guard.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>

namespace gauge_preview {

int RunGuarded(const std::string& module_path, const std::function<int()>& command) {
    std::cout.flush();
    std::cerr.flush();
    const pid_t child = fork();
    if (child < 0) return command();  // no second process to be had: run it here, unguarded
    if (child == 0) {
        // What the child prints must reach the terminal even if the module brings it down next.
        std::cout << std::unitbuf;
        const int status = command();
        std::cout.flush();
        std::cerr.flush();
        std::fflush(nullptr);
        _exit(status);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    std::cerr << "gauge_preview: " << module_path << ": the module crashed the host (signal "
              << (WIFSIGNALED(status) ? WTERMSIG(status) : 0)
              << "): its records point outside the module or into memory the host may not write\n";
    return 1;
}

}  // namespace gauge_preview
