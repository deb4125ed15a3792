#include "tools/preview/module_checks.h"

#include <algorithm>
#include <cstring>

#include "host/bitmap.h"

namespace gauge_preview {

namespace {

using gauge_host::ElementRecord;

constexpr const char* kRequiredExports[] = {"Linkage", "ImportTable"};

// Colours used, at offset 32 of the information header: 0 means all 256 of an 8-bit bitmap.
std::uint32_t ColoursUsed(const std::vector<std::uint8_t>& bytes) {
    std::uint32_t word = 0;
    if (bytes.size() >= 36) std::memcpy(&word, bytes.data() + 32, 4);
    return word;
}

// Faults of Linkage and ImportTable keep the host from installing; further exports break the
// rule but harm nothing, so they are counted separately.
struct ExportFaults {
    std::vector<std::string> records;
    std::vector<std::string> extra;
};

ExportFaults ExportFailures(const gauge_host::ModuleFile& file, const gauge_host::ModuleRecords& records) {
    ExportFaults faults;
    std::vector<std::string>& failures = faults.records;
    const std::size_t linkage_size = offsetof(ModuleLinkage, gauges) + 4 * (records.gauges.size() + 1);
    for (const char* name : kRequiredExports) {
        const gauge_host::ExportedSymbol* symbol = file.FindExport(name);
        if (symbol == nullptr) {
            failures.push_back(std::string("it does not export ") + name);
            continue;
        }
        const std::size_t size = std::string(name) == "Linkage" ? linkage_size : 2 * sizeof(ImportEntry);
        const gauge_host::ImageSegment* segment = file.image().SegmentAt(symbol->address);
        if (!symbol->is_data) failures.push_back(std::string(name) + " is exported as a routine, not as data");
        else if (segment == nullptr) failures.push_back(std::string(name) + " does not lie inside the module");
        else if ((segment->access & gauge_host::kExecute) || !(segment->access & gauge_host::kWrite))
            failures.push_back(std::string(name) + " lies in " +
                               ((segment->access & gauge_host::kExecute) ? "code" : "read-only memory") +
                               ", not in writable data");
        if (symbol->size != 0 && symbol->size != size)
            failures.push_back(std::string(name) + " is " + std::to_string(symbol->size) + " bytes in the symbol table, not " +
                               std::to_string(size));
    }
    // One line for all further exports, naming the first few.
    constexpr std::size_t kNamed = 5;
    std::string named;
    std::size_t extra = 0;
    for (const gauge_host::ExportedSymbol& symbol : file.exports()) {
        if (std::any_of(std::begin(kRequiredExports), std::end(kRequiredExports), [&](const char* name) { return symbol.name == name; }))
            continue;
        if (++extra <= kNamed) named += (named.empty() ? "" : ", ") + symbol.name + (symbol.is_data ? " (data)" : " (a routine)");
    }
    if (extra > 0)
        faults.extra.push_back("it also exports " + named + (extra > kNamed ? " and " + std::to_string(extra - kNamed) + " more" : "") +
                               ": a gauge module exports nothing but Linkage and ImportTable");
    return faults;
}

// The bitmap the host finds for `id`, or the failure that says why it finds none.
const gauge_host::Resource* FindBitmap(const gauge_host::ModuleResources& resources, const std::string& user,
                                       std::uint32_t id, std::vector<std::string>& failures) {
    if (const gauge_host::Resource* bitmap = resources.Find(gauge_host::kBitmapResource, id)) return bitmap;
    if (const gauge_host::Resource* other = resources.FindInAnyLanguage(gauge_host::kBitmapResource, id))
        failures.push_back(user + ": the module has bitmap " + std::to_string(id) + " only in language " +
                           std::to_string(other->language) + "; the host looks for language 1033 (English, United States)");
    else failures.push_back(user + ": the module has no bitmap " + std::to_string(id));
    return nullptr;
}

std::vector<std::string> BitmapFailures(const gauge_host::ModuleRecords& records, const gauge_host::ModuleResources& resources) {
    std::vector<std::string> failures;
    for (const gauge_host::GaugeRecords& gauge : records.gauges)
        for (const ElementRecord& element : gauge.elements.elements) {
            const std::uint32_t first = element.record.base.resource_id;
            const gauge_host::Resource* bitmap = FindBitmap(resources, element.Name(), first, failures);
            if (bitmap == nullptr) continue;
            std::string error;
            const auto decoded = gauge_host::DecodeBitmap(bitmap->bytes, error);
            if (!decoded) {
                failures.push_back(element.Name() + ": its bitmap " + std::to_string(first) + " does not decode: " + error);
                continue;
            }
            if (element.depth == 0 && (decoded->width > kLargestGaugeSide || decoded->height > kLargestGaugeSide))
                failures.push_back("the background bitmap " + std::to_string(first) + " is " + std::to_string(decoded->width) +
                                   " x " + std::to_string(decoded->height) + " pixels; a gauge is at most " +
                                   std::to_string(kLargestGaugeSide) + " x " + std::to_string(kLargestGaugeSide));
            if (element.type() != kIcon) continue;
            const std::uint32_t pictures = element.record.icon.picture_count;
            const auto from_first = std::count_if(resources.all().begin(), resources.all().end(), [&](const auto& resource) {
                return resource.type == gauge_host::kBitmapResource && resource.language == gauge_host::kEnglishUnitedStates &&
                       resource.id >= first;
            });
            if (static_cast<std::uint32_t>(from_first) < pictures)
                failures.push_back(element.Name() + " has " + std::to_string(pictures) + " pictures, but the module has only " +
                                   std::to_string(from_first) + " bitmaps from " + std::to_string(first) + " upward");
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

}  // namespace

std::vector<CheckOutcome> CheckBeforeLoading(const gauge_host::ModuleFile& file, const gauge_host::ModuleRecords& records,
                                             const gauge_host::ModuleResources& resources) {
    ExportFaults exports = ExportFailures(file, records);
    const bool exports_block = !exports.records.empty();
    exports.records.insert(exports.records.end(), exports.extra.begin(), exports.extra.end());
    std::vector<CheckOutcome> outcomes{
        {"exports", exports.records, exports_block},
        {"records", records.problems, true},
        {"bitmaps the elements name", BitmapFailures(records, resources), true},
        {"see-through colour", TransparentColourFailures(resources), false},
    };
    if (file.movable() && !file.relocatable())
        outcomes.push_back({"relocations", {"the module may be moved, but carries no base relocations"}, true});
    return outcomes;
}

std::vector<std::string> TilingProblems(const gauge_host::MouseListWalk& walk) {
    std::vector<std::string> problems;
    auto record = [](std::size_t index) { return "record " + std::to_string(index); };
    for (const gauge_host::MouseGroup& group : walk.groups) {
        if (group.children.empty()) continue;
        const PixelRect& box = walk.records[group.parent].area.box;
        const std::string where = "the group at " + record(group.parent);
        std::int64_t next_x = 0;
        for (std::size_t index : group.children) {
            const PixelRect& child = walk.records[index].area.box;
            if (child.x != next_x)
                problems.push_back(where + ": child " + record(index) + " starts at x = " + std::to_string(child.x) +
                                   ", where the children before it end at x = " + std::to_string(next_x));
            if (child.y != 0 || child.height != box.height)
                problems.push_back(where + ": child " + record(index) + " spans y " + std::to_string(child.y) + " to " +
                                   std::to_string(std::int64_t{child.y} + child.height) + ", not the group's full height 0 to " +
                                   std::to_string(box.height));
            next_x = std::int64_t{child.x} + child.width;
        }
        if (next_x != box.width)
            problems.push_back(where + ": its children end at x = " + std::to_string(next_x) + ", but the group is " +
                               std::to_string(box.width) + " pixels wide");
    }
    return problems;
}

}  // namespace gauge_preview
