#include "tools/preview/module_report.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "host/bitmap.h"
#include "host/version_block.h"

namespace gauge_preview {

namespace {

std::string Hex(std::uint32_t word, int digits = 8) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*lx", digits, static_cast<unsigned long>(word));
    return text;
}

std::string Point(PixelPos point) { return "(" + std::to_string(point.x) + ", " + std::to_string(point.y) + ")"; }

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

// A slider scale as the host reads it, and as a whole number of pixels over 16384 where it is one
// (a lever's travel for a full-range setting).
std::string Scale(double scale) {
    std::string text = Number(scale);
    const double pixels = scale * 16384;
    if (scale != 0 && pixels == std::round(pixels)) text += " (" + Number(pixels) + "/16384)";
    return text;
}

std::string Binding(const VarBinding& binding) { return "var " + std::to_string(binding.var_id); }
std::string Callback(ElementCallback callback) { return callback != nullptr ? "callback" : "no callback"; }

std::string ElementLine(const gauge_host::ElementRecord& walked) {
    const ElementBase& element = walked.record.base;
    std::string line = std::string(gauge_host::ElementKindName(element.element_type)) + "  bitmap " +
                       std::to_string(element.resource_id) + "  position " + Point(element.position) + "  offset " +
                       Point(element.offset) + "  flags " + std::to_string(element.picture_flags);
    switch (element.element_type) {
        case kNeedle: {
            const NeedleElement& needle = walked.record.needle;
            line += "  input " + Binding(needle.input_var) + ", " + Callback(needle.callback) + "  tip " +
                    Point(needle.needle_tip) + "  param " + std::to_string(needle.needle_param) + "  scale";
            for (const ScalePoint& point : walked.scale) line += " " + Point(point.point) + "=" + Number(point.value);
            break;
        }
        case kSlider: {
            const SliderElement& slider = walked.record.slider;
            line += "  x: " + Binding(slider.input_var_x) + " scale " + Scale(slider.scale_x) + ", " +
                    Callback(slider.callback_x) + "  y: " + Binding(slider.input_var_y) + " scale " +
                    Scale(slider.scale_y) + ", " + Callback(slider.callback_y);
            break;
        }
        case kIcon: {
            const IconElement& icon = walked.record.icon;
            line += "  input " + Binding(icon.input_var) + ", " + Callback(icon.callback) + "  pictures " +
                    std::to_string(icon.picture_count);
            break;
        }
    }
    return line;
}

std::string Span(std::int32_t from, std::int32_t length) {
    return std::to_string(from) + ".." + std::to_string(from + length - 1);
}

std::string ResourceTypeName(std::uint32_t type) {
    if (type == gauge_host::kBitmapResource) return "bitmap";
    if (type == gauge_host::kVersionResource) return "version";
    return "type " + std::to_string(type);
}

}  // namespace

void PrintGaugeHeader(std::ostream& out, const GaugeHeader& header, const std::string& name) {
    out << "gauge \"" << name << "\"\n";
    std::uint32_t words[sizeof(GaugeHeader) / 4];
    std::memcpy(words, &header, sizeof words);
    out << "header words";
    for (std::size_t i = 0; i < std::size(words); ++i) out << (i % 11 == 0 ? "\n  " : " ") << Hex(words[i]);
    out << "\n  version " << header.header_version << ", constant " << header.header_constant
        << ", seven routines " << (header.query && header.install && header.initialize && header.update &&
                                           header.generate && header.draw && header.kill
                                       ? "all present"
                                       : "NOT all present")
        << "\n";
}

void PrintElementTree(std::ostream& out, const gauge_host::ElementWalk& elements) {
    out << "elements, in drawing order\n";
    for (const gauge_host::ElementRecord& element : elements.elements)
        out << std::string(2 + 2 * element.depth, ' ') << ElementLine(element) << "\n";
}

void PrintMouseList(std::ostream& out, const gauge_host::MouseListWalk& list) {
    out << "mouse list, boxes in background pixels\n";
    for (std::size_t i = 0; i < list.records.size(); ++i) {
        const gauge_host::MouseRecord& record = list.records[i];
        const MouseArea& area = record.area;
        out << "  " << (i < 10 ? " " : "") << i << std::string(1 + 2 * std::max(record.depth, 0), ' ')
            << gauge_host::MouseKindName(area.kind);
        if (i == 0 && area.kind == kParent)
            out << "  the whole gauge, its origin the background's top-left corner";
        else if ((area.kind == kParent || area.kind == kChild) && (record.placed.width <= 0 || record.placed.height <= 0))
            out << "  an empty box at " << Point({record.placed.x, record.placed.y});
        else if (area.kind == kParent || area.kind == kChild)
            out << "  x " << Span(record.placed.x, record.placed.width) << ", y "
                << Span(record.placed.y, record.placed.height) << "  (" << record.placed.width << " x "
                << record.placed.height << ")";
        if (area.kind == kChild)
            out << "  mask " << Hex(area.mouse_mask) << "  " << (area.handler != nullptr ? "handler" : "NO handler");
        out << "\n";
    }
}

void PrintResources(std::ostream& out, const gauge_host::ModuleResources& resources) {
    out << "resources\n";
    for (const gauge_host::Resource& resource : resources.all()) {
        out << "  " << ResourceTypeName(resource.type) << " " << resource.id << "  language " << resource.language
            << "  " << resource.bytes.size() << " bytes";
        std::string error;
        if (resource.type == gauge_host::kBitmapResource)
            if (auto bitmap = gauge_host::DecodeBitmap(resource.bytes, error))
                out << "  " << bitmap->width << " x " << bitmap->height;
        out << "\n";
    }
    if (resources.has_named_resources()) out << "  and resources named by text, which a host cannot find by number\n";
}

void PrintVersionStrings(std::ostream& out, const gauge_host::ModuleResources& resources) {
    for (const gauge_host::Resource& resource : resources.all()) {
        if (resource.type != gauge_host::kVersionResource) continue;
        out << "version strings of version " << resource.id << "\n";
        const auto block = gauge_host::ParseVersionBlock(resource.bytes);
        if (!block) {
            out << "  (not a well-formed version block)\n";
            continue;
        }
        for (const auto& [key, value] : block->strings) out << "  " << key << " = \"" << value << "\"\n";
        for (const auto& [language, code_page] : block->translations)
            out << "  Translation " << Hex(language, 4) << " " << Hex(code_page, 4) << "\n";
    }
}

}  // namespace gauge_preview
