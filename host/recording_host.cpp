#include "host/recording_host.h"

#include "host/bitmap.h"
#include "host/module_activity.h"
#include "host/mouse_dispatch.h"

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

RecordingHost::RecordingHost(ModuleLibrary& module) : RecordingHost(module, module.gauge()) {}

RecordingHost::RecordingHost(ModuleLibrary& module, GaugeHeader& gauge)
    : module_(module), gauge_(gauge), resources_(module.file()) {
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

ElementWalk RecordingHost::WalkElements() const {
    return WalkElementTree(module_.image(), Word(*gauge_.root_ref), Word(&gauge_));
}

MouseListWalk RecordingHost::WalkRegisteredMouseList() const {
    return WalkMouseList(module_.image(), Word(registered_mouse_areas_));
}

// Takes over the tree as a host does: every host-owned field gets the host's fill, every input
// binding is bound, and the root's image is set to the host's image record. A tree the walk finds
// fault with is not taken, and nothing of it is written.
void RecordingHost::OnInstallElements(ElementBase* root) {
    const ElementWalk walk = WalkElementTree(module_.image(), Word(root), Word(&gauge_));
    if (!walk.problems.empty()) {
        contract_breaks_.push_back("InstallElements was given an element tree the host cannot take: " + walk.problems.front());
        return;
    }
    for (const ElementRecord& walked : walk.elements) {
        auto* element = reinterpret_cast<ElementBase*>(walked.address);
        FILL_HOST_OWNED(element->host_pair);
        FILL_HOST_OWNED(element->host_word_1);
        FILL_HOST_OWNED(element->host_word_2);
        FILL_HOST_OWNED(element->host_word_3);
        FILL_HOST_OWNED(element->host_word_4);
        switch (walked.type()) {
            case kStaticImage:
                FILL_HOST_OWNED(reinterpret_cast<StaticImageElement*>(element)->host_area);
                break;
            case kNeedle: {
                auto* needle = reinterpret_cast<NeedleElement*>(element);
                BindElementInput(needle->input_var);
                FILL_HOST_OWNED(needle->host_area_1);
                FILL_HOST_OWNED(needle->host_area_2);
                for (std::uint32_t i = 0; i < walked.scale.size(); ++i) FILL_HOST_OWNED(needle->scale_points[i].host_value);
                break;
            }
            case kSlider: {
                auto* slider = reinterpret_cast<SliderElement*>(element);
                BindElementInput(slider->input_var_x);
                BindElementInput(slider->input_var_y);
                FILL_HOST_OWNED(slider->host_word);
                FILL_HOST_OWNED(slider->host_area);
                break;
            }
            case kIcon: {
                auto* icon = reinterpret_cast<IconElement*>(element);
                BindElementInput(icon->input_var);
                FILL_HOST_OWNED(icon->host_area_1);
                FILL_HOST_OWNED(icon->host_area_2);
                break;
            }
        }
    }
    image_record_.width = image_record_.height = 0;
    if (const Resource* background = resources_.Find(kBitmapResource, walk.elements.front().record.base.resource_id)) {
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
    // The list lies in the module's data; a list the walk finds fault with is a broken contract,
    // not a reason for the host to read past the module or write where it may not.
    const MouseListWalk walk = WalkMouseList(module_.image(), Word(rects));
    if (!walk.problems.empty() || !walk.ended()) {
        contract_breaks_.push_back(std::string(kUntakableMouseList) + ": " +
                                   (walk.problems.empty() ? std::string("it has no end") : walk.problems.front()));
        return;
    }
    const auto* first = reinterpret_cast<const std::uint8_t*>(rects);
    mouse_list_as_installed_.assign(first, first + walk.records.size() * sizeof(MouseArea));
    for (const MouseRecord& record : walk.records) {
        auto* area = reinterpret_cast<MouseArea*>(record.address);
        FILL_HOST_OWNED(area->host_word_1);
        FILL_HOST_OWNED(area->host_word_2);
        FILL_HOST_OWNED(area->host_word_3);
    }
}

void RecordingHost::OnUnregisterMouseAreas(MouseArea* rects) {
    if (rects == registered_mouse_areas_) registered_mouse_areas_ = nullptr;
}

bool RecordingHost::HostMayWrite(const void* record, std::size_t size, const char* what) {
    if (module_.image().Holds(record, size, kRead | kWrite)) return true;
    contract_breaks_.push_back(std::string(what) + " was given a binding at " + AddressText(Word(record)) +
                               " that does not lie in memory of the module the host may write");
    return false;
}

void RecordingHost::OnBindVar(VarBinding* binding) {
    if (!HostMayWrite(binding, sizeof *binding, "BindVar")) return;
    bound_.insert(binding);
    FILL_HOST_OWNED(binding->host_word_1);
    FILL_HOST_OWNED(binding->host_word_2);
    FILL_HOST_OWNED(binding->host_value);
}

void RecordingHost::OnRefreshVar(VarBinding* binding) {
    if (bound_.count(binding) == 0) {
        contract_breaks_.push_back("RefreshVar on a binding that was never bound");
        if (!HostMayWrite(binding, sizeof *binding, "RefreshVar")) return;
    }
    binding->value = Variable(binding->var_id);
}

std::optional<std::uint32_t> RecordingHost::PointAt(std::int32_t x, std::int32_t y, std::uint32_t host_word) {
    if (registered_mouse_areas_ == nullptr) return std::nullopt;
    auto hit = HitMouseArea(WalkRegisteredMouseList(), x, y);
    if (!hit) return std::nullopt;
    ModuleActivity activity(ActivityKind::Module, "a mouse handler");
    return hit->record.area.handler(&hit->relative, host_word);
}

// Every call into the module names itself, so that a module that brings the process down there
// can be reported as such.
void RecordingHost::Install(std::uint32_t host_value) {
    ModuleActivity activity(ActivityKind::Module, "its install routine");
    gauge_.install(host_value);
}
void RecordingHost::Kill() {
    ModuleActivity activity(ActivityKind::Module, "its kill routine");
    gauge_.kill();
}
void RecordingHost::Query() {
    ModuleActivity activity(ActivityKind::Module, "its query routine");
    gauge_.query();
}
void RecordingHost::Initialize() {
    ModuleActivity activity(ActivityKind::Module, "its initialize routine");
    gauge_.initialize();
}
void RecordingHost::Update() {
    ModuleActivity activity(ActivityKind::Module, "its update routine");
    gauge_.update();
}
void RecordingHost::Generate(std::uint32_t host_value) {
    ModuleActivity activity(ActivityKind::Module, "its generate routine");
    gauge_.generate(host_value);
}
void RecordingHost::Draw() {
    ModuleActivity activity(ActivityKind::Module, "its draw routine");
    gauge_.draw();
}

double RecordingHost::CallElementCallback(NeedleElement& needle) {
    if (needle.input_var.var_id != 0) needle.input_var.value = Variable(needle.input_var.var_id);
    ModuleActivity activity(ActivityKind::Module, "a needle's callback");
    return needle.callback(&needle.input_var);
}

double RecordingHost::CallElementCallback(IconElement& icon) {
    if (icon.input_var.var_id != 0) icon.input_var.value = Variable(icon.input_var.var_id);
    ModuleActivity activity(ActivityKind::Module, "an icon's callback");
    return icon.callback(&icon.input_var);
}

}  // namespace gauge_host
