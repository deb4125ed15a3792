#include "host/module_records.h"

#include <algorithm>
#include <set>

namespace gauge_host {

const GaugeRecords* ModuleRecords::Find(const std::string& name) const {
    for (const GaugeRecords& gauge : gauges)
        if (gauge.name == name) return &gauge;
    return nullptr;
}

namespace {

std::uintptr_t Address(const void* pointer) { return reinterpret_cast<std::uintptr_t>(pointer); }

// Offsets of the seven routine fields, with their names as the host knows them.
struct RoutineField {
    const char* name;
    std::uintptr_t (*read)(const GaugeHeader&);
};
const RoutineField kRoutines[] = {
    {"query", [](const GaugeHeader& h) { return Address(reinterpret_cast<const void*>(h.query)); }},
    {"install", [](const GaugeHeader& h) { return Address(reinterpret_cast<const void*>(h.install)); }},
    {"initialize", [](const GaugeHeader& h) { return Address(reinterpret_cast<const void*>(h.initialize)); }},
    {"update", [](const GaugeHeader& h) { return Address(reinterpret_cast<const void*>(h.update)); }},
    {"generate", [](const GaugeHeader& h) { return Address(reinterpret_cast<const void*>(h.generate)); }},
    {"draw", [](const GaugeHeader& h) { return Address(reinterpret_cast<const void*>(h.draw)); }},
    {"kill", [](const GaugeHeader& h) { return Address(reinterpret_cast<const void*>(h.kill)); }},
};

void ReadHeader(const ModuleImage& image, GaugeRecords& gauge, std::vector<std::string>& problems) {
    const std::string where = "the gauge header at " + AddressText(gauge.header_address);
    if (!image.ReadRecord(gauge.header_address, gauge.header)) {
        problems.push_back(where + " does not lie wholly inside the module");
        return;
    }
    gauge.header_read = true;
    if (auto name = image.ReadText(Address(gauge.header.gauge_name), kLongestGaugeName)) gauge.name = *name;
    else problems.push_back(where + ": its name is not a text of at most " + std::to_string(kLongestGaugeName) +
                            " characters inside the module");
}

// `gauge_name` is how problems name the gauge: by its name where that tells it apart.
void ReadGauge(const ModuleImage& image, GaugeRecords& gauge, const std::string& gauge_name,
               std::vector<std::string>& problems) {
    for (const RoutineField& routine : kRoutines) {
        const std::uintptr_t address = routine.read(gauge.header);
        if (address == 0 || !IsCodeOrNull(image, address))
            problems.push_back(gauge_name + ": its " + routine.name + " routine is " +
                               (address == 0 ? "missing" : "not code of the module"));
    }
    std::uint32_t root = 0;
    if (!image.ReadRecord(Address(gauge.header.root_ref), root)) {
        problems.push_back(gauge_name + ": its root_ref does not point at a variable inside the module");
        return;
    }
    gauge.root = root;
    gauge.elements = WalkElementTree(image, root, gauge.header_address);
    for (const std::string& problem : gauge.elements.problems) problems.push_back(gauge_name + ": " + problem);
}

}  // namespace

ModuleRecords ReadModuleRecords(const ModuleImage& image, std::uintptr_t linkage, std::uintptr_t import_table) {
    ModuleRecords records;
    auto problem = [&](std::string text) { records.problems.push_back(std::move(text)); };

    ModuleLinkage head{};
    if (!image.Read(linkage, &head, offsetof(ModuleLinkage, gauges))) {
        problem("Linkage does not lie inside the module");
    } else {
        if (!IsCodeOrNull(image, Address(reinterpret_cast<const void*>(head.init_routine))))
            problem("Linkage's init routine is not code of the module");
        if (!IsCodeOrNull(image, Address(reinterpret_cast<const void*>(head.deinit_routine))))
            problem("Linkage's deinit routine is not code of the module");
        std::set<std::uint32_t> listed_twice;
        for (std::size_t index = 0;; ++index) {
            std::uint32_t entry = 0;
            if (!image.ReadRecord(linkage + offsetof(ModuleLinkage, gauges) + index * 4, entry)) {
                problem("Linkage's gauge list has no null end inside the module");
                break;
            }
            if (entry == 0) break;
            if (index == kMostGauges) {
                problem("Linkage lists more than " + std::to_string(kMostGauges) + " gauges");
                break;
            }
            const bool listed_before = std::any_of(records.gauges.begin(), records.gauges.end(),
                                                   [&](const GaugeRecords& gauge) { return gauge.header_address == entry; });
            if (listed_before) {
                if (listed_twice.insert(entry).second)
                    problem("Linkage lists the gauge header at " + AddressText(entry) + " more than once");
                continue;
            }
            records.gauges.push_back({});
            records.gauges.back().header_address = entry;
        }
        if (records.gauges.empty()) problem("Linkage lists no gauge");
    }

    ImportEntry imports[2] = {};
    if (!image.Holds(import_table, sizeof imports, kRead | kWrite))
        problem(image.Holds(import_table, sizeof imports) ? "ImportTable lies in read-only memory, where the host writes "
                                                            "its service table's address"
                                                          : "ImportTable does not lie wholly inside the module");
    else if (image.Read(import_table, imports, sizeof imports) && imports[1].module_id != 0)
        problem("ImportTable has no end entry (module_id 0) after its first entry");

    // The host knows a gauge by its name, so no two may share one.
    for (GaugeRecords& gauge : records.gauges) ReadHeader(image, gauge, records.problems);
    for (GaugeRecords& gauge : records.gauges) {
        if (!gauge.header_read) continue;
        const auto same_name = std::count_if(records.gauges.begin(), records.gauges.end(),
                                             [&](const GaugeRecords& other) { return other.header_read && other.name == gauge.name; });
        const std::string address = "the gauge header at " + AddressText(gauge.header_address);
        if (same_name > 1 && !gauge.name.empty())
            problem(address + ": its name \"" + PrintableText(gauge.name) + "\" is another gauge's too");
        ReadGauge(image, gauge, same_name == 1 && !gauge.name.empty() ? "gauge \"" + PrintableText(gauge.name) + "\"" : address,
                  records.problems);
    }
    return records;
}

}  // namespace gauge_host
