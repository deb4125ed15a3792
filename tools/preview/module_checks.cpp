#include "tools/preview/module_checks.h"

#include <algorithm>
#include <cstring>

#include "host/bitmap.h"

namespace gauge_preview {

namespace {

constexpr const char* kRequiredExports[] = {"Linkage", "ImportTable"};

const ExportedSymbol* FindExport(const std::vector<ExportedSymbol>& exports, const std::string& name) {
    auto found = std::find_if(exports.begin(), exports.end(),
                              [&](const ExportedSymbol& symbol) { return symbol.name == name; });
    return found == exports.end() ? nullptr : &*found;
}

std::string ElementName(const ElementBase& element) {
    return std::string(ElementKindName(element.element_type)) + " element of bitmap " +
           std::to_string(element.resource_id);
}

// Colours used, at offset 32 of the information header: 0 means all 256 of an 8-bit bitmap.
std::uint32_t ColoursUsed(const std::vector<std::uint8_t>& bytes) {
    std::uint32_t word = 0;
    if (bytes.size() >= 36) std::memcpy(&word, bytes.data() + 32, 4);
    return word;
}

}  // namespace

std::vector<std::string> ExportFailures(const std::vector<ExportedSymbol>& exports) {
    std::vector<std::string> failures;
    for (const char* name : kRequiredExports) {
        const ExportedSymbol* symbol = FindExport(exports, name);
        if (symbol == nullptr) failures.push_back(std::string("it does not export ") + name);
        else if (!symbol->is_data) failures.push_back(std::string(name) + " is exported as a routine, not as data");
    }
    for (const ExportedSymbol& symbol : exports)
        if (std::none_of(std::begin(kRequiredExports), std::end(kRequiredExports),
                         [&](const char* name) { return symbol.name == name; }))
            failures.push_back("it also exports " + symbol.name + (symbol.is_data ? " (data)" : " (a routine)") +
                               ": a gauge module exports nothing but Linkage and ImportTable");
    return failures;
}

GaugeHeader* ReadableGauge(const gauge_host::ModuleLibrary& module) {
    const auto image = module.image();
    if (!image.Holds(&module.linkage(), sizeof(ModuleLinkage))) return nullptr;
    GaugeHeader* header = module.linkage().gauges[0];
    return image.Holds(header, sizeof(GaugeHeader)) ? header : nullptr;
}

std::string ReadableGaugeName(const GaugeHeader& header, const gauge_host::ModuleImage& image) {
    const char* name = header.gauge_name;
    for (std::size_t length = 0; image.Holds(name, length + 1); ++length)
        if (name[length] == '\0') return std::string(name, length);
    return {};
}

std::vector<std::string> RecordFailures(const gauge_host::ModuleLibrary& module,
                                        const std::vector<ExportedSymbol>& exports, const ElementWalk& elements) {
    std::vector<std::string> failures;
    const auto image = module.image();
    const struct { const char* name; std::size_t size; } exported_records[] = {
        {"Linkage", sizeof(ModuleLinkage)}, {"ImportTable", 2 * sizeof(ImportEntry)}};
    for (const auto& record : exported_records)
        if (const ExportedSymbol* symbol = FindExport(exports, record.name);
            symbol != nullptr && symbol->size != record.size)
            failures.push_back(std::string(record.name) + " is " + std::to_string(symbol->size) +
                               " bytes in the symbol table, not " + std::to_string(record.size));

    if (!image.Holds(&module.linkage(), sizeof(ModuleLinkage)))
        failures.push_back("Linkage runs outside the module's image");
    else if (module.linkage().gauges[1] != nullptr)
        failures.push_back("Linkage's gauge list is not ended by a null pointer after its one gauge (offset 0x1C)");
    if (!image.Holds(module.import_table(), 2 * sizeof(ImportEntry)))
        failures.push_back("ImportTable runs outside the module's image");
    else if (module.import_table()[1].module_id != 0)
        failures.push_back("ImportTable has no end entry (module_id 0) after its first entry");

    GaugeHeader* header = ReadableGauge(module);
    if (header == nullptr) {
        failures.push_back("the gauge header that Linkage lists does not lie wholly inside the module's image");
        return failures;
    }
    if (ReadableGaugeName(*header, image).empty())
        failures.push_back("the gauge's name is not a text inside the module's image");
    if (!image.Holds(header->root_ref, sizeof(ElementBase*)))
        failures.push_back("the header's root_ref does not point at a variable inside the module's image");
    failures.insert(failures.end(), elements.problems.begin(), elements.problems.end());
    for (const WalkedElement& entry : elements.elements) {
        if (entry.element->element_type != kNeedle) continue;
        const auto& needle = *reinterpret_cast<const NeedleElement*>(entry.element);
        if (!image.HoldsArray(needle.scale_points, needle.scale_point_count, sizeof(ScalePoint))) {
            failures.push_back(ElementName(needle.header) + ": its " + std::to_string(needle.scale_point_count) +
                               " calibration points run outside the module's image");
            continue;
        }
        for (std::uint32_t i = 1; i < needle.scale_point_count; ++i)
            if (!(needle.scale_points[i].value > needle.scale_points[i - 1].value))
                failures.push_back(ElementName(needle.header) + ": calibration point " + std::to_string(i) +
                                   " does not stand above the one before it in value");
    }
    return failures;
}

std::vector<std::string> NamedBitmapFailures(const ElementWalk& elements, const gauge_host::ModuleResources& resources) {
    std::vector<std::string> failures;
    for (const WalkedElement& entry : elements.elements) {
        const ElementBase& element = *entry.element;
        const std::uint32_t first = element.resource_id;
        if (resources.Find(gauge_host::kBitmapResource, first) == nullptr) {
            failures.push_back(ElementName(element) + ": the module has no bitmap " + std::to_string(first));
            continue;
        }
        if (element.element_type != kIcon) continue;
        const std::uint32_t pictures = reinterpret_cast<const IconElement&>(element).picture_count;
        const auto from_first = std::count_if(resources.all().begin(), resources.all().end(), [&](const auto& resource) {
            return resource.type == gauge_host::kBitmapResource && resource.id >= first;
        });
        if (static_cast<std::uint32_t>(from_first) < pictures)
            failures.push_back(ElementName(element) + " has " + std::to_string(pictures) +
                               " pictures, but the module has only " + std::to_string(from_first) +
                               " bitmaps from " + std::to_string(first) + " upward");
    }
    return failures;
}

std::vector<std::string> TransparentColourFailures(const gauge_host::ModuleResources& resources) {
    std::vector<std::string> failures;
    for (const gauge_host::Resource& resource : resources.all()) {
        if (resource.type != gauge_host::kBitmapResource) continue;
        const std::string name = "bitmap " + std::to_string(resource.id);
        std::string error;
        const auto bitmap = gauge_host::DecodeBitmap(resource.bytes, error);
        if (!bitmap) {
            failures.push_back(name + " does not decode as an 8-bit bitmap: " + error);
            continue;
        }
        if (const std::uint32_t used = ColoursUsed(resource.bytes); used != 0 && used != 256)
            failures.push_back(name + " uses " + std::to_string(used) + " palette entries, not 256");
        const auto see_through = [](const gauge_host::Color& color) { return color.see_through(); };
        if (std::none_of(bitmap->palette.begin(), bitmap->palette.end(), see_through))
            failures.push_back(name + " has no pure black in its palette, so nothing of it can be see-through");
    }
    return failures;
}

}  // namespace gauge_preview
