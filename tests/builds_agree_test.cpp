// The two builds of each module, the deliverable and the one that GAUGE_MODULE_VARIANT names (the
// Microsoft-ABI build by clang-cl), driven through one and the same sequence of host calls, made
// up once from a fixed seed: random points in every mouse column, handler calls with any point
// and host word, random host variables under every callback, the gauge routines and re-installs,
// each under a random x87 precision. Every result and every service call must agree word for
// word, with each pointer argument named by what it points at, since the two images lie at
// different addresses and lay their records out in different places. The other suites pin what
// the tables say; this covers the inputs between and beyond their cases, where one compiler's
// code could still part from the other's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "host/module_library.h"
#include "host/mouse_list.h"
#include "host/recording_host.h"
#include "host/x87_control.h"
#include "module_under_test.h"

using gauge_host::ModuleLibrary;
using gauge_host::RecordingHost;

namespace {

// Every element of the tree in drawing order: the root, then each child list in order, each
// child followed by its own list.
void CollectElements(ElementBase* element, std::vector<ElementBase*>& elements) {
    elements.push_back(element);
    if (element->children == nullptr) return;
    for (ElementBase** child = element->children; *child != nullptr; ++child) CollectElements(*child, elements);
}

std::vector<ElementBase*> ElementsOf(RecordingHost& host) {
    std::vector<ElementBase*> elements;
    CollectElements(*host.gauge().root_ref, elements);
    return elements;
}

// What a module offers the host to act on, as its deliverable build shows it once installed.
struct GaugeSurface {
    struct Column {
        std::size_t mouse_record;
        PixelRect box;  // in background pixels
    };
    std::vector<Column> columns;
    bool has_callbacks = false;
    std::vector<std::uint32_t> variables;  // every host variable the module's records bind
};

GaugeSurface SurfaceOf(const std::string& path) {
    ModuleLibrary module(path);
    RecordingHost host(module);
    host.Install();
    GaugeSurface surface;
    const auto mouse_list = host.WalkRegisteredMouseList();
    for (std::size_t index = 0; index < mouse_list.records.size(); ++index)
        if (mouse_list.records[index].area.kind == kChild) surface.columns.push_back({index, mouse_list.records[index].placed});
    for (ElementBase* element : ElementsOf(host)) {
        if (element->element_type == kNeedle) {
            surface.has_callbacks = true;
            surface.variables.push_back(reinterpret_cast<NeedleElement*>(element)->input_var.var_id);
        } else if (element->element_type == kIcon) {
            surface.has_callbacks = true;
            surface.variables.push_back(reinterpret_cast<IconElement*>(element)->input_var.var_id);
        } else if (element->element_type == kSlider) {
            surface.variables.push_back(reinterpret_cast<SliderElement*>(element)->input_var_x.var_id);
            surface.variables.push_back(reinterpret_cast<SliderElement*>(element)->input_var_y.var_id);
        }
    }
    for (const auto& call : host.calls())
        if (call.slot == gauge_host::kBindVar) surface.variables.push_back(reinterpret_cast<VarBinding*>(call.args[0])->var_id);
    std::erase(surface.variables, 0u);
    std::sort(surface.variables.begin(), surface.variables.end());
    surface.variables.erase(std::unique(surface.variables.begin(), surface.variables.end()), surface.variables.end());
    return surface;
}

enum class Action { Install, Kill, Reinstall, Query, Initialize, Update, Generate, Draw, PointAt, CallHandler, CallCallbacks };

struct HostCall {
    Action action;
    std::uint16_t control_word = gauge_host::kX87Double;
    std::uint32_t word = 0;        // install and generate: the host's value; handler: the host word
    PixelPos point{0, 0};          // point: background pixel; handler: the point handed over
    std::size_t mouse_record = 0;  // handler: the record whose handler is called
    std::map<std::uint32_t, double> variables{};  // callbacks: the host variables set first
};

std::string Hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

std::uint64_t Bits(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

std::string Describe(const HostCall& call) {
    const std::string precision = " under x87 control word " + Hex(call.control_word);
    switch (call.action) {
        case Action::Install: return "install " + Hex(call.word);
        case Action::Kill: return "kill";
        case Action::Reinstall: return "kill, then install " + Hex(call.word);
        case Action::Query: return "query";
        case Action::Initialize: return "initialize";
        case Action::Update: return "update";
        case Action::Generate: return "generate " + Hex(call.word);
        case Action::Draw: return "draw";
        case Action::PointAt:
            return "point at " + std::to_string(call.point.x) + "," + std::to_string(call.point.y) + precision;
        case Action::CallHandler:
            return "handler of mouse record " + std::to_string(call.mouse_record) + " with " + std::to_string(call.point.x) +
                   "," + std::to_string(call.point.y) + " and host word " + Hex(call.word) + precision;
        case Action::CallCallbacks: {
            std::string text = "callbacks with";
            for (const auto& [var_id, value] : call.variables)
                text += " variable " + std::to_string(var_id) + " = " + Hex(Bits(value));
            return text + precision;
        }
    }
    return "?";
}

// Host variable values: ordinary readings about the scales, the values where a gauge's rules
// turn, and any 64-bit pattern at all (NaN payloads, subnormals, signed zeros, huge values).
double AnyValue(std::mt19937_64& random) {
    static constexpr double kTurningPoints[] = {
        0.0, -0.0, 2000.0, 1999.9999999999998, 32750.0, -32750.0, 32751.0, -32751.0, 6550.0, 16383.0,
        std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::denorm_min()};
    switch (random() % 4) {
        case 0: return std::uniform_real_distribution<double>(-40000.0, 40000.0)(random);
        case 1: return kTurningPoints[random() % std::size(kTurningPoints)];
        case 2: return static_cast<double>(static_cast<std::int32_t>(random()));
        default: {
            const std::uint64_t bits = random();
            double value;
            std::memcpy(&value, &bits, sizeof value);
            return value;
        }
    }
}

// The sequence, from a fixed seed: a few thousand points in every column, a few hundred handler
// calls per column with any point, a few thousand callback rounds, the other routines and a kill
// with a re-install now and then, in shuffled order between the first install and the last kill.
std::vector<HostCall> MakeHostCalls(const GaugeSurface& surface) {
    std::mt19937_64 random(20261211);
    const std::uint16_t precisions[] = {gauge_host::kX87Extended, gauge_host::kX87Double, gauge_host::kX87Single};
    auto any_precision = [&] { return precisions[random() % 3]; };
    // A double returned in ST0 at single precision is rounded by the emulator's x87 load itself,
    // whichever module returned it: callbacks are compared at the two wider settings.
    auto callback_precision = [&] { return precisions[random() % 2]; };
    auto word = [&] { return static_cast<std::uint32_t>(random()); };
    auto between = [&](std::int32_t low, std::int32_t high) {
        return std::uniform_int_distribution<std::int32_t>(low, high)(random);
    };

    std::vector<HostCall> calls;
    for (const auto& column : surface.columns) {
        for (int i = 0; i < 3000; ++i) {
            HostCall call{.action = Action::PointAt, .control_word = any_precision()};
            call.point = {between(column.box.x, column.box.x + column.box.width - 1),
                          between(column.box.y, column.box.y + column.box.height - 1)};
            calls.push_back(call);
        }
        for (int i = 0; i < 300; ++i) {
            HostCall call{.action = Action::CallHandler, .control_word = any_precision(), .word = word()};
            call.mouse_record = column.mouse_record;
            call.point = i % 2 == 0 ? PixelPos{between(-400, 400), between(-400, 400)}
                                    : PixelPos{static_cast<std::int32_t>(word()), static_cast<std::int32_t>(word())};
            calls.push_back(call);
        }
    }
    if (surface.has_callbacks) {
        for (int i = 0; i < 3000; ++i) {
            HostCall call{.action = Action::CallCallbacks, .control_word = callback_precision()};
            for (std::uint32_t var_id : surface.variables) call.variables[var_id] = AnyValue(random);
            calls.push_back(call);
        }
    }
    for (int i = 0; i < 100; ++i) {
        for (Action action : {Action::Query, Action::Initialize, Action::Update, Action::Draw})
            calls.push_back({.action = action});
        calls.push_back({.action = Action::Generate, .word = word()});
    }
    for (int i = 0; i < 10; ++i) calls.push_back({.action = Action::Reinstall, .word = word()});
    std::shuffle(calls.begin(), calls.end(), random);
    calls.insert(calls.begin(), HostCall{.action = Action::Install, .word = word()});
    calls.push_back({.action = Action::Kill});
    return calls;
}

// Names a pointer argument by what it points at: the gauge's header, root variable or root
// element, the host's own image record, or else a record of the module, numbered in the order it
// first appears and shown with its first word (a mouse list's first kind, a binding's variable).
class PointerNames {
public:
    explicit PointerNames(RecordingHost& host) : host_(host) {}

    std::string Name(std::uint32_t word) {
        const auto address = static_cast<std::uintptr_t>(word);
        GaugeHeader& header = host_.gauge();
        if (address == reinterpret_cast<std::uintptr_t>(&header)) return "the header";
        if (address == reinterpret_cast<std::uintptr_t>(header.root_ref)) return "the root variable";
        if (address == reinterpret_cast<std::uintptr_t>(*header.root_ref)) return "the root element";
        const auto image_record = reinterpret_cast<std::uintptr_t>(&host_.image_record());
        if (address >= image_record && address < image_record + sizeof(gauge_host::HostImageRecord))
            return "the host's image record + " + std::to_string(address - image_record);
        const void* pointer = reinterpret_cast<const void*>(address);
        if (!host_.module().image().Holds(pointer, 4)) return "an address outside the module " + Hex(word);
        const std::size_t number = numbers_.try_emplace(address, numbers_.size() + 1).first->second;
        std::uint32_t first_word;
        std::memcpy(&first_word, pointer, sizeof first_word);
        return "module record #" + std::to_string(number) + " (first word " + Hex(first_word) + ")";
    }

private:
    RecordingHost& host_;
    std::map<std::uintptr_t, std::size_t> numbers_;
};

bool IsPointerArgument(int slot, std::size_t position) {
    switch (slot) {
        case gauge_host::kInstallElements:
        case gauge_host::kGenerateElements: return position == 0;
        case gauge_host::kSendEvent: return false;
        default: return true;  // the roots, mouse lists, headers, the image pointer and bindings
    }
}

// Plays the calls to one build and writes down, call by call, what came back and every service
// call it made, each argument a word or the name of what it points at.
std::vector<std::string> Replay(const std::string& path, const std::vector<HostCall>& calls) {
    ModuleLibrary module(path);
    RecordingHost host(module);
    PointerNames names(host);
    std::vector<std::string> outcomes;
    for (const HostCall& call : calls) {
        host.ClearCalls();
        std::string outcome;
        switch (call.action) {
            case Action::Install: host.Install(call.word); break;
            case Action::Kill: host.Kill(); break;
            case Action::Reinstall:
                host.Kill();
                host.Install(call.word);
                break;
            case Action::Query: host.Query(); break;
            case Action::Initialize: host.Initialize(); break;
            case Action::Update: host.Update(); break;
            case Action::Generate: host.Generate(call.word); break;
            case Action::Draw: host.Draw(); break;
            case Action::PointAt: {
                const auto result = gauge_host::WithX87ControlWord(
                    call.control_word, [&] { return host.PointAt(call.point.x, call.point.y); });
                outcome = result ? "handler returned " + Hex(*result) : "no column";
                break;
            }
            case Action::CallHandler: {
                PixelPos point = call.point;
                const MouseHandler handler = host.registered_mouse_areas()[call.mouse_record].handler;
                outcome = "handler returned " + Hex(gauge_host::WithX87ControlWord(
                                                    call.control_word, [&] { return handler(&point, call.word); }));
                break;
            }
            case Action::CallCallbacks: {
                for (const auto& [var_id, value] : call.variables) host.SetVariable(var_id, value);
                outcome = "callbacks returned";
                for (ElementBase* element : ElementsOf(host)) {
                    double result;
                    if (element->element_type == kNeedle)
                        result = gauge_host::WithX87ControlWord(call.control_word, [&] {
                            return host.CallElementCallback(*reinterpret_cast<NeedleElement*>(element));
                        });
                    else if (element->element_type == kIcon)
                        result = gauge_host::WithX87ControlWord(call.control_word, [&] {
                            return host.CallElementCallback(*reinterpret_cast<IconElement*>(element));
                        });
                    else
                        continue;
                    outcome += " " + Hex(Bits(result));
                }
                break;
            }
        }
        for (const auto& service_call : host.calls()) {
            outcome += "; slot " + std::to_string(service_call.slot) + " (table " + std::to_string(service_call.table) + ")";
            for (std::size_t position = 0; position < service_call.args.size(); ++position) {
                const std::uint32_t argument = service_call.args[position];
                outcome += position == 0 ? ": " : ", ";
                outcome += IsPointerArgument(service_call.slot, position) ? names.Name(argument) : Hex(argument);
            }
        }
        outcomes.push_back(outcome);
    }
    for (const std::string& broken : host.contract_breaks()) ADD_FAILURE() << path << ": " << broken;
    return outcomes;
}

class BuildsAgree : public testing::TestWithParam<const char*> {};

TEST_P(BuildsAgree, OnEveryHostCallOfARandomSequence) {
    const char* variant = std::getenv("GAUGE_MODULE_VARIANT");
    ASSERT_NE(variant, nullptr) << "GAUGE_MODULE_VARIANT names no second build to compare with";
    const std::string deliverable = gauge_host::PathBesideProgram(gauge_host::ModuleFileName(GetParam()));
    const std::string second = ModuleUnderTest(GetParam());

    const GaugeSurface surface = SurfaceOf(deliverable);
    ASSERT_FALSE(surface.columns.empty());
    const std::vector<HostCall> calls = MakeHostCalls(surface);
    const std::vector<std::string> expected = Replay(deliverable, calls);
    const std::vector<std::string> seen = Replay(second, calls);
    ASSERT_EQ(seen.size(), expected.size());
    for (std::size_t i = 0; i < calls.size(); ++i)
        ASSERT_EQ(seen[i], expected[i]) << "host call " << i << ": " << Describe(calls[i]);
}

INSTANTIATE_TEST_SUITE_P(Gauges, BuildsAgree, testing::Values("quadrant_gauge", "ammeter_gauge"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
