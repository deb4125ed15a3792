#include "tools/preview/element_tree.h"

#include <cstdio>
#include <set>
#include <utility>

namespace gauge_preview {

std::size_t ElementRecordSize(std::uint32_t element_type) {
    switch (element_type) {
        case kStaticImage: return sizeof(StaticImageElement);
        case kNeedle: return sizeof(NeedleElement);
        case kSlider: return sizeof(SliderElement);
        case kIcon: return sizeof(IconElement);
        default: return 0;
    }
}

const char* ElementKindName(std::uint32_t element_type) {
    switch (element_type) {
        case kStaticImage: return "static image";
        case kNeedle: return "needle";
        case kSlider: return "slider";
        case kIcon: return "icon";
        default: return "unknown";
    }
}

namespace {

std::string AddressText(const void* address) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(address)));
    return text;
}

struct Walker {
    const gauge_host::ModuleImage& image;
    ElementWalk walk;
    std::set<ElementBase*> met;

    void Visit(ElementBase* element, int depth) {
        const std::string where = "element at " + AddressText(element);
        if (!image.Holds(element, sizeof(ElementBase)))
            return walk.problems.push_back(where + " lies outside the module's image");
        if (!met.insert(element).second)
            return walk.problems.push_back(where + " stands in the tree twice, so the tree has a loop");
        const std::size_t size = ElementRecordSize(element->element_type);
        if (size == 0)
            return walk.problems.push_back(where + " has the unknown element type " +
                                           std::to_string(element->element_type));
        if (!image.Holds(element, size))
            return walk.problems.push_back(where + ": its " + std::to_string(size) + "-byte " +
                                           ElementKindName(element->element_type) +
                                           " record runs past the end of the module's image");
        walk.elements.push_back({element, depth});
        if (element->children == nullptr) return;
        for (ElementBase** entry = element->children;; ++entry) {
            if (!image.Holds(entry, sizeof *entry))
                return walk.problems.push_back(where + ": its children list runs outside the module's image");
            if (*entry == nullptr) break;
            Visit(*entry, depth + 1);
        }
    }
};

}  // namespace

ElementWalk WalkElementTree(ElementBase* root, const gauge_host::ModuleImage& image) {
    Walker walker{image, {}, {}};
    walker.Visit(root, 0);
    return std::move(walker.walk);
}

}  // namespace gauge_preview
