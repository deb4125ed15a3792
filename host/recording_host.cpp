#include "host/recording_host.h"

#include "host/bitmap.h"
#include "host/mouse_dispatch.h"
#include "host/mouse_list.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace gauge_host {

namespace {

RecordingHost* active_host = nullptr;

std::uint32_t Word(const void* pointer) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(pointer)); }

// A macro, not a function: a field of a packed record cannot be bound to a reference.
#define FILL_HOST_OWNED(field) std::memset(&(field), kHostOwnedFill, sizeof(field))

// The slots of service table `Table`: each logs its call, then does what the modules rely on.
template <int Table>
struct ServiceSlots {
    static RecordingHost& Host() { return RecordingHost::Active(); }

    static std::uint32_t GAUGE_CALL QueryElements(ElementBase* root) {
        Host().Record(Table, kQueryElements, {Word(root)});
        return 0;
    }
    static std::uint32_t GAUGE_CALL InstallElements(ElementBase* root, std::uint32_t word) {
        Host().Record(Table, kInstallElements, {Word(root), word});
        Host().OnInstallElements(root);
        return 0;
    }
    static std::uint32_t GAUGE_CALL InitializeElements(ElementBase* root) {
        Host().Record(Table, kInitializeElements, {Word(root)});
        return 0;
    }
    static std::uint32_t GAUGE_CALL UpdateElements(ElementBase* root) {
        Host().Record(Table, kUpdateElements, {Word(root)});
        return 0;
    }
    static std::uint32_t GAUGE_CALL GenerateElements(ElementBase* root, std::uint32_t word) {
        Host().Record(Table, kGenerateElements, {Word(root), word});
        return 0;
    }
    static std::uint32_t GAUGE_CALL DrawElements(ElementBase* root) {
        Host().Record(Table, kDrawElements, {Word(root)});
        return 0;
    }
    static std::uint32_t GAUGE_CALL ReleaseElements(ElementBase* root) {
        Host().Record(Table, kReleaseElements, {Word(root)});
        return 0;
    }
    static std::uint32_t GAUGE_CALL InstallMouseAreas(MouseArea* rects, GaugeHeader* header, std::uint8_t* size) {
        Host().Record(Table, kInstallMouseAreas, {Word(rects), Word(header), Word(size)});
        Host().OnInstallMouseAreas(rects, size);
        return 0;
    }
    static std::uint32_t GAUGE_CALL RegisterMouseAreas(MouseArea* rects, GaugeHeader* header) {
        Host().Record(Table, kRegisterMouseAreas, {Word(rects), Word(header)});
        Host().OnRegisterMouseAreas(rects);
        return 0;
    }
    static std::uint32_t GAUGE_CALL UnregisterMouseAreas(MouseArea* rects, GaugeHeader* header) {
        Host().Record(Table, kUnregisterMouseAreas, {Word(rects), Word(header)});
        Host().OnUnregisterMouseAreas(rects);
        return 0;
    }
    static std::uint32_t GAUGE_CALL SendEvent(std::uint32_t event_id, std::int32_t value) {
        Host().Record(Table, kSendEvent, {event_id, static_cast<std::uint32_t>(value)});
        return 0;
    }
    static std::uint32_t GAUGE_CALL BindVar(VarBinding* binding) {
        Host().Record(Table, kBindVar, {Word(binding)});
        Host().OnBindVar(binding);
        return 0;
    }
    static std::uint32_t GAUGE_CALL RefreshVar(VarBinding* binding) {
        Host().Record(Table, kRefreshVar, {Word(binding)});
        Host().OnRefreshVar(binding);
        return 0;
    }

    // A slot the modules must never call. Its arguments are unknown, so with a callee-cleans
    // convention it cannot even return safely: it names the slot and ends the program.
    template <int Slot>
    static void GAUGE_CALL Trap() {
        std::fprintf(stderr, "host: the module called service slot %d, which no gauge module may use\n", Slot);
        std::fflush(stderr);
        std::_Exit(70);
    }

    template <int... Slot>
    static constexpr void FillFirstUnused(PanelServices& table, std::integer_sequence<int, Slot...>) {
        ((table.slots_0_to_23[Slot] = Trap<Slot>), ...);
    }

    static constexpr PanelServices BuildTable() {
        PanelServices table{};
        FillFirstUnused(table, std::make_integer_sequence<int, 24>{});
        table.slot_30 = Trap<30>;
        table.slot_35 = Trap<35>;
        table.slot_37 = Trap<37>;
        table.slot_39 = Trap<39>;
        table.QueryElements = QueryElements;
        table.InstallElements = InstallElements;
        table.InitializeElements = InitializeElements;
        table.UpdateElements = UpdateElements;
        table.GenerateElements = GenerateElements;
        table.DrawElements = DrawElements;
        table.ReleaseElements = ReleaseElements;
        table.InstallMouseAreas = InstallMouseAreas;
        table.RegisterMouseAreas = RegisterMouseAreas;
        table.UnregisterMouseAreas = UnregisterMouseAreas;
        table.SendEvent = SendEvent;
        table.BindVar = BindVar;
        table.RefreshVar = RefreshVar;
        return table;
    }
};

PanelServices service_tables[RecordingHost::kTableCount] = {ServiceSlots<0>::BuildTable(), ServiceSlots<1>::BuildTable()};

}  // namespace

RecordingHost::RecordingHost(ModuleLibrary& module) : module_(module), resources_(module) {
    if (active_host != nullptr) std::abort();
    active_host = this;
    image_record_.tag = 0x474D4947;  // "GIMG"
    UseServiceTable(0);
}

RecordingHost::~RecordingHost() {
    module_.import_table()[0].services = nullptr;
    active_host = nullptr;
}

RecordingHost& RecordingHost::Active() { return *active_host; }

void RecordingHost::UseServiceTable(int table) { module_.import_table()[0].services = &service_tables[table]; }

double RecordingHost::Variable(std::uint32_t var_id) const {
    auto found = variables_.find(var_id);
    return found == variables_.end() ? 0.0 : found->second;
}

std::vector<int> RecordingHost::CalledSlots() const {
    std::vector<int> slots;
    for (const auto& call : calls_) slots.push_back(call.slot);
    return slots;
}

void RecordingHost::Record(int table, int slot, std::vector<std::uint32_t> args) {
    calls_.push_back({table, slot, std::move(args)});
}

void RecordingHost::BindElementInput(VarBinding& binding) {
    FILL_HOST_OWNED(binding.host_word_1);
    FILL_HOST_OWNED(binding.host_word_2);
    FILL_HOST_OWNED(binding.host_value);
    if (binding.var_id != 0) binding.value = Variable(binding.var_id);
}

// Takes over the tree as a host does: every host-owned field gets the host's fill, every input
// binding is bound, and the root's image is set to the host's image record.
void RecordingHost::OnInstallElements(ElementBase* root) {
    struct Walk {
        RecordingHost& host;
        void Element(ElementBase* element) {
            FILL_HOST_OWNED(element->host_pair);
            FILL_HOST_OWNED(element->host_word_1);
            FILL_HOST_OWNED(element->host_word_2);
            FILL_HOST_OWNED(element->host_word_3);
            FILL_HOST_OWNED(element->host_word_4);
            switch (element->element_type) {
                case kStaticImage:
                    FILL_HOST_OWNED(reinterpret_cast<StaticImageElement*>(element)->host_area);
                    break;
                case kNeedle: {
                    auto* needle = reinterpret_cast<NeedleElement*>(element);
                    host.BindElementInput(needle->input_var);
                    FILL_HOST_OWNED(needle->host_area_1);
                    FILL_HOST_OWNED(needle->host_area_2);
                    for (std::uint32_t i = 0; i < needle->scale_point_count; ++i)
                        FILL_HOST_OWNED(needle->scale_points[i].host_value);
                    break;
                }
                case kSlider: {
                    auto* slider = reinterpret_cast<SliderElement*>(element);
                    host.BindElementInput(slider->input_var_x);
                    host.BindElementInput(slider->input_var_y);
                    FILL_HOST_OWNED(slider->host_word);
                    FILL_HOST_OWNED(slider->host_area);
                    break;
                }
                case kIcon: {
                    auto* icon = reinterpret_cast<IconElement*>(element);
                    host.BindElementInput(icon->input_var);
                    FILL_HOST_OWNED(icon->host_area_1);
                    FILL_HOST_OWNED(icon->host_area_2);
                    break;
                }
                default:
                    host.contract_breaks_.push_back("element of unknown type " + std::to_string(element->element_type));
                    return;
            }
            if (element->children != nullptr)
                for (ElementBase** child = element->children; *child != nullptr; ++child) Element(*child);
        }
    };
    Walk{*this}.Element(root);
    image_record_.width = image_record_.height = 0;
    if (const Resource* background = resources_.Find(kBitmapResource, root->resource_id)) {
        std::string error;
        if (auto bitmap = DecodeBitmap(background->bytes, error)) {
            image_record_.width = bitmap->width;
            image_record_.height = bitmap->height;
        }
    }
    reinterpret_cast<StaticImageElement*>(root)->image = reinterpret_cast<std::uint8_t*>(&image_record_);
}

void RecordingHost::OnInstallMouseAreas(MouseArea* rects, std::uint8_t* gauge_size) {
    if (gauge_size != reinterpret_cast<std::uint8_t*>(&image_record_.width))
        contract_breaks_.push_back("InstallMouseAreas was not given the address 4 bytes into the image record");
    // The list lies in the module's data; a list without its end record is a broken contract,
    // not a reason for the host to read past the module.
    const MouseListWalk walk = WalkMouseList(rects, module_.image());
    if (walk.records.empty() || walk.records.back().area->kind != kEndOfList) {
        contract_breaks_.push_back("the mouse list has no end-of-list record inside the module");
        return;
    }
    MouseArea* end = rects + (walk.records.size() - 1);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(rects);
    mouse_list_as_installed_.assign(bytes, reinterpret_cast<const std::uint8_t*>(end + 1));
    for (MouseArea* area = rects; area <= end; ++area) {
        FILL_HOST_OWNED(area->host_word_1);
        FILL_HOST_OWNED(area->host_word_2);
        FILL_HOST_OWNED(area->host_word_3);
    }
}

void RecordingHost::OnUnregisterMouseAreas(MouseArea* rects) {
    if (rects == registered_mouse_areas_) registered_mouse_areas_ = nullptr;
}

void RecordingHost::OnBindVar(VarBinding* binding) {
    bound_.insert(binding);
    FILL_HOST_OWNED(binding->host_word_1);
    FILL_HOST_OWNED(binding->host_word_2);
    FILL_HOST_OWNED(binding->host_value);
}

void RecordingHost::OnRefreshVar(VarBinding* binding) {
    if (bound_.count(binding) == 0) contract_breaks_.push_back("RefreshVar on a binding that was never bound");
    binding->value = Variable(binding->var_id);
}

std::optional<std::uint32_t> RecordingHost::PointAt(std::int32_t x, std::int32_t y, std::uint32_t host_word) {
    if (registered_mouse_areas_ == nullptr) return std::nullopt;
    auto hit = HitMouseArea(registered_mouse_areas_, module_.image(), x, y);
    if (!hit) return std::nullopt;
    return hit->area->handler(&hit->relative, host_word);
}

double RecordingHost::CallElementCallback(NeedleElement& needle) {
    if (needle.input_var.var_id != 0) needle.input_var.value = Variable(needle.input_var.var_id);
    return needle.callback(&needle.input_var);
}

double RecordingHost::CallElementCallback(IconElement& icon) {
    if (icon.input_var.var_id != 0) icon.input_var.value = Variable(icon.input_var.var_id);
    return icon.callback(&icon.input_var);
}

}  // namespace gauge_host
