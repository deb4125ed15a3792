#include "host/process_guard.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "host/guard_verdict.h"
#include "host/module_activity.h"

namespace gauge_host {

namespace {

// What the child leaves for the parent, in memory they share.
struct SharedState {
    ActivityRecord activity;
    volatile int finished;  // the command returned, with `status`
    volatile int status;
    volatile int fault;     // the signal of a fault the child caught, 0 for none
};

SharedState* child_state = nullptr;

// The faults a module (or the loader) can cause. The child catches them on a stack of its own,
// notes the signal and ends at once: the parent then reports it, and nothing else prints about it.
constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS};
constexpr int kFaultStatus = 125;

void OnFault(int signal) {
    child_state->fault = signal;
    _exit(kFaultStatus);
}

void CatchFaults() {
    static char fault_stack[64 * 1024];
    stack_t stack{};
    stack.ss_sp = fault_stack;
    stack.ss_size = sizeof fault_stack;
    sigaltstack(&stack, nullptr);
    struct sigaction on_fault {};
    on_fault.sa_handler = OnFault;
    on_fault.sa_flags = SA_ONSTACK | SA_RESETHAND | SA_NODEFER;
    for (int signal : kFaultSignals) sigaction(signal, &on_fault, nullptr);
}

volatile std::sig_atomic_t time_is_up = 0;
void OnAlarm(int) { time_is_up = 1; }

// The parent's one line about a child that did not finish its command.
std::string Verdict(const std::string& module_path, const SharedState& state, int wait_status) {
    const bool signalled = WIFSIGNALED(wait_status) || state.fault != 0;
    const int signal = state.fault != 0 ? state.fault : WIFSIGNALED(wait_status) ? WTERMSIG(wait_status) : 0;
    const std::string how = signalled ? "(signal " + std::to_string(signal) + ")"
                                      : "(status " + std::to_string(WEXITSTATUS(wait_status)) + ")";
    return CameDownVerdict(module_path, state.activity, signalled, how);
}

}  // namespace

int RunGuarded(const std::string& module_path, int time_limit_seconds, const std::function<int()>& command, char**) {
    // A parent that ignores SIGCHLD would leave no child to wait for; writes to a closed output
    // must be errors the command reports, not a signal that looks like a crash.
    std::signal(SIGCHLD, SIG_DFL);
    std::signal(SIGPIPE, SIG_IGN);
    auto* state = static_cast<SharedState*>(
        mmap(nullptr, sizeof(SharedState), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    if (state == MAP_FAILED) {
        std::cerr << "gauge_preview: " << module_path << ": no memory to share with a worker process\n";
        return 1;
    }
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child < 0) {
        std::cerr << "gauge_preview: " << module_path << ": cannot start a worker process: " << std::strerror(errno) << "\n";
        return 1;
    }
    if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(1);  // the parent ended before the request took hold
        child_state = state;
        CatchFaults();
        PublishActivitiesTo(&state->activity);
        const int status = command();
        std::cout.flush();
        std::cerr.flush();
        std::fflush(nullptr);
        state->status = status;
        state->finished = 1;
        _exit(status);
    }

    struct sigaction on_alarm {};
    on_alarm.sa_handler = OnAlarm;  // no SA_RESTART: the wait below returns when time is up
    sigaction(SIGALRM, &on_alarm, nullptr);
    time_is_up = 0;
    if (time_limit_seconds > 0) alarm(static_cast<unsigned>(time_limit_seconds));
    int wait_status = 0;
    bool timed_out = false;
    while (waitpid(child, &wait_status, 0) < 0) {
        if (errno != EINTR) {
            std::cerr << "gauge_preview: " << module_path << ": lost its worker process: " << std::strerror(errno) << "\n";
            kill(child, SIGKILL);
            return 1;
        }
        if (time_is_up && !timed_out) {
            timed_out = true;
            kill(child, SIGKILL);
        }
    }
    alarm(0);
    if (timed_out) {
        std::cerr << "gauge_preview: " << TimeLimitVerdict(module_path, state->activity, time_limit_seconds) << "\n";
        return 1;
    }
    if (WIFEXITED(wait_status) && state->finished) return WEXITSTATUS(wait_status);
    std::cerr << "gauge_preview: " << Verdict(module_path, *state, wait_status) << "\n";
    return 1;
}

}  // namespace gauge_host
