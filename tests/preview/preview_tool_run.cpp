// Running gauge_preview from a test and collecting what it prints: through the shell on Linux, and
// on Windows as a process of its own with one pipe for both of its outputs.
#include "preview_test_support.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/wait.h>
#endif

namespace preview_test {

#if defined(_WIN32)

ToolRun RunPreviewTool(const std::vector<std::string>& arguments, const std::string& folder) {
    const std::string program = gauge_host::PathBesideProgram(kToolName);
    std::string command_line = "\"" + program + "\"";
    for (const std::string& argument : arguments) command_line += " \"" + argument + "\"";
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE reader = nullptr, writer = nullptr;
    if (!CreatePipe(&reader, &writer, &inherited, 0)) throw std::runtime_error("cannot make a pipe");
    SetHandleInformation(reader, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = startup.hStdError = writer;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessA(program.c_str(), command_line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        folder.empty() ? nullptr : folder.c_str(), &startup, &process);
    CloseHandle(writer);
    if (!started) {
        CloseHandle(reader);
        throw std::runtime_error("cannot run " + command_line);
    }
    ToolRun run{0, ""};
    char buffer[4096];
    // Reads what is there while the tool runs, then what is left once it has ended. The end of
    // the pipe alone is not waited for: under Wine it is not always reported once every writer
    // has gone.
    for (bool ended = false;;) {
        DWORD available = 0, read = 0;
        if (!PeekNamedPipe(reader, nullptr, 0, nullptr, &available, nullptr)) break;
        if (available > 0) {
            if (!ReadFile(reader, buffer, available < sizeof buffer ? available : sizeof buffer, &read, nullptr)) break;
            run.output.append(buffer, read);
            continue;
        }
        if (ended) break;
        ended = WaitForSingleObject(process.hProcess, 10) == WAIT_OBJECT_0;
    }
    CloseHandle(reader);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exit_code = 0;
    GetExitCodeProcess(process.hProcess, &exit_code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    run.exit_code = static_cast<int>(exit_code);
    // The tool writes lines ending in "\n"; the console layer may turn them into "\r\n".
    std::string text;
    for (char character : run.output)
        if (character != '\r') text.push_back(character);
    run.output = text;
    return run;
}

#else

ToolRun RunPreviewTool(const std::vector<std::string>& arguments, const std::string& folder) {
    std::string command = (folder.empty() ? "" : "cd '" + folder + "' && ") + "'" + gauge_host::PathBesideProgram(kToolName) + "'";
    for (const std::string& argument : arguments) command += " '" + argument + "'";
    command += " 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) throw std::runtime_error("cannot run " + command);
    ToolRun run{0, ""};
    char buffer[4096];
    for (std::size_t read; (read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, read);
    const int status = pclose(pipe);
    run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

#endif

}  // namespace preview_test
