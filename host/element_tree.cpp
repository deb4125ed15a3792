#include "host/element_tree.h"

#include <cmath>
#include <set>

namespace gauge_host {

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

std::string ElementRecord::Name() const {
    return std::string(ElementKindName(type())) + " element at " + AddressText(address) + " (bitmap " +
           std::to_string(record.base.resource_id) + ")";
}

bool IsCodeOrNull(const ModuleImage& image, std::uintptr_t routine) {
    return routine == 0 || image.Holds(routine, 1, kExecute);
}

namespace {

std::uintptr_t Address(const void* pointer) { return reinterpret_cast<std::uintptr_t>(pointer); }

class TreeWalker {
public:
    TreeWalker(const ModuleImage& image, std::uintptr_t header) : image_(image), header_(header) {}

    ElementWalk Walk(std::uintptr_t root) {
        if (Visit(root, 0, "the root element") && walk_.elements.front().type() != kStaticImage)
            Problem(walk_.elements.front().Name() + " is the root, which must be a static image: the gauge's background");
        while (!open_.empty()) {
            OpenList& list = open_.back();
            const std::uintptr_t entry = list.first + std::uintptr_t{list.next} * 4;
            std::uint32_t child = 0;
            if (entry < list.first || !image_.Read(entry, &child, 4)) {
                Problem(list.owner + ": its children list runs outside the module");
                open_.pop_back();
                continue;
            }
            if (child == 0) {
                open_.pop_back();
                continue;
            }
            const std::string where = "child " + std::to_string(list.next) + " of " + list.owner;
            const int depth = list.depth;
            ++list.next;
            Visit(child, depth, where);
        }
        return std::move(walk_);
    }

private:
    struct OpenList {
        std::uintptr_t first;
        std::uint32_t next;
        int depth;  // of the elements the list holds
        std::string owner;
    };

    void Problem(std::string text) { walk_.problems.push_back(std::move(text)); }

    // The host writes into these ranges: no two may overlap, or one record's host fields would
    // land in another record.
    bool Claim(std::uintptr_t begin, std::uint64_t size, const std::string& what) {
        for (const auto& [other_begin, other_end, other] : claimed_)
            if (begin < other_end && other_begin < begin + size) {
                Problem(what + " overlaps " + other);
                return false;
            }
        claimed_.push_back({begin, begin + size, what});
        return true;
    }

    bool Visit(std::uintptr_t address, int depth, const std::string& where) {
        const std::string at = where + ", at " + AddressText(address);
        if (walk_.elements.size() == kMostElements) {
            Problem("the element tree holds more than " + std::to_string(kMostElements) + " elements");
            open_.clear();
            return false;
        }
        if (depth > kDeepestElement) {
            Problem(at + ", stands deeper than " + std::to_string(kDeepestElement) + " levels in the element tree");
            return false;
        }
        ElementRecord element;
        element.address = address;
        element.depth = depth;
        if (!image_.ReadRecord(address, element.record.base)) {
            Problem(at + ", lies outside the module");
            return false;
        }
        if (!met_.insert(address).second) {
            Problem(at + ", is an element met before: the tree has a loop or shares an element");
            return false;
        }
        const std::size_t size = ElementRecordSize(element.type());
        if (size == 0) {
            Problem(at + ", has the unknown element type " + std::to_string(element.type()));
            return false;
        }
        if (!image_.Read(address, &element.record, size)) {
            Problem(element.Name() + ": its " + std::to_string(size) + "-byte record runs outside the module");
            return false;
        }
        if (!image_.Holds(address, size, kRead | kWrite)) {
            Problem(element.Name() + " lies in read-only memory, where the host writes its fields");
            return false;
        }
        if (!Claim(address, size, element.Name())) return false;
        if (element.record.base.owner != nullptr && Address(element.record.base.owner) != header_)
            Problem(element.Name() + ": its owner is not the gauge's header");
        if (element.record.base.owner == nullptr) Problem(element.Name() + " names no owner");
        if (!CheckKind(element)) return false;
        walk_.elements.push_back(std::move(element));
        const ElementRecord& walked = walk_.elements.back();
        if (walked.record.base.children != nullptr)
            open_.push_back({Address(walked.record.base.children), 0, depth + 1, walked.Name()});
        return true;
    }

    void Callback(const ElementRecord& element, ElementCallback callback, const char* which) {
        if (!IsCodeOrNull(image_, Address(reinterpret_cast<const void*>(callback))))
            Problem(element.Name() + ": its " + which + " is not code of the module");
    }

    bool CheckKind(ElementRecord& element) {
        switch (element.type()) {
            case kNeedle: {
                const NeedleElement& needle = element.record.needle;
                Callback(element, needle.callback, "callback");
                const std::uint32_t count = needle.scale_point_count;
                if (count > kMostScalePoints) {
                    Problem(element.Name() + " claims " + std::to_string(count) + " calibration points; at most " +
                            std::to_string(kMostScalePoints) + " make sense");
                    return false;
                }
                const std::uintptr_t first = Address(needle.scale_points);
                if (!image_.HoldsArray(first, count, sizeof(ScalePoint), kRead | kWrite)) {
                    Problem(element.Name() + ": its " + std::to_string(count) + " calibration points" +
                            (image_.HoldsArray(first, count, sizeof(ScalePoint)) ? " lie in read-only memory, where the host writes their fields"
                                                                                 : " lie outside the module"));
                    return false;
                }
                if (count > 0 && !Claim(first, std::uint64_t{count} * sizeof(ScalePoint), "the calibration of " + element.Name()))
                    return false;
                element.scale.resize(count);
                for (std::uint32_t i = 0; i < count; ++i) image_.ReadRecord(first + i * sizeof(ScalePoint), element.scale[i]);
                for (std::uint32_t i = 1; i < count; ++i)
                    if (!(element.scale[i].value > element.scale[i - 1].value))
                        Problem(element.Name() + ": calibration point " + std::to_string(i) +
                                " does not stand above the one before it in value");
                return true;
            }
            case kSlider: {
                const SliderElement& slider = element.record.slider;
                Callback(element, slider.callback_x, "x callback");
                Callback(element, slider.callback_y, "y callback");
                if (!std::isfinite(slider.scale_x) || !std::isfinite(slider.scale_y))
                    Problem(element.Name() + ": a scale is not a finite number");
                return true;
            }
            case kIcon: {
                const IconElement& icon = element.record.icon;
                Callback(element, icon.callback, "callback");
                if (icon.picture_count == 0 || icon.picture_count > kMostPictures)
                    Problem(element.Name() + " claims " + std::to_string(icon.picture_count) + " pictures; 1 to " +
                            std::to_string(kMostPictures) + " make sense");
                return true;
            }
            default: return true;
        }
    }

    const ModuleImage& image_;
    std::uintptr_t header_;
    ElementWalk walk_;
    std::vector<OpenList> open_;
    std::set<std::uintptr_t> met_;
    struct Claimed {
        std::uintptr_t begin;
        std::uint64_t end;
        std::string what;
    };
    std::vector<Claimed> claimed_;
};

}  // namespace

ElementWalk WalkElementTree(const ModuleImage& image, std::uintptr_t root, std::uintptr_t header) {
    return TreeWalker(image, header).Walk(root);
}

}  // namespace gauge_host
