// The seven routines through which the host drives a gauge, made once here and bound per gauge
// at build time to that gauge's header, root variable, background element and mouse list. They
// do no work of their own: each hands the element tree or the mouse list to the matching host
// service, reading the root variable, the background's image and the service table at the moment
// of the call.
#pragma once

#include "module_entry.h"

// A gauge's install steps of its own, run between element and mouse installation.
using OwnInstallSteps = void (*)();

template <GaugeHeader& header, ElementBase*& root, StaticImageElement& background, auto& mouse_areas,
          OwnInstallSteps own_install_steps = nullptr>
struct GaugeRoutines {
    static_assert(sizeof(mouse_areas[0]) == sizeof(MouseArea), "the mouse list is an array of MouseArea");

    // The one routine that finds the root through the header, as the host may redirect root_ref.
    static void GAUGE_CALL GaugeQuery() { services().QueryElements(*header.root_ref); }

    static void GAUGE_CALL GaugeInstall(uint32_t host_value) {
        services().InstallElements(root, host_value);
        if constexpr (own_install_steps != nullptr) own_install_steps();
        // InstallElements has just set the background's image to a host record; the host wants
        // the address one word into it.
        services().InstallMouseAreas(&mouse_areas[0], &header, background.image + 4);
        services().RegisterMouseAreas(&mouse_areas[0], &header);
    }

    static void GAUGE_CALL GaugeInitialize() { services().InitializeElements(root); }
    static void GAUGE_CALL GaugeUpdate() { services().UpdateElements(root); }
    static void GAUGE_CALL GaugeGenerate(uint32_t host_value) { services().GenerateElements(root, host_value); }
    static void GAUGE_CALL GaugeDraw() { services().DrawElements(root); }

    // Mouse areas go before the elements they lie on; a gauge's own bindings stay bound.
    static void GAUGE_CALL GaugeKill() {
        services().UnregisterMouseAreas(&mouse_areas[0], &header);
        services().ReleaseElements(root);
    }

    // The header of the gauge: its name, its root variable and these seven routines.
    static constexpr GaugeHeader Header(const char* gauge_name) {
        return GaugeHeader{
            .header_version = 610,
            .gauge_name = gauge_name,
            .root_ref = &root,
            .query = GaugeQuery,
            .install = GaugeInstall,
            .initialize = GaugeInitialize,
            .update = GaugeUpdate,
            .generate = GaugeGenerate,
            .draw = GaugeDraw,
            .kill = GaugeKill,
            .reserved1 = 0,
            .header_constant = 181,
            .reserved2 = {},
        };
    }
};
