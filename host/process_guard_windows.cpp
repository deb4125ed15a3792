// The crash guard on Windows, which has no fork: the program starts itself once more as its own
// worker, with the same command line and the handle of a block of memory they share named in
// the environment. The worker runs the command and leaves its activities and its status there;
// a job object ends the worker when the program ends.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "host/guard_verdict.h"
#include "host/module_activity.h"
#include "host/process_guard.h"

namespace gauge_host {

namespace {

const char* const kWorkerVariable = "GAUGE_PREVIEW_WORKER";

struct SharedState {
    ActivityRecord activity;
    volatile LONG finished;  // the command returned, with `status`
    volatile LONG status;
};

// The parent's one line about a worker that did not finish its command. An exit code with the
// error severity bits is the code of the fault that ended it; any other, the module's own exit.
std::string Verdict(const std::string& module_path, const SharedState& state, DWORD exit_code) {
    const bool faulted = (exit_code & 0xC0000000u) == 0xC0000000u;
    char code[16];
    std::snprintf(code, sizeof code, faulted ? "0x%08lx" : "%lu", static_cast<unsigned long>(exit_code));
    return CameDownVerdict(module_path, state.activity, faulted, std::string(faulted ? "(fault " : "(exit code ") + code + ")");
}

// A fault the worker does not handle ends it at once with the fault's code as its exit code, for
// the parent to report: no error dialog, no debugger started, nothing waiting on a person.
LONG WINAPI EndOnUnhandledFault(EXCEPTION_POINTERS* fault) {
    TerminateProcess(GetCurrentProcess(), fault->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

int RunAsWorker(const char* handle_text, const std::function<int()>& command) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(EndOnUnhandledFault);
    const auto handle = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(std::strtoull(handle_text, nullptr, 10)));
    auto* state = static_cast<SharedState*>(MapViewOfFile(handle, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SharedState)));
    if (state == nullptr) return command();
    PublishActivitiesTo(&state->activity);
    const int status = command();
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    state->status = status;
    state->finished = 1;
    return status;
}

}  // namespace

int RunGuarded(const std::string& module_path, int time_limit_seconds, const std::function<int()>& command, char**) {
    if (const char* worker = std::getenv(kWorkerVariable)) return RunAsWorker(worker, command);

    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE shared = CreateFileMappingA(INVALID_HANDLE_VALUE, &inherited, PAGE_READWRITE, 0, sizeof(SharedState), nullptr);
    auto* state = shared != nullptr ? static_cast<SharedState*>(MapViewOfFile(shared, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SharedState)))
                                    : nullptr;
    if (state == nullptr) {
        std::cerr << "gauge_preview: " << module_path << ": no memory to share with a worker process\n";
        return 1;
    }
    // The worker belongs to a job that ends it when this process ends, however it ends.
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job != nullptr) SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);

    SetEnvironmentVariableA(kWorkerVariable, std::to_string(reinterpret_cast<std::uintptr_t>(shared)).c_str());
    char program[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    std::string command_line = GetCommandLineA();
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION worker{};
    std::cout.flush();
    std::cerr.flush();
    const BOOL started = CreateProcessA(program, command_line.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                                        nullptr, &startup, &worker);
    SetEnvironmentVariableA(kWorkerVariable, nullptr);
    if (!started) {
        std::cerr << "gauge_preview: " << module_path << ": cannot start a worker process (error " << GetLastError() << ")\n";
        return 1;
    }
    if (job != nullptr) AssignProcessToJobObject(job, worker.hProcess);
    ResumeThread(worker.hThread);
    CloseHandle(worker.hThread);

    const DWORD waited = WaitForSingleObject(worker.hProcess, time_limit_seconds > 0 ? time_limit_seconds * 1000u : INFINITE);
    if (waited == WAIT_TIMEOUT) {
        TerminateProcess(worker.hProcess, 1);
        WaitForSingleObject(worker.hProcess, INFINITE);
        std::cerr << "gauge_preview: " << TimeLimitVerdict(module_path, state->activity, time_limit_seconds) << "\n";
        return 1;
    }
    DWORD exit_code = 1;
    GetExitCodeProcess(worker.hProcess, &exit_code);
    CloseHandle(worker.hProcess);
    if (state->finished) return static_cast<int>(exit_code);
    std::cerr << "gauge_preview: " << Verdict(module_path, *state, exit_code) << "\n";
    return 1;
}

}  // namespace gauge_host
