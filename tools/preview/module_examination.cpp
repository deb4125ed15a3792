#include "tools/preview/module_examination.h"

#include <optional>

#include "host/module_library.h"
#include "host/module_records.h"
#include "host/module_resources.h"
#include "host/mouse_list.h"
#include "host/recording_host.h"
#include "tools/preview/module_report.h"

namespace gauge_preview {

namespace {

void PrintOutcomes(std::ostream& out, const std::vector<CheckOutcome>& outcomes) {
    out << "checks\n";
    for (const CheckOutcome& outcome : outcomes) {
        if (outcome.failures.empty()) out << "  ok      " << outcome.check << "\n";
        for (const std::string& failure : outcome.failures) out << "  FAILED  " << outcome.check << ": " << failure << "\n";
    }
}

std::uintptr_t ExportAddress(const gauge_host::ModuleFile& file, const char* name) {
    const gauge_host::ExportedSymbol* symbol = file.FindExport(name);
    return symbol != nullptr ? symbol->address : 0;
}

// Installs each gauge of the loaded module in turn, prints its mouse list as registered, and adds
// the checks of what the install routine handed the host.
void InspectInstalledGauges(gauge_host::ModuleFile file, const gauge_host::ModuleRecords& records, std::ostream& out,
                            std::vector<CheckOutcome>& outcomes) {
    gauge_host::ModuleLibrary module(std::move(file));
    const gauge_host::ModuleRecords loaded = gauge_host::ReadModuleRecords(
        module.image(), reinterpret_cast<std::uintptr_t>(&module.linkage()), reinterpret_cast<std::uintptr_t>(module.import_table()));
    outcomes.push_back({"records once loaded", loaded.problems, true});
    if (!loaded.problems.empty()) return;
    for (const gauge_host::GaugeRecords& gauge : loaded.gauges) {
        const std::string suffix = records.gauges.size() > 1 ? " of \"" + gauge_host::PrintableText(gauge.name) + "\"" : "";
        gauge_host::RecordingHost host(module, *reinterpret_cast<GaugeHeader*>(gauge.header_address));
        host.Install();
        std::optional<gauge_host::MouseListWalk> mouse_list;
        if (host.registered_mouse_areas() != nullptr) mouse_list = host.WalkRegisteredMouseList();
        if (mouse_list) {
            if (records.gauges.size() > 1) out << "gauge \"" << gauge_host::PrintableText(gauge.name) << "\"\n";
            PrintMouseList(out, *mouse_list);
        }
        outcomes.push_back({"mouse list" + suffix,
                            mouse_list ? mouse_list->problems
                                       : std::vector<std::string>{"the gauge's install routine registered no mouse list"},
                            true});
        if (mouse_list) outcomes.push_back({"mouse children tile their groups" + suffix, TilingProblems(*mouse_list)});
        // A mouse list the host refused is reported once, by the list's own problems.
        std::vector<std::string> breaks;
        for (const std::string& broken : host.contract_breaks())
            if (broken.rfind(gauge_host::kUntakableMouseList, 0) != 0 || !mouse_list || mouse_list->problems.empty())
                breaks.push_back(broken);
        outcomes.push_back({"host contract at install" + suffix, breaks, true});
        host.Kill();
    }
}

}  // namespace

std::vector<CheckOutcome> InspectModule(const std::string& path, std::ostream& out) {
    gauge_host::ModuleFile file = gauge_host::ModuleFile::Read(path);
    gauge_host::RequireGaugeExports(file);
    const gauge_host::ModuleResources resources(file);
    const gauge_host::ModuleRecords records =
        gauge_host::ReadModuleRecords(file.image(), ExportAddress(file, "Linkage"), ExportAddress(file, "ImportTable"));

    out << "module " << path << "\n";
    out << "needs " << (file.needed_libraries().empty() ? "no library" : "");
    for (std::size_t i = 0; i < file.needed_libraries().size(); ++i) out << (i == 0 ? "" : ", ") << file.needed_libraries()[i];
    out << "\n";
    for (const gauge_host::GaugeRecords& gauge : records.gauges) {
        if (!gauge.header_read) continue;
        PrintGaugeHeader(out, gauge.header, gauge_host::PrintableText(gauge.name));
        PrintElementTree(out, gauge.elements);
    }

    std::vector<CheckOutcome> outcomes = CheckBeforeLoading(file, records, resources);
    bool may_install = true;
    for (const CheckOutcome& outcome : outcomes) may_install = may_install && (outcome.failures.empty() || !outcome.blocks_install);
    if (may_install) InspectInstalledGauges(std::move(file), records, out, outcomes);
    else out << "mouse list not read: the module is not loaded while a check below fails\n";

    PrintResources(out, resources);
    PrintVersionStrings(out, resources);
    PrintOutcomes(out, outcomes);
    return outcomes;
}

}  // namespace gauge_preview
