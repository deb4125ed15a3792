#include "tools/preview/datasheet.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/element_tree.h"
#include "host/module_image.h"
#include "host/mouse_list.h"
#include "tools/preview/gauge_drawing.h"

namespace gauge_preview {

namespace {

using gauge_host::ElementRecord;
using gauge_host::MouseRecord;

constexpr double kFullSetting = 16383;
// The setting is listed every this many rows of a column, from its top to where it stops changing.
constexpr std::int32_t kRowsBetweenSamples = 20;

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
    return text;
}

std::string Point(PixelPos point) { return "(" + std::to_string(point.x) + ", " + std::to_string(point.y) + ")"; }

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

// A scale as a whole number of pixels over 16384 where it is one, as the gauges write them.
std::string Scale(double scale) {
    const double pixels = scale * 16384;
    return pixels == std::round(pixels) ? Number(pixels) + "/16384" : Number(scale);
}

std::string Axis(const VarBinding& binding, double scale, const char* axis, const char* growing, const char* shrinking) {
    if (binding.var_id == 0 || scale == 0) return "";
    const std::int32_t shift = SliderShift(kFullSetting, scale);
    return "host variable " + std::to_string(binding.var_id) + " in " + axis + ": " + Scale(scale) +
           " pixels a unit, so 0 to 16383 moves it " + std::to_string(std::abs(shift)) + " pixels " +
           (shift < 0 ? shrinking : growing);
}

class Datasheet {
public:
    Datasheet(PreviewSession& session, std::ostream& out) : session_(session), host_(session.host()), out_(out) {}

    void Write(const std::string& module_name) {
        const gauge_host::ElementWalk walk = host_.WalkElements();
        const ElementRecord& background = walk.elements.front();
        const gauge_host::Bitmap* picture = session_.pictures().Find(background.record.base.resource_id);
        out_ << "## " << gauge_host::PrintableText(session_.gauge_name()) << "\n\n"
             << "| | |\n|---|---|\n"
             << "| module file | `" << module_name << "` |\n"
             << "| gauge name, as a panel names it | `" << gauge_host::PrintableText(session_.gauge_name()) << "` |\n"
             << "| size | " << picture->width << " x " << picture->height << " pixels (its background, bitmap "
             << background.record.base.resource_id << ") |\n\n";
        WriteElements(walk);
        WriteOwnVariables();
        WriteMouseColumns(walk);
    }

private:
    void WriteElements(const gauge_host::ElementWalk& walk) {
        out_ << "### Elements, in drawing order\n\n"
             << "| # | element | bitmap | placed at | follows |\n|---|---|---|---|---|\n";
        int number = 0;
        for (const ElementRecord& element : walk.elements) {
            const ElementBase& base = element.record.base;
            std::string kind = gauge_host::ElementKindName(element.type()), follows = "nothing: it does not move";
            switch (element.type()) {
                case kStaticImage:
                    if (element.depth == 0) kind += " (the background)";
                    break;
                case kSlider: {
                    const SliderElement& slider = element.record.slider;
                    const std::string x = Axis(slider.input_var_x, slider.scale_x, "x", "right", "left");
                    const std::string y = Axis(slider.input_var_y, slider.scale_y, "y", "down", "up");
                    follows = x.empty() ? y : y.empty() ? x : x + "; " + y;
                    if (follows.empty()) follows = "nothing: both scales are 0";
                    break;
                }
                case kNeedle: {
                    const NeedleElement& needle = element.record.needle;
                    follows = (needle.input_var.var_id != 0 ? "host variable " + std::to_string(needle.input_var.var_id)
                                                            : std::string("no host variable")) +
                              (needle.callback != nullptr ? ", through the module's callback" : "");
                    if (!element.scale.empty())
                        follows += "; its scale reads " + Number(element.scale.front().value) + " to " +
                                   Number(element.scale.back().value) + " over " + std::to_string(element.scale.size()) +
                                   " calibration points";
                    break;
                }
                case kIcon: {
                    const IconElement& icon = element.record.icon;
                    follows = (icon.callback != nullptr ? std::string("the module's callback") : std::string("no callback")) +
                              " chooses one of " + std::to_string(icon.picture_count) + " pictures: " + PictureList(icon);
                    if (icon.input_var.var_id != 0) follows += "; it is given host variable " + std::to_string(icon.input_var.var_id);
                    break;
                }
            }
            out_ << "| " << ++number << " | " << kind << " | " << base.resource_id << " | " << Point(base.position) << " | "
                 << follows << " |\n";
        }
        out_ << "\n";
    }

    // The bitmaps an icon shows: from its resource id upward, in id order.
    std::string PictureList(const IconElement& icon) const {
        std::string list;
        for (std::uint32_t index = 0; index < icon.picture_count; ++index) {
            const std::uint32_t id = PictureId(icon.header.resource_id, index);
            list += (index == 0 ? "" : ", ") + std::string("picture ") + std::to_string(index) + " is bitmap " +
                    (id != 0 ? std::to_string(id) : "(missing)");
        }
        return list;
    }

    std::uint32_t PictureId(std::uint32_t first, std::uint32_t index) const {
        std::set<std::uint32_t> ids;
        for (const gauge_host::Resource& resource : host_.resources().all())
            if (resource.type == gauge_host::kBitmapResource && resource.language == gauge_host::kEnglishUnitedStates &&
                resource.id >= first)
                ids.insert(resource.id);
        auto id = ids.begin();
        for (std::uint32_t step = 0; step < index && id != ids.end(); ++step) ++id;
        return id != ids.end() ? *id : 0;
    }

    // The bindings the module handed BindVar while it was installed, and whether a frame refreshes them.
    void WriteOwnVariables() {
        std::vector<std::uint32_t> bound;
        for (const gauge_host::ServiceCall& call : host_.calls())
            if (call.slot == gauge_host::kBindVar) bound.push_back(call.args[0]);
        host_.ClearCalls();
        session_.Draw();
        std::set<std::uint32_t> refreshed;
        for (const gauge_host::ServiceCall& call : host_.calls())
            if (call.slot == gauge_host::kRefreshVar) refreshed.insert(call.args[0]);
        out_ << "### Host variables the module binds itself\n\n";
        if (bound.empty()) out_ << "None: every variable it reads is bound to one of its elements.\n";
        for (std::uint32_t address : bound) {
            VarBinding binding{};
            host_.module().image().ReadRecord(address, binding);
            out_ << "- host variable " << binding.var_id << ": bound when the gauge is installed"
                 << (refreshed.count(address) ? ", read afresh every time the gauge is drawn" : "") << "\n";
        }
        out_ << "\n";
    }

    // What each callback element shows in the next frame, by element.
    std::map<std::uintptr_t, double> CallbackResults() {
        std::map<std::uintptr_t, double> results;
        for (const ElementRecord& element : host_.WalkElements().elements) {
            if (element.type() == kNeedle && element.record.needle.callback != nullptr)
                results[element.address] = host_.CallElementCallback(*reinterpret_cast<NeedleElement*>(element.address));
            if (element.type() == kIcon && element.record.icon.callback != nullptr)
                results[element.address] = IconPictureIndex(
                    host_.CallElementCallback(*reinterpret_cast<IconElement*>(element.address)), element.record.icon.picture_count);
        }
        return results;
    }

    // The events one point at (x, y) sends, as (id, value).
    std::vector<std::pair<std::uint32_t, std::int32_t>> EventsAt(std::int32_t x, std::int32_t y) {
        host_.ClearCalls();
        host_.PointAt(x, y);
        std::vector<std::pair<std::uint32_t, std::int32_t>> events;
        for (const gauge_host::ServiceCall& call : host_.calls())
            if (call.slot == gauge_host::kSendEvent) events.push_back({call.args[0], static_cast<std::int32_t>(call.args[1])});
        return events;
    }

    void WriteMouseColumns(const gauge_host::ElementWalk& walk) {
        out_ << "### Mouse columns\n\n"
             << "Found by pointing at every row of each column through the gauge's mouse list; rows are "
                "background pixels.\n\n"
             << "| column | pointing there | the setting by row | dead rows |\n|---|---|---|---|\n";
        for (const MouseRecord& record : host_.WalkRegisteredMouseList().records) {
            if (record.area.kind != kChild || record.placed.width <= 0 || record.placed.height <= 0) continue;
            const PixelRect& box = record.placed;
            const std::int32_t x = box.x + box.width / 2, top = box.y, bottom = box.y + box.height - 1;
            out_ << "| x " << box.x << " to " << box.x + box.width - 1 << ", y " << top << " to " << bottom << " | ";
            const std::map<std::uintptr_t, double> before = CallbackResults();
            if (EventsAt(x, box.y + box.height / 2).empty()) {
                WriteClick(walk, before);
                EventsAt(x, box.y + box.height / 2);  // the second click leaves the module as it was
                continue;
            }
            WriteRows(x, top, bottom);
        }
        out_ << "\n";
    }

    void WriteClick(const gauge_host::ElementWalk& walk, const std::map<std::uintptr_t, double>& before) {
        const std::map<std::uintptr_t, double> after = CallbackResults();
        std::string changes;
        for (const ElementRecord& element : walk.elements) {
            auto was = before.find(element.address), now = after.find(element.address);
            if (was == before.end() || now == after.end() || was->second == now->second) continue;
            const std::string name = std::string(gauge_host::ElementKindName(element.type())) + " of bitmap " +
                                     std::to_string(element.record.base.resource_id);
            if (element.type() == kIcon) {
                const std::uint32_t first = element.record.icon.header.resource_id;
                changes += (changes.empty() ? "" : "; ") + name + " shows picture " + Number(now->second) + " (bitmap " +
                           std::to_string(PictureId(first, static_cast<std::uint32_t>(now->second))) + ") instead of " +
                           Number(was->second) + " (bitmap " + std::to_string(PictureId(first, static_cast<std::uint32_t>(was->second))) + ")";
            } else {
                changes += (changes.empty() ? "" : "; ") + name + " reads " + Number(now->second) + " instead of " + Number(was->second);
            }
        }
        out_ << "sends no event; a click changes the next frame: " << (changes.empty() ? "nothing the host draws" : changes)
             << ", and a second click changes it back | | |\n";
    }

    void WriteRows(std::int32_t x, std::int32_t top, std::int32_t bottom) {
        std::set<std::uint32_t> ids;
        std::vector<std::int32_t> values;  // the last value each row sends
        for (std::int32_t row = top; row <= bottom; ++row) {
            const auto events = EventsAt(x, row);
            for (const auto& event : events) ids.insert(event.first);
            values.push_back(events.empty() ? 0 : events.back().second);
        }
        std::string sent;
        for (std::uint32_t id : ids) sent += (sent.empty() ? "" : ", ") + Hex(id) + " (" + std::to_string(id) + ")";
        out_ << "sends event " << sent << " | ";
        // Where the setting stops changing: the first row of the run of equal values that reaches
        // the bottom of the column.
        std::size_t dead = values.size() - 1;
        while (dead > 0 && values[dead - 1] == values.back()) --dead;
        std::string samples;
        auto sample = [&](std::size_t row) {
            samples += (samples.empty() ? "" : ", ") + std::string("row ") + std::to_string(top + row) + " " + std::to_string(values[row]);
        };
        for (std::size_t row = 0; row <= dead; row += kRowsBetweenSamples) sample(row);
        if (dead % kRowsBetweenSamples != 0) sample(dead);
        out_ << values.front() << " at row " << top << " to " << values[dead] << " at row " << top + static_cast<std::int32_t>(dead)
             << ": " << samples << " | ";
        if (dead + 1 < values.size()) out_ << top + static_cast<std::int32_t>(dead) << " to " << bottom << ", all sending " << values.back();
        else out_ << "none";
        out_ << " |\n";
    }

    PreviewSession& session_;
    gauge_host::RecordingHost& host_;
    std::ostream& out_;
};

}  // namespace

void WriteDatasheet(PreviewSession& session, const std::string& module_name, std::ostream& out) {
    Datasheet(session, out).Write(module_name);
}

}  // namespace gauge_preview
