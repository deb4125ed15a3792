// The fixture module's seven gauge routines, callback and handler, driven through the recording
// host: which service slots they call, in which order, with which raw argument words, and through
// which service table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/module_library.h"
#include "host/recording_host.h"
#include "module_under_test.h"
#include "raw_words.h"
#include "service_call_printer.h"

using gauge_host::ModuleLibrary;
using gauge_host::RecordingHost;
using gauge_host::ServiceCall;
using raw::AddressOf;
using raw::Pointer;
using raw::Word;

namespace {

class FixtureRoutines : public testing::Test {
protected:
    ModuleLibrary module{ModuleUnderTest("fixture_gauge")};
    RecordingHost host{module};

    void* header() { return &module.gauge(); }
    void* root_variable() { return const_cast<void*>(Pointer(header(), 0x08)); }
    std::uint32_t root() { return Word(root_variable(), 0); }
    void* background() { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(root())); }
    std::uint32_t image_field() { return Word(background(), 0x3C); }
    std::uint32_t image_record() { return AddressOf(&host.image_record()); }

    // The gate binding is the one record BindVar receives.
    VarBinding* gate() {
        for (const auto& call : host.calls())
            if (call.slot == gauge_host::kBindVar) return reinterpret_cast<VarBinding*>(call.args[0]);
        return nullptr;
    }
    // The background's child list holds the needle.
    NeedleElement& needle() {
        return ***reinterpret_cast<NeedleElement***>(static_cast<std::uint8_t*>(background()) + 0x28);
    }

    void TearDown() override { EXPECT_TRUE(host.contract_breaks().empty()) << host.contract_breaks().front(); }
};

TEST_F(FixtureRoutines, InstallHandsOverElementsThenOwnStepsThenMouseAreas) {
    // A value the image field held before InstallElements ran must not be the one used.
    reinterpret_cast<StaticImageElement*>(background())->image = reinterpret_cast<std::uint8_t*>(0x1000);
    host.Install(0x5EED);

    const std::uint32_t rects = host.calls().at(2).args.at(0);
    ASSERT_EQ(host.calls().size(), 4u);
    EXPECT_EQ(host.calls()[0], (ServiceCall{0, 25, {root(), 0x5EED}}));
    EXPECT_EQ(host.calls()[1].slot, 38);
    EXPECT_EQ(host.calls()[2], (ServiceCall{0, 32, {rects, AddressOf(header()), image_record() + 4}}));
    EXPECT_EQ(host.calls()[3], (ServiceCall{0, 33, {rects, AddressOf(header())}}));
    EXPECT_EQ(image_field(), image_record()) << "the host's image record stands in the background";
    EXPECT_TRUE(module.image().Contains(reinterpret_cast<void*>(rects)));
    EXPECT_EQ(host.registered_mouse_areas(), reinterpret_cast<MouseArea*>(rects));
}

TEST_F(FixtureRoutines, KillUnregistersMouseAreasThenReleasesElementsWithInstallsArguments) {
    host.Install(7);
    const ServiceCall mouse_install = host.calls()[2];
    host.ClearCalls();
    host.Kill();
    ASSERT_EQ(host.CalledSlots(), (std::vector<int>{34, 31}));
    EXPECT_EQ(host.calls()[0].args, (std::vector<std::uint32_t>{mouse_install.args[0], mouse_install.args[1]}));
    EXPECT_EQ(host.calls()[1].args, (std::vector<std::uint32_t>{root()}));
    EXPECT_EQ(host.registered_mouse_areas(), nullptr);
}

TEST_F(FixtureRoutines, KillWithoutInstallStillMakesBothCalls) {
    host.Kill();
    EXPECT_EQ(host.CalledSlots(), (std::vector<int>{34, 31}));
}

TEST_F(FixtureRoutines, EachOtherRoutineForwardsTheRootToItsService) {
    host.Query();
    host.Initialize();
    host.Update();
    host.Draw();
    EXPECT_EQ(host.calls(), (std::vector<ServiceCall>{
                                {0, 24, {root()}}, {0, 26, {root()}}, {0, 27, {root()}}, {0, 29, {root()}}}));
}

TEST_F(FixtureRoutines, InstallAndGeneratePassTheirArgumentBitForBit) {
    for (std::uint32_t word : {0u, 1u, 0x7FFFFFFFu, 0x80000000u, 0xDEADBEEFu, 0xFFFFFFFFu}) {
        host.ClearCalls();
        host.Generate(word);
        host.Install(word);
        EXPECT_EQ(host.calls().at(0), (ServiceCall{0, 28, {root(), word}}));
        EXPECT_EQ(host.calls().at(1), (ServiceCall{0, 25, {root(), word}}));
    }
}

TEST_F(FixtureRoutines, QueryFollowsAMovedRootReferenceAndTheOthersDoNot) {
    ElementBase* other_root = reinterpret_cast<ElementBase*>(0x00ABCDE0);
    const std::uint32_t own_root = root();
    auto* root_ref = reinterpret_cast<ElementBase***>(static_cast<std::uint8_t*>(header()) + 0x08);
    ElementBase** saved = *root_ref;
    *root_ref = &other_root;
    host.Query();
    host.Draw();
    *root_ref = saved;
    EXPECT_EQ(host.calls(), (std::vector<ServiceCall>{{0, 24, {0x00ABCDE0}}, {0, 29, {own_root}}}));
}

TEST_F(FixtureRoutines, EveryCallGoesToTheServiceTableStandingInImportTableAtThatMoment) {
    host.Install();
    host.SetVariable(22, 1.0);
    host.UseServiceTable(1);
    host.CallElementCallback(needle());
    host.Draw();
    host.UseServiceTable(0);
    host.Update();
    host.UseServiceTable(1);
    PixelPos point{0, 12};
    reinterpret_cast<MouseArea*>(host.calls()[2].args[0])[2].handler(&point, 0);
    host.Kill();

    std::vector<std::pair<int, int>> tables_and_slots;
    for (const auto& call : host.calls()) tables_and_slots.emplace_back(call.table, call.slot);
    EXPECT_EQ(tables_and_slots, (std::vector<std::pair<int, int>>{
                                    {0, 25}, {0, 38}, {0, 32}, {0, 33},
                                    {1, 40}, {1, 29}, {0, 27}, {1, 36}, {1, 34}, {1, 31}}));
}

TEST_F(FixtureRoutines, CallbackRefreshesItsOwnBindingAndHandlerSendsAnEvent) {
    host.Install();
    VarBinding* gate_var = gate();
    host.SetVariable(22, 2.5);
    host.SetVariable(77, 40.0);
    host.ClearCalls();
    EXPECT_EQ(host.CallElementCallback(needle()), 42.5);
    EXPECT_EQ(host.calls(), (std::vector<ServiceCall>{{0, 40, {AddressOf(gate_var)}}}));
    EXPECT_EQ(raw::Double(gate_var, 0x0C), 40.0) << "the refreshed value stands at offset 0x0C";

    host.ClearCalls();
    PixelPos point{999, -3};
    MouseArea* rects = host.registered_mouse_areas();
    EXPECT_EQ(rects[4].handler(&point, 0xFFFFFFFF), 0u);
    EXPECT_EQ(host.calls(), (std::vector<ServiceCall>{{0, 36, {0x12345, static_cast<std::uint32_t>(-3)}}}));
}

TEST_F(FixtureRoutines, ThousandsOfInstallKillCyclesBehaveAlike) {
    host.Install(3);
    host.Kill();
    const std::vector<ServiceCall> first = host.calls();
    for (int cycle = 0; cycle < 5000; ++cycle) {
        host.ClearCalls();
        host.Install(3);
        host.Kill();
        ASSERT_EQ(host.calls(), first) << "cycle " << cycle;
    }
}

}  // namespace
