// gauge_preview: loads a built gauge module into the project's own host, as the simulator would,
// and draws, points at or inspects its gauge.
//
//   gauge_preview render MODULE [--gauge NAME] [--set VAR=VALUE]... [--point X,Y]... [--link EVENT=VAR]... --out FILE.png
//   gauge_preview sheet MODULE [--gauge NAME] --out FILE.png
//   gauge_preview inspect MODULE
//   gauge_preview datasheet MODULE [--gauge NAME] [--out FILE.md]
//   gauge_preview serve MODULE [--gauge NAME] [--set VAR=VALUE]... [--link EVENT=VAR]... [--port N]
// and with every command but serve --time-limit SECONDS, how long the module may take (120 unless
// given). serve runs until it is ended, and a module that brings it down ends it with one line.
//
// Exit status 0 on success; 1 where the module is not a gauge module, a check fails, the module
// crashes, ends or hangs the host, or the output cannot be written, with one line per failure,
// each naming the module; 2 for a command line it does not understand.
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "host/module_file.h"
#include "host/process_guard.h"
#if defined(GAUGE_PREVIEW_SERVES)
#include "tools/preview/bench_server.h"
#endif
#include "tools/preview/command_line.h"
#include "tools/preview/contact_sheet.h"
#include "tools/preview/datasheet.h"
#include "tools/preview/module_examination.h"
#include "tools/preview/output_stream.h"
#include "tools/preview/png_file.h"
#include "tools/preview/preview_session.h"

namespace {

using namespace gauge_preview;

int Render(const PreviewCommand& command) {
    PreviewSession session(command.module_path, command.gauge_name);
    for (const EventLink& link : command.links) session.Link(link);
    for (const auto& [var_id, value] : command.settings) session.SetVariable(var_id, value);
    for (const PixelPos& point : command.points) session.PointAt(point.x, point.y);
    WritePng(session.Draw(), command.out_path);
    return 0;
}

int Sheet(const PreviewCommand& command) {
    PreviewSession session(command.module_path, command.gauge_name);
    WritePng(DrawContactSheet(session), command.out_path);
    return 0;
}

int Datasheet(const PreviewCommand& command) {
    PreviewSession session(command.module_path, command.gauge_name);
    const std::string module_name = std::filesystem::path(command.module_path).filename().string();
    if (command.out_path.empty()) {
        WriteDatasheet(session, module_name, std::cout);
        return 0;
    }
    std::ostringstream text;
    WriteDatasheet(session, module_name, text);
    std::ofstream file(command.out_path, std::ios::binary);
    file << text.str();
    file.close();
    if (!file) throw std::runtime_error(command.out_path + ": cannot be written");
    return 0;
}

#if defined(GAUGE_PREVIEW_SERVES)
int Serve(const PreviewCommand& command) {
    ServeBench({command.module_path, command.gauge_name, command.settings, command.links}, command.port, std::cout);
    return 0;
}
#else
// This build has no HTTP library (see tools/preview/CMakeLists.txt).
int Serve(const PreviewCommand& command) {
    std::cerr << "gauge_preview: " << command.module_path << ": this build of gauge_preview cannot serve a bench page; "
              << "the Linux build can\n";
    return 1;
}
#endif

int Inspect(const PreviewCommand& command) {
    int status = 0;
    for (const CheckOutcome& outcome : InspectModule(command.module_path, std::cout))
        if (!outcome.failures.empty()) status = 1;
    return status;
}

int Run(const PreviewCommand& command) {
    const std::string& module = command.module_path;
    try {
        switch (command.action) {
            case PreviewAction::Render: return Render(command);
            case PreviewAction::Sheet: return Sheet(command);
            case PreviewAction::Inspect: return Inspect(command);
            case PreviewAction::Datasheet: return Datasheet(command);
            case PreviewAction::Serve: return Serve(command);
        }
    } catch (const gauge_host::ModuleLoadError& error) {
        std::cerr << "gauge_preview: " << error.what() << "\n";
    } catch (const ModuleCheckFailure& failure) {
        for (const std::string& line : failure.lines) std::cerr << "gauge_preview: " << module << ": check failed: " << line << "\n";
    } catch (const std::exception& error) {
        std::cerr << "gauge_preview: " << module << ": " << error.what() << "\n";
    }
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    PreviewCommand command;
    try {
        command = ParseCommandLine(argc, argv);
    } catch (const CommandLineError& error) {
        std::cerr << "gauge_preview: " << error.what() << "\n\n" << kUsage;
        return 2;
    }
    DescriptorOutput standard_output(1);
    std::streambuf* const buffered_output = std::cout.rdbuf(&standard_output);
    const int status = gauge_host::RunGuarded(command.module_path, command.time_limit_seconds, [&] {
        int command_status = Run(command);
        if (!standard_output.error().empty()) {
            std::cerr << "gauge_preview: " << command.module_path << ": cannot write the output: " << standard_output.error() << "\n";
            command_status = 1;
        }
        return command_status;
    }, argv);
    std::cout.rdbuf(buffered_output);
    return status;
}
