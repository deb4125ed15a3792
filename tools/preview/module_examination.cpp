#include "tools/preview/module_examination.h"

#include <exception>
#include <optional>

#include "host/recording_host.h"
#include "tools/preview/element_tree.h"
#include "tools/preview/elf_exports.h"
#include "tools/preview/module_checks.h"
#include "tools/preview/module_report.h"
#include "host/mouse_list.h"
#include "tools/preview/mouse_tiling.h"

namespace gauge_preview {

namespace {

std::vector<ExportedSymbol> ExportsOrFailure(const std::string& path, std::vector<std::string>& failures) {
    try {
        return ReadExports(path);
    } catch (const std::exception& error) {
        failures.push_back(error.what());
        return {};
    }
}

void PrintOutcomes(std::ostream& out, const std::vector<CheckOutcome>& outcomes) {
    out << "checks\n";
    for (const CheckOutcome& outcome : outcomes) {
        if (outcome.failures.empty()) out << "  ok      " << outcome.check << "\n";
        for (const std::string& failure : outcome.failures) out << "  FAILED  " << outcome.check << ": " << failure << "\n";
    }
}

}  // namespace

std::vector<CheckOutcome> InspectModule(const std::string& path, std::ostream& out) {
    gauge_host::ModuleLibrary module(path);
    gauge_host::RecordingHost host(module);
    const gauge_host::ModuleImage image = module.image();
    out << "module " << path << "\n";

    std::vector<CheckOutcome> outcomes{{"exports", {}}};
    const std::vector<ExportedSymbol> exports = ExportsOrFailure(path, outcomes[0].failures);
    if (outcomes[0].failures.empty()) outcomes[0].failures = ExportFailures(exports);

    ElementWalk elements;
    GaugeHeader* header = ReadableGauge(module);
    const bool tree_readable = header != nullptr && image.Holds(header->root_ref, sizeof(ElementBase*));
    if (header != nullptr) PrintGaugeHeader(out, *header, ReadableGaugeName(*header, image));
    if (tree_readable) {
        elements = WalkElementTree(*header->root_ref, image);
        PrintElementTree(out, elements);
    }
    outcomes.push_back({"record sizes", RecordFailures(module, exports, elements)});

    // The mouse list reaches the host only through the install routine: install the gauge, but
    // only where the element tree that the host takes over at install could be walked. What the
    // walk cannot see (a routine or a table pointing astray, records in read-only memory) may
    // still bring the process down; the program runs each command in a child for that.
    std::optional<gauge_host::MouseListWalk> mouse_list;
    const bool installed = tree_readable && elements.problems.empty();
    if (installed) {
        host.Install();
        if (host.registered_mouse_areas() != nullptr) mouse_list = gauge_host::WalkMouseList(host.registered_mouse_areas(), image);
    }
    if (mouse_list) PrintMouseList(out, *mouse_list);
    const std::vector<std::string> no_list{installed ? "the gauge's install routine registered no mouse list"
                                                     : "not read, since the gauge cannot be installed"};
    outcomes.push_back({"mouse list nesting", mouse_list ? mouse_list->nesting_problems : no_list});
    if (mouse_list) outcomes.push_back({"mouse children tile their groups", TilingProblems(*mouse_list)});

    PrintResources(out, host.resources());
    PrintVersionStrings(out, host.resources());
    outcomes.push_back({"bitmaps the elements name", NamedBitmapFailures(elements, host.resources())});
    outcomes.push_back({"see-through colour", TransparentColourFailures(host.resources())});
    outcomes.push_back({"host contract at install", host.contract_breaks()});
    if (installed) host.Kill();

    PrintOutcomes(out, outcomes);
    return outcomes;
}

}  // namespace gauge_preview
