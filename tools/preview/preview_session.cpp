#include "tools/preview/preview_session.h"

#include "tools/preview/gauge_drawing.h"
#include "tools/preview/module_checks.h"

namespace gauge_preview {

namespace {

std::uintptr_t ExportAddress(const gauge_host::ModuleFile& file, const char* name) {
    const gauge_host::ExportedSymbol* symbol = file.FindExport(name);
    return symbol != nullptr ? symbol->address : 0;
}

std::vector<std::string> BlockingFailures(const std::vector<CheckOutcome>& outcomes) {
    std::vector<std::string> lines;
    for (const CheckOutcome& outcome : outcomes)
        if (outcome.blocks_install)
            for (const std::string& failure : outcome.failures) lines.push_back(outcome.check + ": " + failure);
    return lines;
}

}  // namespace

const gauge_host::GaugeRecords& ChooseGauge(const gauge_host::ModuleRecords& records, const std::string& gauge_name) {
    if (gauge_name.empty() && !records.gauges.empty()) return records.gauges.front();
    if (const gauge_host::GaugeRecords* gauge = records.Find(gauge_name)) return *gauge;
    std::string names;
    for (const gauge_host::GaugeRecords& gauge : records.gauges) names += (names.empty() ? "\"" : ", \"") + gauge_host::PrintableText(gauge.name) + "\"";
    throw std::runtime_error("the module has no gauge named \"" + gauge_host::PrintableText(gauge_name) + "\"; its gauges are " + names);
}

gauge_host::ModuleFile CheckedModuleFile(const std::string& module_path, const std::string& gauge_name) {
    gauge_host::ModuleFile file = gauge_host::ModuleFile::Read(module_path);
    gauge_host::RequireGaugeExports(file);
    const gauge_host::ModuleResources resources(file);
    const gauge_host::ModuleRecords records =
        gauge_host::ReadModuleRecords(file.image(), ExportAddress(file, "Linkage"), ExportAddress(file, "ImportTable"));
    const std::vector<std::string> failures = BlockingFailures(CheckBeforeLoading(file, records, resources));
    if (!failures.empty()) throw ModuleCheckFailure(failures);
    ChooseGauge(records, gauge_name);
    return file;
}

PreviewSession::PreviewSession(const std::string& module_path, const std::string& gauge_name)
    : module_(CheckedModuleFile(module_path, gauge_name)),
      gauge_(LoadedGauge(gauge_name)),
      host_(module_, gauge_),
      pictures_(host_.resources()) {
    host_.Install();
    if (!host_.contract_breaks().empty()) {
        std::vector<std::string> lines;
        for (const std::string& broken : host_.contract_breaks()) lines.push_back("host contract at install: " + broken);
        throw ModuleCheckFailure(lines);
    }
}

// The records once more as the loader left them: the module's start-up code has run by now, and
// what the host installs is what stands in memory, not what the file said.
GaugeHeader& PreviewSession::LoadedGauge(const std::string& wanted) {
    const gauge_host::ModuleRecords loaded = gauge_host::ReadModuleRecords(
        module_.image(), reinterpret_cast<std::uintptr_t>(&module_.linkage()), reinterpret_cast<std::uintptr_t>(module_.import_table()));
    if (!loaded.problems.empty()) {
        std::vector<std::string> lines;
        for (const std::string& problem : loaded.problems) lines.push_back("records once loaded: " + problem);
        throw ModuleCheckFailure(lines);
    }
    const gauge_host::GaugeRecords& gauge = ChooseGauge(loaded, wanted);
    gauge_name_ = gauge.name;
    return *reinterpret_cast<GaugeHeader*>(gauge.header_address);
}

PreviewSession::~PreviewSession() { host_.Kill(); }

bool PreviewSession::PointAt(std::int32_t x, std::int32_t y) {
    const std::size_t first_new_call = host_.calls().size();
    const bool taken = host_.PointAt(x, y).has_value();
    for (std::size_t i = first_new_call; i < host_.calls().size(); ++i) {
        const gauge_host::ServiceCall& call = host_.calls()[i];
        if (call.slot != gauge_host::kSendEvent) continue;
        const auto value = static_cast<std::int32_t>(call.args[1]);
        for (const EventLink& link : links_)
            if (link.event_id == call.args[0]) host_.SetVariable(link.var_id, value);
    }
    return taken;
}

Canvas PreviewSession::Draw(std::vector<ElementReading>* readings) { return DrawGauge(host_, pictures_, readings); }

}  // namespace gauge_preview
