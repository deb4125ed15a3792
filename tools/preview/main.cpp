// gauge_preview: loads a built gauge module into the project's own host, as the simulator would,
// and draws, points at or inspects its gauge.
//
//   gauge_preview render MODULE [--set VAR=VALUE]... [--point X,Y]... [--link EVENT=VAR]... --out FILE.png
//   gauge_preview sheet MODULE --out FILE.png
//   gauge_preview inspect MODULE
//
// Exit status 0 on success; 1 where the module is not a gauge module, a check of `inspect`
// fails, the module crashes the host, or a file cannot be written; 2 for a command line it does
// not understand.
#include <exception>
#include <iostream>

#include "host/module_library.h"
#include "tools/preview/command_line.h"
#include "tools/preview/contact_sheet.h"
#include "tools/preview/crash_guard.h"
#include "tools/preview/module_examination.h"
#include "tools/preview/png_file.h"
#include "tools/preview/preview_session.h"

namespace {

using namespace gauge_preview;

int Render(const PreviewCommand& command) {
    PreviewSession session(command.module_path);
    for (const EventLink& link : command.links) session.Link(link);
    for (const auto& [var_id, value] : command.settings) session.SetVariable(var_id, value);
    for (const PixelPos& point : command.points) session.PointAt(point.x, point.y);
    WritePng(session.Draw(), command.out_path);
    return 0;
}

int Sheet(const PreviewCommand& command) {
    PreviewSession session(command.module_path);
    WritePng(DrawContactSheet(session), command.out_path);
    return 0;
}

int Inspect(const PreviewCommand& command) {
    for (const CheckOutcome& outcome : InspectModule(command.module_path, std::cout))
        if (!outcome.failures.empty()) return 1;
    return 0;
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
    return RunGuarded(command.module_path, [&] {
        try {
            switch (command.action) {
                case PreviewAction::Render: return Render(command);
                case PreviewAction::Sheet: return Sheet(command);
                case PreviewAction::Inspect: return Inspect(command);
            }
        } catch (const gauge_host::ModuleLoadError& error) {
            std::cerr << "gauge_preview: " << error.what() << "\n";
        } catch (const std::exception& error) {
            std::cerr << "gauge_preview: " << command.module_path << ": " << error.what() << "\n";
        }
        return 1;
    });
}
