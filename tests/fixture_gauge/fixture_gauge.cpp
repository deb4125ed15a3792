// The smallest gauge that uses every part of the frame: a background and one element of each
// kind, a mouse list with a nested group, a handler that sends an event, a callback that refreshes
// a binding of its own, and an install step of its own that binds it. Its numbers are all
// distinct, so a field read at the wrong offset shows.
#include "gauge_frame/gauge_routines.h"

extern GaugeHeader FixtureHeader;
extern StaticImageElement FixtureBackground;
extern ElementBase* FixtureRoot;
extern MouseArea FixtureMouseAreas[9];

VarBinding FixtureGateVar = {.var_id = 77};

void FixtureInstallSteps() { services().BindVar(&FixtureGateVar); }

using FixtureRoutines = GaugeRoutines<FixtureHeader, FixtureRoot, FixtureBackground, FixtureMouseAreas,
                                      FixtureInstallSteps>;

constinit GaugeHeader FixtureHeader = FixtureRoutines::Header("Fixture Gauge");
constinit ModuleLinkage Linkage = ModuleLinkageFor(FixtureHeader);

// The needle shows its input plus the gate variable, which it refreshes first.
double GAUGE_CALL FixtureNeedleCallback(VarBinding* input) {
    services().RefreshVar(&FixtureGateVar);
    return input->value + FixtureGateVar.value;
}

double GAUGE_CALL FixtureIconCallback(VarBinding*) { return 2.0; }

// Sends the pointer's height as the event's value.
uint32_t GAUGE_CALL FixtureEventHandler(PixelPos* point, uint32_t) {
    services().SendEvent(0x12345, point->y);
    return 0;
}

constinit IconElement FixtureIcon = {
    .header = {.element_type = kIcon, .resource_id = 500, .position = {101, 102}, .offset = {0, 0},
               .owner = &FixtureHeader, .children = nullptr, .picture_flags = kMovingPicture},
    .input_var = {.var_id = 44},
    .callback = FixtureIconCallback,
    .picture_count = 3,
};
ElementBase* FixtureSliderChildren[] = {&FixtureIcon.header, nullptr};

constinit SliderElement FixtureSlider = {
    .header = {.element_type = kSlider, .resource_id = 400, .position = {81, 82}, .offset = {0, 0},
               .owner = &FixtureHeader, .children = FixtureSliderChildren, .picture_flags = kMovingPicture},
    .input_var_x = {.var_id = 33},
    .callback_x = nullptr,
    .scale_x = 0.5,
    .input_var_y = {.var_id = 34},
    .callback_y = nullptr,
    .scale_y = -0.25,
};
ElementBase* FixturePlateChildren[] = {&FixtureSlider.header, nullptr};

constinit StaticImageElement FixturePlate = {
    .header = {.element_type = kStaticImage, .resource_id = 350, .position = {61, 62}, .offset = {0, 0},
               .owner = &FixtureHeader, .children = FixturePlateChildren, .picture_flags = kStaticPicture},
};
ElementBase* FixtureNeedleChildren[] = {&FixturePlate.header, nullptr};

ScalePoint FixtureCalibration[3] = {
    {.point = {10, 90}, .value = -1.5},
    {.point = {50, 20}, .value = 0.25},
    {.point = {90, 90}, .value = 3.0},
};

constinit NeedleElement FixtureNeedle = {
    .header = {.element_type = kNeedle, .resource_id = 300, .position = {41, 42}, .offset = {3, 4},
               .owner = &FixtureHeader, .children = FixtureNeedleChildren, .picture_flags = kMovingPicture},
    .input_var = {.var_id = 22},
    .callback = FixtureNeedleCallback,
    .needle_tip = {51, 4},
    .scale_points = FixtureCalibration,
    .scale_point_count = 3,
    .needle_param = 9,
};
ElementBase* FixtureBackgroundChildren[] = {&FixtureNeedle.header, nullptr};

constinit StaticImageElement FixtureBackground = {
    .header = {.element_type = kStaticImage, .resource_id = 200, .position = {0, 0}, .offset = {0, 0},
               .owner = &FixtureHeader, .children = FixtureBackgroundChildren, .picture_flags = kStaticPicture},
};
ElementBase* FixtureRoot = &FixtureBackground.header;

constexpr MouseArea Parent(PixelRect box) { return {.kind = kParent, .box = box, .rect_code = kRectCodeNone}; }
constexpr MouseArea Child(PixelRect box) {
    return {.kind = kChild, .box = box, .rect_code = kRectCodeChild, .mouse_mask = kMouseMaskLever,
            .handler = FixtureEventHandler};
}
constexpr MouseArea kEnd = {.kind = kEndOfParent, .rect_code = kRectCodeNone};

MouseArea FixtureMouseAreas[9] = {
    Parent({0, 0, 0, 0}),
    Parent({10, 20, 60, 40}),
    Child({0, 0, 30, 40}),
    Parent({30, 0, 30, 40}),
    Child({0, 0, 30, 40}),
    kEnd,
    kEnd,
    kEnd,
    {.kind = kEndOfList, .rect_code = kRectCodeNone},
};
