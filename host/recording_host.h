// A host of the project's own that plays the host simulator's panel system for one loaded gauge
// module: it offers the service table, keeps host variables, writes the host-owned fields of the
// module's records as a real host does, and logs every service call with its raw argument words.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "gauge_frame/gauge_frame.h"
#include "host/element_tree.h"
#include "host/module_library.h"
#include "host/module_resources.h"
#include "host/mouse_list.h"

namespace gauge_host {

// Service slots by number, as the module's calls arrive.
enum ServiceSlot : int {
    kQueryElements = 24,
    kInstallElements = 25,
    kInitializeElements = 26,
    kUpdateElements = 27,
    kGenerateElements = 28,
    kDrawElements = 29,
    kReleaseElements = 31,
    kInstallMouseAreas = 32,
    kRegisterMouseAreas = 33,
    kUnregisterMouseAreas = 34,
    kSendEvent = 36,
    kBindVar = 38,
    kRefreshVar = 40,
};

struct ServiceCall {
    int table;                        // which of the host's two service tables was called
    int slot;
    std::vector<std::uint32_t> args;  // the raw argument words, in order
    bool operator==(const ServiceCall&) const = default;
};

// The byte the host writes into every host-owned field it takes over, so that a record placed in
// read-only memory faults, and module code that reads such a field sees something other than 0.
inline constexpr std::uint8_t kHostOwnedFill = 0xA5;

// The record the host hangs on the background's `image` field: the gauge's size starts at the
// word at offset 4, which is where the module's install routine points InstallMouseAreas.
GAUGE_PACKED_BEGIN
struct HostImageRecord {
    std::uint32_t tag;            // 0x00 "GIMG", so a stray pointer to it is recognisable
    std::int32_t width;           // 0x04 the background bitmap's width, or 0 without one
    std::int32_t height;          // 0x08
    std::uint32_t reserved[5];
};
GAUGE_PACKED_END
static_assert(offsetof(HostImageRecord, width) == 4);

// How a contract break begins where the host refused the mouse list itself (the list's own
// problems then say why).
inline constexpr const char* kUntakableMouseList = "InstallMouseAreas was given a mouse list the host cannot take";

class RecordingHost {
public:
    static constexpr int kTableCount = 2;

    // Writes service table 0 into the module's ImportTable and drives `gauge`, by default the
    // first one Linkage lists; only one host exists at a time.
    explicit RecordingHost(ModuleLibrary& module);
    RecordingHost(ModuleLibrary& module, GaugeHeader& gauge);
    ~RecordingHost();
    RecordingHost(const RecordingHost&) = delete;
    RecordingHost& operator=(const RecordingHost&) = delete;

    ModuleLibrary& module() const { return module_; }
    GaugeHeader& gauge() const { return gauge_; }

    // Writes the address of service table `table` into the module's ImportTable.
    void UseServiceTable(int table);

    // Host variables, by number; unset variables read 0.
    void SetVariable(std::uint32_t var_id, double value) { variables_[var_id] = value; }
    double Variable(std::uint32_t var_id) const;

    // The record InstallElements hangs on the background: the size of the background bitmap,
    // where the module carries one, otherwise zero.
    const HostImageRecord& image_record() const { return image_record_; }
    const ModuleResources& resources() const { return resources_; }

    // The gauge routines, called as the host calls them.
    void Install(std::uint32_t host_value = 0);
    void Kill();
    void Query();
    void Initialize();
    void Update();
    void Generate(std::uint32_t host_value);
    void Draw();

    // Calls an element's callback the way a host does: its input binding refreshed first.
    double CallElementCallback(NeedleElement& needle);
    double CallElementCallback(IconElement& icon);

    // Points at background pixel (x, y) as the pilot does: the registered list's child under the
    // point gets the point relative to its own box. Returns the handler's result, or nothing where
    // no child lies under the point (or no list that walks without a problem is registered).
    std::optional<std::uint32_t> PointAt(std::int32_t x, std::int32_t y, std::uint32_t host_word = 0);

    // The element tree and the registered mouse list as they stand now, walked through the
    // module's image.
    ElementWalk WalkElements() const;
    MouseListWalk WalkRegisteredMouseList() const;

    // The log of service calls, oldest first.
    const std::vector<ServiceCall>& calls() const { return calls_; }
    std::vector<int> CalledSlots() const;
    void ClearCalls() { calls_.clear(); }

    // Broken host contracts the module caused (a tree or list the host cannot take, a wrong
    // InstallMouseAreas size pointer, a refresh of a binding that was never bound). Tests expect
    // it empty; the host writes nothing into a record it could not take.
    const std::vector<std::string>& contract_breaks() const { return contract_breaks_; }

    // The mouse list's bytes as InstallMouseAreas received them, before the host took them over.
    const std::vector<std::uint8_t>& mouse_list_as_installed() const { return mouse_list_as_installed_; }

    // The mouse list that RegisterMouseAreas registered and UnregisterMouseAreas has not removed.
    MouseArea* registered_mouse_areas() const { return registered_mouse_areas_; }

    // Called by the service tables' slots.
    void Record(int table, int slot, std::vector<std::uint32_t> args);
    void OnInstallElements(ElementBase* root);
    void OnInstallMouseAreas(MouseArea* rects, std::uint8_t* gauge_size);
    void OnRegisterMouseAreas(MouseArea* rects) { registered_mouse_areas_ = rects; }
    void OnUnregisterMouseAreas(MouseArea* rects);
    void OnBindVar(VarBinding* binding);
    void OnRefreshVar(VarBinding* binding);

    static RecordingHost& Active();

private:
    void BindElementInput(VarBinding& binding);
    // Whether the module's record lies in memory the host may write; a contract break where not.
    bool HostMayWrite(const void* record, std::size_t size, const char* what);

    ModuleLibrary& module_;
    GaugeHeader& gauge_;
    ModuleResources resources_;
    std::vector<ServiceCall> calls_;
    std::map<std::uint32_t, double> variables_;
    std::set<VarBinding*> bound_;
    std::vector<std::string> contract_breaks_;
    HostImageRecord image_record_{};
    MouseArea* registered_mouse_areas_ = nullptr;
    std::vector<std::uint8_t> mouse_list_as_installed_;
};

}  // namespace gauge_host
